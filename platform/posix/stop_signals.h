// SIGINT and SIGTERM end a program with its normal teardown: the signals are
// blocked in every thread and taken by one watcher thread, which calls
// `onStop` (once). Call Block first in main, before any other thread starts,
// so that every thread inherits the blocked mask; a signal that comes before
// the watcher exists waits for it.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include <signal.h>

namespace snimac {

class TStopSignals {
 public:
  static void Block();
  explicit TStopSignals(std::function<void()> onStop);
  // Wakes and joins the watcher; `onStop` is called no more.
  ~TStopSignals();
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

 private:
  sigset_t signals_;
  std::atomic<bool> closing_{false};
  std::thread watcher_;
};

}  // namespace snimac
