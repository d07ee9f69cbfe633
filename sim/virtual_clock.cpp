#include "sim/virtual_clock.h"

namespace snimac::sim {

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

}  // namespace

TLocalTime TVirtualClock::LocalNow() {
  TLocalTime t = start_;
  int64_t ms = now_.load() / 1000 + t.millisecond + 1000LL * (t.second + 60LL * (t.minute + 60LL * t.hour));
  int64_t days = ms / 86400000LL;
  ms %= 86400000LL;
  t.hour = static_cast<int>(ms / 3600000);
  t.minute = static_cast<int>(ms / 60000 % 60);
  t.second = static_cast<int>(ms / 1000 % 60);
  t.millisecond = static_cast<int>(ms % 1000);
  while (days > 0) {
    if (++t.day > DaysInMonth(t.year, t.month)) {
      t.day = 1;
      if (++t.month > 12) {
        t.month = 1;
        ++t.year;
      }
    }
    --days;
  }
  return t;
}

}  // namespace snimac::sim
