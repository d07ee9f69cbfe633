// snimac-headless: the program without windows, for attendance terminals and
// tests. Status texts and reads go to stdout as lines, message boxes to
// stderr; SIGINT and SIGTERM end the run with the normal teardown.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/help_text.h"
#include "app/main_frm.h"
#include "app/process_entry.h"
#include "app/texts.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/line_typist.h"
#include "platform/headless/terminal_answer.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/stop_signals.h"

int main(int argc, char** argv) {
  using namespace snimac;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (const TInfoRequest info = InfoRequestOf(args); info != TInfoRequest::None) {
    std::fputs(InfoText(info, THelpProgram::LinuxConsole).c_str(), stdout);
    return 0;
  }
  TStopSignals::Block();

  std::unique_ptr<TPosixPlatform> platform;
  try {
    platform = std::make_unique<TPosixPlatform>(std::make_unique<TLineTypist>(stdout));
  } catch (const std::exception& e) {
    // As the error box would show it: its caption, then the message.
    std::fprintf(stderr, "%s: %s\n", texts::kErrorCaption, e.what());
    return 1;
  }
  std::fprintf(stderr, "%s\n", platform->TypingNote().c_str());
  THeadlessUi ui(stdout, stderr, platform->Clock(), ReadAnswerFromTerminal);
  TStopSignals stopSignals([&ui] { ui.Quit(); });

  const TRunResult result = RunApplication(ui, platform->Services(), args, [&ui](TMainFrm&) { ui.RunUntilQuit(); });
  return result == TRunResult::StartupFailed ? 1 : 0;
}
