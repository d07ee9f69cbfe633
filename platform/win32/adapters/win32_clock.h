// The real clock on Windows: steady time from the performance counter, real
// sleeping, local wall time from the system's time zone.
//
// While a clock exists the system timer runs at 1 ms (timeBeginPeriod): the
// link thread sleeps a few milliseconds between polls, and at the default
// 15.6 ms tick every such sleep would last a whole tick, slowing the poll
// cycle and a firmware upgrade several times over.
#pragma once

#include "link/clock.h"

namespace snimac {

class TWin32Clock : public TClock {
 public:
  TWin32Clock();
  ~TWin32Clock() override;
  TWin32Clock(const TWin32Clock&) = delete;
  TWin32Clock& operator=(const TWin32Clock&) = delete;
  // Microseconds of QueryPerformanceCounter since its own origin.
  int64_t NowUs() override;
  // Sleeps at least `us` (rounded up to whole milliseconds; the system's
  // timer resolution may add to it); returns at once for us <= 0.
  void SleepUs(int64_t us) override;
  // GetLocalTime, with milliseconds.
  TLocalTime LocalNow() override;

 private:
  int64_t frequency_;  // counts per second
  bool fineTimer_;     // timeBeginPeriod(1) succeeded, to be undone
};

}  // namespace snimac
