#include "tools/fault_campaign/hang_watchdog.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace snimac::campaign {

THangWatchdog::THangWatchdog(std::atomic<uint64_t>& progress, int seconds)
    : progress_(progress), seconds_(seconds), thread_([this] { Watch(); }) {}

THangWatchdog::~THangWatchdog() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void THangWatchdog::Running(const std::string& replay) {
  std::lock_guard<std::mutex> guard(mutex_);
  replay_ = replay;
}

void THangWatchdog::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  uint64_t seen = progress_.load();
  auto lastChange = std::chrono::steady_clock::now();
  while (!stop_) {
    wake_.wait_for(lock, std::chrono::seconds(1));
    const uint64_t now = progress_.load();
    if (now != seen) {
      seen = now;
      lastChange = std::chrono::steady_clock::now();
      continue;
    }
    if (std::chrono::steady_clock::now() - lastChange < std::chrono::seconds(seconds_)) continue;
    std::fprintf(stdout, "HANG: no progress for %d s in %s\n", seconds_, replay_.c_str());
    std::fflush(stdout);
    std::_Exit(1);  // the hung run cannot be unwound
  }
}

}  // namespace snimac::campaign
