// The real clock: steady time from std::chrono::steady_clock, real sleeping,
// local wall time from the system clock and the process's time zone.
#pragma once

#include "link/clock.h"

namespace snimac {

class TRealClock : public TClock {
 public:
  // Microseconds of std::chrono::steady_clock since its own epoch.
  int64_t NowUs() override;
  // std::this_thread::sleep_for; returns at once for us <= 0.
  void SleepUs(int64_t us) override;
  // Local time (localtime_r, i.e. the TZ of the process) with milliseconds.
  TLocalTime LocalNow() override;
};

}  // namespace snimac
