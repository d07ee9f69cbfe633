#include "platform/posix/real_clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace snimac {

int64_t TRealClock::NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void TRealClock::SleepUs(int64_t us) {
  if (us > 0) std::this_thread::sleep_for(std::chrono::microseconds(us));
}

TLocalTime TRealClock::LocalNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto sinceEpochMs = duration_cast<milliseconds>(now.time_since_epoch()).count();
  // Floor division so that times before 1970 would still give 0..999 ms.
  int64_t seconds = sinceEpochMs / 1000;
  int64_t ms = sinceEpochMs % 1000;
  if (ms < 0) {
    ms += 1000;
    --seconds;
  }
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  TLocalTime local;
  local.year = tm.tm_year + 1900;
  local.month = tm.tm_mon + 1;
  local.day = tm.tm_mday;
  local.hour = tm.tm_hour;
  local.minute = tm.tm_min;
  local.second = tm.tm_sec;
  local.millisecond = static_cast<int>(ms);
  return local;
}

}  // namespace snimac
