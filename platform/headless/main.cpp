// snimac-headless: the program without windows, for attendance terminals and
// tests. Status texts go to stdout as lines, message boxes to stderr; SIGINT
// and SIGTERM end the run with the normal teardown.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <signal.h>

#include "app/main_frm.h"
#include "app/process_entry.h"
#include "platform/headless/headless_ui.h"
#include "platform/posix/ftdi_selection.h"
#include "platform/posix/real_clock.h"
#include "platform/posix/tty_serial_port.h"

namespace {

std::string HomeOr(const char* fallback) {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/" : fallback;
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

  THeadlessUi ui(stdout, stderr);
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

  TRealClock clock;
  TFtdiAccess ftdi;
  try {
    ftdi = SelectFtdiAccess(clock);
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

  const std::vector<std::string> args(argv + 1, argv + argc);
  const TRunResult result = RunApplication(ui, platform, args, [&ui](TMainFrm&) { ui.RunUntilQuit(); });
  return result == TRunResult::StartupFailed ? 1 : 0;
}
