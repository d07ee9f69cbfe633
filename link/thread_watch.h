// Lets the link notice that the thread which created it has ended.
//
// The portable watch is a thread-local sentinel that clears a shared flag at
// thread exit, without any OS call. Where thread-local destructors cannot be
// trusted (MinGW frees a thread's emulated TLS block before it runs them, so
// the sentinel would write into freed memory), the platform installs a maker
// that watches the thread by the OS's own means.
#pragma once

#include <functional>

namespace snimac {

class TThreadWatch {
 public:
  // Tells whether the watched thread still runs.
  using TProbe = std::function<bool()>;

  // Watches the calling thread: with the installed maker, else the sentinel.
  static TThreadWatch Current();
  // A watch that never reports its thread gone (single-threaded simulation).
  static TThreadWatch Forever();
  // A watch that asks `probe`.
  static TThreadWatch FromProbe(TProbe probe) { return TThreadWatch(std::move(probe)); }

  bool Alive() const { return probe_(); }

 private:
  explicit TThreadWatch(TProbe probe) : probe_(std::move(probe)) {}
  TProbe probe_;
};

using TThreadWatchMaker = TThreadWatch (*)();
// Installs how Current() watches the calling thread; nullptr restores the sentinel.
void SetThreadWatchMaker(TThreadWatchMaker maker);

}  // namespace snimac
