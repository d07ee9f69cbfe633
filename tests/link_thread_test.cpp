// The link on its own thread, with the real clock.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/proto_slave.h"
#include "link/protocol.h"
#include "link/thread_name.h"
#include "tests/support/steady_clock.h"
#include "tests/support/memory_log.h"
#include "tests/support/scripted_d2xx.h"

namespace snimac::test {
namespace {

// The real clock, remembering every sleep the link asks for.
class TRecordingClock : public test::TSteadyClock {
 public:
  void SleepUs(int64_t us) override {
    {
      std::lock_guard<std::mutex> guard(lock);
      sleeps.push_back(us / 1000);
    }
    test::TSteadyClock::SleepUs(us);
  }
  std::vector<int64_t> Sleeps() {
    std::lock_guard<std::mutex> guard(lock);
    return sleeps;
  }
  std::mutex lock;
  std::vector<int64_t> sleeps;
};

template <typename Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

TEST(LinkThread, IdlesIn300msSleepsWithoutEndpoints) {
  TRecordingClock clock;
  TScriptedD2xx d2xx{clock};
  TProtocol link{d2xx, clock, nullptr, TThreadWatch::Current()};
  ASSERT_TRUE(WaitUntil([&] { return clock.Sleeps().size() >= 2; }));
  link.Terminate();
  link.WaitFor();
  for (int64_t s : clock.Sleeps()) EXPECT_EQ(s, 300);
}

std::mutex g_namesLock;
std::vector<std::string> g_names;
void RecordName(const char* name) {
  std::lock_guard<std::mutex> guard(g_namesLock);
  g_names.emplace_back(name);
}

TEST(LinkThread, NamesItselfProtocol) {
  {
    std::lock_guard<std::mutex> guard(g_namesLock);
    g_names.clear();
  }
  SetThreadNamer(&RecordName);
  {
    TRecordingClock clock;
    TScriptedD2xx d2xx{clock};
    TProtocol link{d2xx, clock, nullptr, TThreadWatch::Current()};
    link.Terminate();
    link.WaitFor();
  }
  SetThreadNamer(nullptr);
  std::lock_guard<std::mutex> guard(g_namesLock);
  EXPECT_EQ(g_names, (std::vector<std::string>{"protocol"}));
}

TEST(LinkThread, EndsByItselfWhenItsCreatorThreadEnds) {
  TRecordingClock clock;
  TScriptedD2xx d2xx{clock};
  std::unique_ptr<TProtocol> link;
  std::thread creator([&] {
    link = std::make_unique<TProtocol>(d2xx, clock, nullptr, TThreadWatch::Current());
    link->Open("A1B2", "");
  });
  creator.join();
  ASSERT_TRUE(WaitUntil([&] { return link->Terminated(); }));
  link->WaitFor();
  // The thread closed the port on its way out.
  std::lock_guard<std::recursive_mutex> guard(link->Lock());
  EXPECT_EQ(d2xx.calls.back(), "Close");
  EXPECT_FALSE(link->IsOpen());
}

TEST(LinkThread, TeardownInOrderWhileTheThreadPolls) {
  TRecordingClock clock;
  TScriptedD2xx d2xx{clock};
  TMemoryLog log;
  auto link = std::make_unique<TProtocol>(d2xx, clock, &log, TThreadWatch::Current());
  ASSERT_TRUE(link->Open("A1B2", "9600,n,8,1"));
  auto slave = std::make_unique<TProtoSlave>(*link, &log);
  slave->Open(-1, 1);
  ASSERT_TRUE(WaitUntil([&] { return log.Count("No reply from slave") >= 2; }));
  slave.reset();  // waits for a turn in progress, then withdraws
  link->Terminate();
  link->WaitFor();
  EXPECT_FALSE(link->IsOpen());
  link.reset();
}

TEST(LinkThread, ReopensThePortAfterAReadError) {
  TRecordingClock clock;
  TScriptedD2xx d2xx{clock};
  TMemoryLog log;
  TProtocol link{d2xx, clock, &log, TThreadWatch::Current()};
  ASSERT_TRUE(link.Open("A1B2", "9600,n,8,1"));
  TProtoSlave slave(link, &log);
  {
    std::lock_guard<std::recursive_mutex> guard(link.Lock());
    d2xx.fail.read = 4;
  }
  slave.Open(-1, 1);
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard<std::recursive_mutex> guard(link.Lock());
    if (d2xx.opens >= 2) d2xx.fail.read = FT_OK;
    return d2xx.opens >= 2;
  }));
  EXPECT_GE(log.Count("SendPacket: FT_Read error 4"), 1);
  // The reopen came straight after the failing turn: no other turn in between.
  std::lock_guard<std::recursive_mutex> guard(link.Lock());
  const auto& calls = d2xx.calls;
  auto reopen = std::find(calls.begin() + 1, calls.end(), "OpenEx:A1B2:1");
  ASSERT_NE(reopen, calls.end());
  EXPECT_EQ(*(reopen - 1), "Close");
}

TEST(LinkThreadDeathTest, DestroyingTheLinkWithEndpointsStopsLoudly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        test::TSteadyClock clock;
        TScriptedD2xx d2xx{clock};
        auto link = std::make_unique<TProtocol>(d2xx, clock, nullptr, TThreadWatch::Current());
        auto* leaked = new TProtoSlave(*link, nullptr);
        (void)leaked;
        link.reset();
      },
      "Destroying protocol with slaves");
}

}  // namespace
}  // namespace snimac::test
