#include "platform/posix/stop_signals.h"

#include <pthread.h>

namespace snimac {

namespace {
sigset_t StopSignalSet() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}
}  // namespace

void TStopSignals::Block() {
  const sigset_t signals = StopSignalSet();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

TStopSignals::TStopSignals(std::function<void()> onStop) : signals_(StopSignalSet()) {
  Block();
  watcher_ = std::thread([this, onStop = std::move(onStop)] {
    int signal = 0;
    sigwait(&signals_, &signal);
    if (!closing_) onStop();
  });
}

// The watcher is woken by a signal of our own, which it must not pass on.
TStopSignals::~TStopSignals() {
  closing_ = true;
  pthread_kill(watcher_.native_handle(), SIGTERM);
  watcher_.join();
}

}  // namespace snimac
