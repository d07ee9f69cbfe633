// The whole view port: what a front end (Qt, Win32, console, test fake)
// implements. The core decides and tells; the front end draws and forwards
// what the user does to TMainFrm.
#pragma once

#include "app/view/dialogs.h"
#include "app/view/main_view.h"
#include "app/view/ui_loop.h"
#include "app/view/upgrade_view.h"

namespace snimac {

class TView : public TUiLoop, public TDialogs, public TMainView, public TUpgradeView {};

}  // namespace snimac
