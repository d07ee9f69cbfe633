// snimac.exe: the Windows program. It lives in the notification area; the
// main window "Snímač" comes up from the icon. A failure to set up the
// platform (a missing FTD2XX.DLL, a wrong setting) is shown in the "Chyba"
// box, as a failed start-up is.
#include <windows.h>

#include <shellapi.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/help_text.h"
#include "app/main_frm.h"
#include "app/process_entry.h"
#include "app/texts.h"
#include "platform/win32/adapters/wide_text.h"
#include "platform/win32/adapters/win32_platform.h"
#include "platform/win32/ui/message_box.h"
#include "platform/win32/ui/win32_view.h"

namespace {

// The arguments after the program's own name, split as the C run-time does.
std::vector<std::string> CommandLineArguments() {
  std::vector<std::string> args;
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.push_back(snimac::WideToUtf8(argv[i]));
  LocalFree(argv);
  return args;
}

}  // namespace

// The arguments come from GetCommandLineW, never from the ANSI command line.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  using namespace snimac;
  const std::vector<std::string> args = CommandLineArguments();
  // A program without a console answers in a box.
  if (const TInfoRequest info = InfoRequestOf(args); info != TInfoRequest::None) {
    ShowWin32MessageBox(nullptr, InfoText(info, THelpProgram::Windows), texts::kApplicationTitle, TMessageButtons::Ok);
    return 0;
  }
  std::unique_ptr<TWin32Platform> platform;
  try {
    platform = std::make_unique<TWin32Platform>();
  } catch (const std::exception& e) {
    ShowWin32MessageBox(nullptr, e.what(), texts::kErrorCaption, TMessageButtons::Ok);
    return 0;
  }
  try {
    TWin32View view(instance);
    RunApplication(view, platform->Services(), args, [&view](TMainFrm& frm) { view.RunMessageLoop(frm); });
  } catch (const std::exception& e) {
    // Only the view's own windows can fail here; the core's failures were shown.
    ShowWin32MessageBox(nullptr, e.what(), texts::kErrorCaption, TMessageButtons::Ok);
  }
  return 0;
}
