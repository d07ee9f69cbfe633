#include "platform/posix/real_clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace snimac {
namespace {

TEST(PosixRealClock, SteadyTimeAndSleeping) {
  TRealClock clock;
  const int64_t a = clock.NowUs();
  clock.SleepUs(20000);
  const int64_t b = clock.NowUs();
  EXPECT_GE(b - a, 20000);
  clock.SleepUs(0);
  clock.SleepUs(-5);
  EXPECT_GE(clock.NowUs(), b);
  const int64_t c = clock.NowUs();
  clock.SleepUntilUs(c + 5000);
  EXPECT_GE(clock.NowUs(), c + 5000);
}

TEST(PosixRealClock, LocalTimeWithMilliseconds) {
  TRealClock clock;
  const std::time_t before = std::time(nullptr);
  const TLocalTime t = clock.LocalNow();
  const std::time_t after = std::time(nullptr);
  std::tm tm{};
  localtime_r(&before, &tm);
  std::tm tm2{};
  localtime_r(&after, &tm2);
  EXPECT_TRUE(t.year == tm.tm_year + 1900 || t.year == tm2.tm_year + 1900);
  EXPECT_TRUE(t.day == tm.tm_mday || t.day == tm2.tm_mday);
  EXPECT_TRUE(t.minute == tm.tm_min || t.minute == tm2.tm_min);
  EXPECT_GE(t.month, 1);
  EXPECT_LE(t.month, 12);
  EXPECT_GE(t.hour, 0);
  EXPECT_LE(t.hour, 23);
  EXPECT_GE(t.second, 0);
  EXPECT_LE(t.second, 60);
  EXPECT_GE(t.millisecond, 0);
  EXPECT_LE(t.millisecond, 999);
}

}  // namespace
}  // namespace snimac
