// A blocking call bounded by a deadline: its result when it is in time, and
// a late result that is destroyed rather than used or leaked.
#include "cards/call_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace snimac {
namespace {

using namespace std::chrono_literals;
using TSteady = std::chrono::steady_clock;

TEST(CallUntil, GivesTheResultOfACallInTime) {
  const auto result = CallUntil<std::unique_ptr<int>>([] { return std::make_unique<int>(42); }, TSteady::now() + 10s);
  EXPECT_EQ(result.end, TCallEnd::Done);
  ASSERT_NE(result.value, nullptr);
  EXPECT_EQ(*result.value, 42);
}

struct TProbe {
  explicit TProbe(std::atomic<bool>& destroyed) : destroyed_(destroyed) {}
  ~TProbe() { destroyed_.store(true); }
  TProbe(const TProbe&) = delete;
  TProbe& operator=(const TProbe&) = delete;
  std::atomic<bool>& destroyed_;
};

TEST(CallUntil, ALateResultIsDroppedWhenTheCallEnds) {
  static std::atomic<bool> destroyed{false};  // outlives the abandoned thread
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  const auto start = TSteady::now();
  auto result = CallUntil<std::unique_ptr<TProbe>>(
      [released] {
        released.wait();
        return std::make_unique<TProbe>(destroyed);
      },
      start + 100ms);
  EXPECT_EQ(result.end, TCallEnd::TimedOut);
  EXPECT_EQ(result.value, nullptr);
  EXPECT_GE(TSteady::now() - start, 100ms);
  EXPECT_LT(TSteady::now() - start, 5s);

  release.set_value();
  for (int i = 0; i < 500 && !destroyed.load(); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(destroyed.load());
}

}  // namespace
}  // namespace snimac
