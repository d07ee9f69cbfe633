// The real clock on Windows: steady time from the performance counter, real
// sleeping, local wall time from the system's time zone.
#pragma once

#include "link/clock.h"

namespace snimac {

class TWin32Clock : public TClock {
 public:
  TWin32Clock();
  // Microseconds of QueryPerformanceCounter since its own origin.
  int64_t NowUs() override;
  // Sleeps at least `us` (rounded up to whole milliseconds; the system's
  // timer resolution may add to it); returns at once for us <= 0.
  void SleepUs(int64_t us) override;
  // GetLocalTime, with milliseconds.
  TLocalTime LocalNow() override;

 private:
  int64_t frequency_;  // counts per second
};

}  // namespace snimac
