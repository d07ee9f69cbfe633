#include <gtest/gtest.h>

#include "tests/support/hex.h"
#include "tests/support/link_rig.h"

namespace snimac::test {
namespace {

using Calls = std::vector<std::string>;

struct TPortRig {
  sim::TVirtualClock clock;
  TScriptedD2xx d2xx{clock};
  TMemoryLog log;
  TProtocol link{d2xx, clock, &log, TThreadWatch::Forever(), TProtocol::TStart::Manual};
};

TEST(PortOpen, ConfiguresTheLineInOrder) {
  TPortRig rig;
  EXPECT_TRUE(rig.link.Open("A1B2", "9600,n,8,1"));
  EXPECT_EQ(rig.d2xx.calls, (Calls{"OpenEx:A1B2:1", "SetBaudRate:9600", "SetDataCharacteristics:8,0,0",
                                   "SetFlowControl:0,0,0", "SetTimeouts:50,100", "SetLatencyTimer:2"}));
  EXPECT_TRUE(rig.log.Lines().empty());
  // An empty serial number is still handed to the driver.
  EXPECT_TRUE(rig.link.Open("", "9600,n,8,1"));
  EXPECT_EQ(rig.d2xx.calls[6], "Close");
  EXPECT_EQ(rig.d2xx.calls[7], "OpenEx::1");
}

TEST(PortOpen, SetsTheChosenLatencyOnEveryOpenAndGoesOnWithoutIt) {
  TPortRig rig;
  rig.link.SetLatency(7);
  ASSERT_TRUE(rig.link.Open("A1B2", "9600,n,8,1"));
  EXPECT_EQ(rig.d2xx.calls.back(), "SetLatencyTimer:7");
  EXPECT_EQ(rig.d2xx.latencyMs, 7);

  // A driver that cannot set it: said once, and the port is open and works.
  rig.d2xx.fail.latency = FT_NOT_SUPPORTED;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(rig.link.Reopen());
    EXPECT_TRUE(rig.link.IsOpen());
    EXPECT_EQ(rig.d2xx.calls.back(), "SetLatencyTimer:7");
  }
  EXPECT_EQ(rig.log.Lines(),
            (std::vector<std::string>{"Protocol Error 17 in FT_SetLatencyTimer(7 ms), the converter keeps its own"}));
  EXPECT_EQ(rig.log.LevelOf(rig.log.Lines().front()), static_cast<signed char>(TLogLevel::Warn));
  TRawPacket p;
  BuildResetRequest(p, 1);
  EXPECT_EQ(rig.link.SendPacket(p), 6);
  EXPECT_FALSE(rig.link.PortFailed());

  // Once it works again, a later failure is said again.
  rig.d2xx.fail.latency = FT_OK;
  ASSERT_TRUE(rig.link.Reopen());
  rig.d2xx.fail.latency = FT_IO_ERROR;
  ASSERT_TRUE(rig.link.Reopen());
  EXPECT_EQ(rig.log.Lines().size(), 2u);
}

TEST(PortOpen, EachFailingStepIsLoggedOnceAndClosesTheDevice) {
  struct TCase {
    FT_STATUS TScriptedD2xx::TFailures::*step;
    std::string line;
    size_t callsMade;
  };
  const std::vector<TCase> cases = {
      {&TScriptedD2xx::TFailures::openEx, "Protocol Error 2 in FT_Open", 1},
      {&TScriptedD2xx::TFailures::baud, "Protocol Error 2 in FT_SetBaudRate", 3},
      {&TScriptedD2xx::TFailures::data, "Protocol Error 2 in FT_SetDataCharacteristics", 4},
      {&TScriptedD2xx::TFailures::flow, "Protocol Error 2 in FT_SetFlowControl", 5},
      {&TScriptedD2xx::TFailures::timeouts, "Protocol Error 2 in FT_SetTimeouts", 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    TPortRig rig;
    rig.d2xx.fail.*c.step = 2;
    EXPECT_FALSE(rig.link.Open("A1B2", "9600,n,8,1"));
    EXPECT_EQ(rig.log.Lines(), (std::vector<std::string>{c.line}));
    EXPECT_FALSE(rig.link.IsOpen());
    ASSERT_EQ(rig.d2xx.calls.size(), c.callsMade);
    // Nothing was opened when the open itself failed, so nothing is closed.
    EXPECT_EQ(rig.d2xx.calls.back() == "Close", c.callsMade > 1);
  }
}

TEST(PortTransfer, WriteAndReadErrorsRequestAReopen) {
  TPortRig rig;
  ASSERT_TRUE(rig.link.Open("A1B2", "9600,n,8,1"));
  TRawPacket p;
  BuildResetRequest(p, 1);

  rig.d2xx.fail.shortWriteBy = 3;
  EXPECT_EQ(rig.link.SendPacket(p), -1);
  EXPECT_EQ(rig.log.Lines().back(), "Protocol SendPacket: Incomplete write (3/6)");
  EXPECT_EQ(rig.log.LevelOf("Protocol SendPacket: Incomplete write (3/6)"), static_cast<signed char>(TLogLevel::Warn));
  EXPECT_FALSE(rig.link.ReopenNeeded());
  rig.d2xx.fail.shortWriteBy = 0;
  EXPECT_EQ(rig.link.SendPacket(p), 6);

  rig.d2xx.fail.write = 4;
  int64_t before = rig.clock.NowMs();
  EXPECT_EQ(rig.link.SendPacket(p), -1);
  EXPECT_EQ(rig.log.Lines().back(), "Protocol SendPacket: FT_Write error 4");
  EXPECT_EQ(rig.clock.NowMs() - before, 100);
  EXPECT_TRUE(rig.link.ReopenNeeded());

  rig.link.Reopen();
  EXPECT_FALSE(rig.link.ReopenNeeded());
  rig.d2xx.fail.read = 4;
  uint8_t b;
  before = rig.clock.NowMs();
  EXPECT_EQ(rig.link.ReadBytes(&b, 1), -1);
  EXPECT_EQ(rig.log.Lines().back(), "Protocol SendPacket: FT_Read error 4");
  EXPECT_EQ(rig.clock.NowMs() - before, 100);
  EXPECT_TRUE(rig.link.ReopenNeeded());

  rig.d2xx.fail.read = FT_OK;
  rig.link.Reopen();
  rig.d2xx.fail.timeouts = 3;
  uint8_t frame[kMaxPacket];
  int length = 0;
  rig.d2xx.Feed(Hex("C0 81"));
  EXPECT_EQ(rig.link.ReadFrame(frame, length), 1);  // reading goes on after the failed time-out setting
  EXPECT_EQ(rig.log.Lines().back(), "Protocol Error 3 in FT_SetTimeouts");
}

TEST(PortTransfer, CloseIsIdempotent) {
  TPortRig rig;
  EXPECT_TRUE(rig.link.Close());
  rig.link.Open("A1B2", "");
  EXPECT_TRUE(rig.link.Close());
  EXPECT_TRUE(rig.link.Close());
  EXPECT_EQ(std::count(rig.d2xx.calls.begin(), rig.d2xx.calls.end(), "Close"), 1);
}

TEST(LinkLoop, ReopensBeforeTheNextPollAfterAReadError) {
  TLinkRig rig;
  rig.MakeAlive();
  rig.d2xx.fail.read = 4;
  rig.link.RunPass();  // the endpoint's turn: its reads fail
  EXPECT_TRUE(rig.link.ReopenNeeded());
  rig.d2xx.fail.read = FT_OK;
  const size_t writes = rig.d2xx.writes.size();
  const int opens = rig.d2xx.opens;
  const int64_t before = rig.clock.NowMs();
  rig.link.RunPass();
  EXPECT_EQ(rig.d2xx.opens, opens + 1);
  EXPECT_EQ(rig.d2xx.writes.size(), writes);  // nothing polled in the reopening pass
  EXPECT_EQ(rig.clock.NowMs() - before, 100);
  EXPECT_FALSE(rig.link.ReopenNeeded());
}

// The schedule on a virtual clock: which endpoint each pass polls and how long it sleeps.
TEST(LinkLoop, PollsEarliestDueFirstAndSleepsAtMost300ms) {
  sim::TVirtualClock clock;
  TScriptedD2xx d2xx{clock};
  TProtocol link{d2xx, clock, nullptr, TThreadWatch::Forever(), TProtocol::TStart::Manual};
  link.Open("A1B2", "");

  // Nothing registered: every pass is a 300 ms sleep.
  link.RunPass();
  EXPECT_EQ(clock.NowMs(), 300);

  TProtoSlave a(link, nullptr), b(link, nullptr);
  a.Open(-1, 1);
  b.Open(-1, 2);
  TProtoSlave* first = std::less<TProtoSlave*>()(&a, &b) ? &a : &b;
  TProtoSlave* second = first == &a ? &b : &a;
  // Both due at once (NextDue 0): object-identity order, each rescheduled with its own time.
  d2xx.writes.clear();
  link.RunPass();
  ASSERT_FALSE(d2xx.writes.empty());
  EXPECT_EQ(d2xx.writes[0][8], first->Address);  // the address assignment's new address
  d2xx.writes.clear();
  link.RunPass();
  EXPECT_EQ(d2xx.writes[0][8], second->Address);
  EXPECT_GT(first->NextDue, 0);
  EXPECT_GE(second->NextDue, first->NextDue);

  // Far-off due times: sleeps are cut to 300 ms.
  {
    std::lock_guard<std::recursive_mutex> guard(link.Lock());
    link.Unregister(&a);
    link.Unregister(&b);
    a.NextDue = clock.NowMs() + 1000;
    b.NextDue = clock.NowMs() + 5000;
    link.Register(&a);
    link.Register(&b);
  }
  std::vector<int64_t> sleeps;
  d2xx.writes.clear();
  while (d2xx.writes.empty()) {
    const int64_t t = clock.NowMs();
    link.RunPass();
    if (d2xx.writes.empty()) sleeps.push_back(clock.NowMs() - t);
  }
  EXPECT_EQ(sleeps, (std::vector<int64_t>{300, 300, 300, 100}));
  EXPECT_EQ(d2xx.writes[0][1], 0x81);  // endpoint a's token (it already sent its assignment)
}

}  // namespace
}  // namespace snimac::test
