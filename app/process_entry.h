// The process entry shared by every front end: title, main window, start-up,
// message loop, and the error box for a failed start-up.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/platform_services.h"
#include "app/view/view.h"

namespace snimac {

class TMainFrm;

enum class TRunResult { Finished, StartupFailed };

// Runs `messageLoop` with the started main window until it returns. A
// start-up failure is shown in the "Chyba" box (anything unexpected in the
// toolkit's exception box) and the loop is not entered; the window is torn
// down in either case before this returns.
TRunResult RunApplication(TView& ui, const TPlatformServices& platform, const std::vector<std::string>& args,
                          const std::function<void(TMainFrm&)>& messageLoop);

}  // namespace snimac
