// The handle-based watch of the thread that creates the link.
#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <vector>

#include "link/thread_watch.h"
#include "platform/win32/adapters/win32_thread_watch.h"

namespace snimac::test {
namespace {

// Thread ids are reused at once on Windows: each watch holds its own
// thread's handle, so a later thread with the same id does not revive it.
TEST(Win32ThreadWatch, SeesEachThreadRunAndEnd) {
  InstallWin32ThreadWatch();
  const TThreadWatch mainThread = TThreadWatch::Current();
  std::vector<std::optional<TThreadWatch>> watches(20);
  for (auto& watch : watches) {
    bool aliveInside = false;
    std::thread([&] {
      watch = TThreadWatch::Current();
      aliveInside = watch->Alive();
    }).join();
    EXPECT_TRUE(aliveInside);
  }
  for (const auto& watch : watches) EXPECT_FALSE(watch->Alive());
  EXPECT_TRUE(mainThread.Alive());
  SetThreadWatchMaker(nullptr);
}

}  // namespace
}  // namespace snimac::test
