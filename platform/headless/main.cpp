// snimac-headless: the program without windows, for attendance terminals and
// tests. Status texts go to stdout as lines, message boxes to stderr; SIGINT
// and SIGTERM end the run with the normal teardown.
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "app/main_frm.h"
#include "app/process_entry.h"
#include "cards/keyboard_typist.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/line_typist.h"
#include "platform/posix/ftdi_selection.h"
#include "platform/posix/locale_separators.h"
#include "platform/posix/tcp_line_client.h"
#include "platform/posix/real_clock.h"
#include "platform/posix/thread_namer.h"
#include "platform/posix/tty_serial_port.h"
#include "platform/posix/x11_keyboard.h"

namespace {

std::string HomeOr(const char* fallback) {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/" : fallback;
}

// Typing goes into the focused X11 window when there is a display, and
// otherwise as lines on stdout. Says which on stderr.
struct TTyping {
  std::unique_ptr<snimac::TX11Keyboard> keyboard;
  std::unique_ptr<snimac::TTypist> typist;

  explicit TTyping(snimac::TClock& clock) {
    const char* display = std::getenv("DISPLAY");
    if (display && *display) {
      keyboard = std::make_unique<snimac::TX11Keyboard>(display);
      typist = std::make_unique<snimac::TKeyboardTypist>(*keyboard, clock);
      std::fprintf(stderr, "Psaní: do okna s fokusem na displeji X11 %s\n", display);
    } else {
      typist = std::make_unique<snimac::TLineTypist>(stdout);
      std::fprintf(stderr, "Psaní: řádky na standardní výstup (není DISPLAY)\n");
    }
  }
};

// Questions are answered at the terminal; without one (a pipe, a service)
// every question is answered no.
std::optional<std::string> ReadAnswerFromTerminal() {
  if (!isatty(STDIN_FILENO)) return std::nullopt;
  char line[256];
  if (!std::fgets(line, sizeof line, stdin)) return std::nullopt;
  return std::string(line);
}

void PrintLine(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// Every read as a line with its time and card text, as the grid shows it,
// and where it went: the serial port, the attendance server or file. Typed
// texts show themselves (as lines without a display).
void ShowWhereReadsGo(snimac::TMainFrm& mainFrm) {
  using namespace snimac;
  TLogGrid& grid = mainFrm.Grid();
  grid.onRowAdded = [&grid](int row) {
    PrintLine("Karta: " + grid.Cell(row, TLogGrid::kTimeColumn) + " " + grid.Cell(row, TLogGrid::kTextColumn));
  };
  mainFrm.onCardOutput = [](TMainFrm::TCardOutput where, const std::string& text) {
    if (where == TMainFrm::TCardOutput::Serial) PrintLine("Sériový port: " + text);
  };
  if (mainFrm.Attendance) {
    mainFrm.Attendance->onDelivered = [](const TLogItem& item, TAttendanceQueue::TDelivery where) {
      const char* to = where == TAttendanceQueue::TDelivery::Server ? "Server: " : "Soubor: ";
      PrintLine(to + FormatRecordTime(item.Time) + " " + item.Text);
    };
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace snimac;

  // Signals are taken by one watcher thread; every other thread has them
  // blocked, so the teardown always runs on the main thread.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  TRealClock clock;
  THeadlessUi ui(stdout, stderr, clock, ReadAnswerFromTerminal);
  std::thread signalWatch([&ui, stopSignals] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    ui.Quit();
  });
  // However the run ends, the watcher is woken and joined before `ui` goes.
  struct TJoinWatch {
    std::thread& thread;
    ~TJoinWatch() {
      pthread_kill(thread.native_handle(), SIGTERM);
      thread.join();
    }
  } joinWatch{signalWatch};

  InstallPosixThreadNamer();
  std::setlocale(LC_ALL, "");
  TFtdiAccess ftdi;
  std::unique_ptr<TTyping> typing;
  try {
    ftdi = SelectFtdiAccess(clock);
    typing = std::make_unique<TTyping>(clock);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Chyba: %s\n", e.what());
    return 1;
  }

  TPlatformServices platform;
  platform.d2xx = ftdi.d2xx.get();
  platform.clock = &clock;
  platform.defaultDbFileName = HomeOr("") + "vestibar/vestibar.db";
  platform.defaultLogDir = "/tmp/";
  platform.pathStyle = TPathStyle::Posix;
  const std::string serialPath = SerialPortPathFromEnvironment();
  platform.openSerialPort = [serialPath] { return OpenTtySerialPort(serialPath); };
  platform.typist = typing->typist.get();
  platform.makeLineClient = [] { return std::make_unique<TTcpLineClient>(); };
  platform.serverSetting = ServerSettingFromEnvironment();
  platform.dateTimeSeparators = LocaleDateTimeSeparators();
  platform.simulatedReader = ftdi.kind == "sim";

  const std::vector<std::string> args(argv + 1, argv + argc);
  const TRunResult result = RunApplication(ui, platform, args, [&ui](TMainFrm& mainFrm) {
    ShowWhereReadsGo(mainFrm);
    ui.RunUntilQuit();
  });
  return result == TRunResult::StartupFailed ? 1 : 0;
}
