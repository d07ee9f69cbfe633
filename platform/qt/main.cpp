// snimac: the Linux desktop program. It lives in the notification area; the
// main window "Snímač" comes up from the icon (or stays up on a desktop
// without one). Card numbers are typed into the focused X window. A failure
// to set up the platform (a wrong setting, FTDI access not at hand) is shown
// in the "Chyba" box, as a failed start-up is. SIGINT, SIGTERM and the end of
// the desktop session end the run with the normal teardown.
#include <QApplication>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/help_text.h"
#include "app/main_frm.h"
#include "app/process_entry.h"
#include "app/texts.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/stop_signals.h"
#include "platform/qt/message_box.h"
#include "platform/qt/qt_view.h"
#include "platform/qt/snimac_icon.h"
#include "platform/qt/toolkit_translations.h"

int main(int argc, char** argv) {
  using namespace snimac;
  // Answered before the toolkit starts, so that they need no display.
  if (const TInfoRequest info = InfoRequestOf(std::vector<std::string>(argv + 1, argv + argc));
      info != TInfoRequest::None) {
    std::fputs(InfoText(info, THelpProgram::LinuxDesktop).c_str(), stdout);
    return 0;
  }
  TStopSignals::Block();

  QApplication app(argc, argv);
  // The main window is hidden most of the time: boxes closing must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(SnimacIcon());
  InstallToolkitTranslations(app);
  // The options the toolkit has not taken for itself (-display, -platform, ...).
  const std::vector<std::string> args(argv + 1, argv + argc);

  std::unique_ptr<TPosixPlatform> platform;
  try {
    platform = std::make_unique<TPosixPlatform>(nullptr);
  } catch (const std::exception& e) {
    ShowQtMessageBox(nullptr, e.what(), texts::kErrorCaption, TMessageButtons::Ok);
    return 0;
  }
  // Said on stderr as well as in the status: e.g. that a Wayland session
  // lets typed cards reach X11 windows only.
  if (!platform->Services().startNotice.empty()) std::fprintf(stderr, "%s\n", platform->Services().startNotice.c_str());
  try {
    TQtView view;
    view.QuitWhenSessionEnds();
    TStopSignals stopSignals([&view] { view.Post([&view] { view.Quit(); }); });
    RunApplication(view, platform->Services(), args, [&view](TMainFrm& frm) { view.RunMessageLoop(frm); });
  } catch (const std::exception& e) {
    // Only the view's own windows can fail here; the core's failures were shown.
    ShowQtMessageBox(nullptr, e.what(), texts::kErrorCaption, TMessageButtons::Ok);
  }
  return 0;
}
