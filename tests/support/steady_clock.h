// A real clock that runs on every system, for tests about real threads and
// time: steady time, real sleeping, and the wall time in UTC (the tests that
// use it do not look at the time zone).
#pragma once

#include <chrono>
#include <thread>

#include "link/clock.h"

namespace snimac::test {

class TSteadyClock : public TClock {
 public:
  int64_t NowUs() override {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void SleepUs(int64_t us) override {
    if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
  }
  TLocalTime LocalNow() override {
    using namespace std::chrono;
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> time{now - day};
    return TLocalTime{static_cast<int>(date.year()),          static_cast<int>(static_cast<unsigned>(date.month())),
                      static_cast<int>(static_cast<unsigned>(date.day())), static_cast<int>(time.hours().count()),
                      static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
                      static_cast<int>(time.subseconds().count())};
  }
};

}  // namespace snimac::test
