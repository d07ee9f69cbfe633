// A clock whose time moves only when someone sleeps (or advances it): the
// simulation's time. Sleeping returns at once, so a scenario of minutes on the
// wire runs in milliseconds and gives the same result every run.
#pragma once

#include <atomic>

#include "link/clock.h"

namespace snimac::sim {

class TVirtualClock : public TClock {
 public:
  // Local time at steady time 0; the default is 1 September 2011, 14:05:00.
  explicit TVirtualClock(TLocalTime start = {2011, 9, 1, 14, 5, 0, 0}) : start_(start) {}

  int64_t NowUs() override { return now_.load(); }
  void SleepUs(int64_t us) override {
    if (us > 0) now_.fetch_add(us);
  }
  TLocalTime LocalNow() override;

  void Advance(int64_t us) { SleepUs(us); }

 private:
  std::atomic<int64_t> now_{0};
  TLocalTime start_;
};

}  // namespace snimac::sim
