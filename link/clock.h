// Time as the core sees it: a steady clock for the link and the wire, local
// wall time for log lines and card reads, and sleeping. The real clock sleeps;
// the virtual clock (simulation) only moves its time forward, so that a
// scenario of minutes runs in milliseconds and always ends the same way.
#pragma once

#include <cstdint>

namespace snimac {

struct TLocalTime {
  int year = 0;    // e.g. 2011
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..60
  int millisecond = 0;
};

class TClock {
 public:
  virtual ~TClock() = default;
  // Steady time in microseconds since an arbitrary origin.
  virtual int64_t NowUs() = 0;
  virtual void SleepUs(int64_t us) = 0;
  virtual TLocalTime LocalNow() = 0;

  int64_t NowMs() { return NowUs() / 1000; }
  void SleepMs(int64_t ms) { SleepUs(ms * 1000); }
  // Sleeps until the steady time reaches `us` (returns at once when it has).
  void SleepUntilUs(int64_t us) {
    const int64_t now = NowUs();
    if (us > now) SleepUs(us - now);
  }
};

}  // namespace snimac
