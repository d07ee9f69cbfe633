// Message boxes through MessageBoxW: no icon, the buttons the core asks for.
#pragma once

#include <windows.h>

#include <string>

#include "app/view/dialogs.h"

namespace snimac {

// A modal box owned by `owner` (nullptr: a box of its own on the taskbar,
// modal to all of the thread's windows), brought to the front.
TMessageResult ShowWin32MessageBox(HWND owner, const std::string& text, const std::string& caption,
                                   TMessageButtons buttons);

// The box for an unexpected exception: the error icon, OK only.
void ShowWin32ErrorBox(HWND owner, const std::string& text, const std::string& caption);

UINT MessageBoxStyle(TMessageButtons buttons);
// What MessageBoxW returned, as the core's answer; a box that could not be
// shown (0) counts as the safe answer: Cancel, No.
TMessageResult MessageResultOf(int pressed, TMessageButtons buttons);

}  // namespace snimac
