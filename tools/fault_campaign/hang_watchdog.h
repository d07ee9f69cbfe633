// A guard in real time: when the campaign makes no step for the given
// number of seconds, the program under test hangs (a loop that never
// returns, a wait that never ends). The watchdog then says which run hung,
// so that it can be replayed, and ends the process.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace snimac::campaign {

class THangWatchdog {
 public:
  THangWatchdog(std::atomic<uint64_t>& progress, int seconds);
  ~THangWatchdog();
  THangWatchdog(const THangWatchdog&) = delete;
  THangWatchdog& operator=(const THangWatchdog&) = delete;

  // What is running now, and how to replay it.
  void Running(const std::string& replay);

 private:
  void Watch();

  std::atomic<uint64_t>& progress_;
  const int seconds_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::string replay_;
  std::thread thread_;
};

}  // namespace snimac::campaign
