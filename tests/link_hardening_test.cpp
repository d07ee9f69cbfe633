// The link against lines that misbehave for a long time: a device that never
// stops sending, and a reader that is unplugged for an hour. Each turn must
// stay short (the link's lock is held through it, and shutdown waits for it),
// and a lasting fault must not flood the log.
#include <gtest/gtest.h>

#include <functional>

#include "link/frame_reader.h"
#include "link/proto_slave.h"
#include "link/protocol.h"
#include "sim/sim_d2xx.h"
#include "sim/virtual_clock.h"
#include "tests/support/link_rig.h"
#include "tests/support/memory_log.h"

namespace snimac::test {
namespace {

// A line that never falls quiet: `start`, then `pattern` repeated. It gives
// up after a million bytes only so that a reader without a bound ends as well.
struct TBabble {
  TBabble(TBytes start, TBytes pattern) : first(std::move(start)), bytes(std::move(pattern)) {}
  TBytes first, bytes;
  size_t served = 0;
  int Read(uint8_t& b) {
    if (served == 1000000) return 0;
    b = served < first.size() ? first[served] : bytes[(served - first.size()) % bytes.size()];
    ++served;
    return 1;
  }
};

TBytes Overlong() {
  TBytes frame{kFrameStart};
  frame.insert(frame.end(), kMaxPacket + 4, 0x11);
  frame.push_back(kFrameEnd);
  return frame;
}

TEST(FrameHunt, EndsAfterABoundedNumberOfBytesOnALineThatNeverFallsQuiet) {
  struct TCase {
    const char* name;
    TBytes start, pattern;
  };
  const std::vector<TCase> cases = {
      {"noise without a start byte", {}, {0x55}},
      {"over-long frames back to back", {}, Overlong()},
      {"a frame that only ever escapes", {kFrameStart, 0x01}, {kFrameEscape}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TBabble line(c.start, c.pattern);
    uint8_t buffer[kMaxPacket];
    int length = -1;
    EXPECT_EQ(ReadFrameFrom([&](uint8_t& b) { return line.Read(b); }, buffer, length), 0);
    EXPECT_EQ(length, 0);
    EXPECT_LE(line.served, static_cast<size_t>(kMaxBytesPerFrameRead));
  }
}

TEST(FrameHunt, ABabblingDeviceEndsTheTurnAfterOneBoundedRead) {
  TLinkRig rig;
  rig.MakeAlive();
  TBytes babble;
  for (int i = 0; i < 2000; ++i) {
    const TBytes frame = Overlong();
    babble.insert(babble.end(), frame.begin(), frame.end());
  }
  rig.answers.push_back(babble);
  const int64_t before = rig.clock.NowMs();
  rig.Turn();
  EXPECT_LE(babble.size() - rig.d2xx.input.size(), static_cast<size_t>(kMaxBytesPerFrameRead));
  EXPECT_LT(rig.clock.NowMs() - before, 1000);
  // The turn counted as silent; the link goes on with the next turn.
  EXPECT_EQ(rig.log.Lines().back(), "S1 No reply from slave");
}

TEST(PortLoss, AFailedPortEndsEachTurnAtOnceAndIsRetriedOnASchedule) {
  TLinkRig rig;
  rig.MakeAlive();
  rig.log.Clear();
  rig.d2xx.fail.write = 4;
  rig.d2xx.fail.openEx = 2;
  const size_t callsBefore = rig.d2xx.calls.size();
  const int64_t start = rig.clock.NowMs();
  while (rig.clock.NowMs() - start < 60000) rig.link.RunPass();

  // One line for the loss, one for the first failed reopen, then the slave's
  // own few silent turns until it is declared dead.
  EXPECT_EQ(rig.log.Count("SendPacket: FT_Write error 4"), 1);
  EXPECT_EQ(rig.log.Count("Error 2 in FT_Open"), 1);
  EXPECT_EQ(rig.log.Count("Slave dies"), 1);
  EXPECT_LE(rig.log.Lines().size(), 10u);
  // Nothing but the reopen attempts reached the driver, about one a second.
  int opens = 0;
  for (size_t i = callsBefore; i < rig.d2xx.calls.size(); ++i) {
    const bool open = rig.d2xx.calls[i].rfind("OpenEx", 0) == 0;
    opens += open;
    EXPECT_TRUE(open || rig.d2xx.calls[i] == "Close") << rig.d2xx.calls[i];
  }
  EXPECT_GE(opens, 50);
  EXPECT_LE(opens, 61);

  // Back: the next retry opens the port and turns talk to the driver again.
  rig.d2xx.fail = {};
  const size_t writes = rig.d2xx.writes.size();
  const int64_t back = rig.clock.NowMs();
  while (!rig.link.IsOpen() || rig.link.PortFailed()) rig.link.RunPass();
  EXPECT_LE(rig.clock.NowMs() - back, TProtocol::kReopenRetryMs + 400);
  EXPECT_EQ(rig.log.Count("Port reopened"), 1);
  for (int i = 0; i < 5; ++i) rig.link.RunPass();
  EXPECT_GT(rig.d2xx.writes.size(), writes);
}

TEST(PortLoss, AnHourUnpluggedLogsAHandfulOfLinesAndReplugBringsTheReaderBack) {
  sim::TVirtualClock clock;
  sim::TSimD2xx bus{clock};
  bus.AddDevice("Reader", "A1B2");
  TMemoryLog log;
  TProtocol link{bus, clock, &log, TThreadWatch::Forever(), TProtocol::TStart::Manual};
  ASSERT_TRUE(link.Open("A1B2", "9600,n,8,1"));
  TProtoSlave slave(link, &log);
  slave.Open(-1, 1);
  const auto alive = [&] {
    std::lock_guard<std::recursive_mutex> guard(link.Lock());
    return slave.LinkState == TProtoSlave::Alive;
  };
  const auto runUntil = [&](const std::function<bool()>& done, int64_t limitMs) {
    const int64_t end = clock.NowMs() + limitMs;
    while (!done() && clock.NowMs() <= end) link.RunPass();
    return done();
  };
  ASSERT_TRUE(runUntil(alive, 5000));

  log.Clear();
  bus.Unplug("A1B2");
  const uint64_t transfers = bus.CallCount(sim::TD2xxCall::Write) + bus.CallCount(sim::TD2xxCall::Read);
  const uint64_t opens = bus.CallCount(sim::TD2xxCall::OpenEx);
  const int64_t start = clock.NowMs();
  runUntil([] { return false; }, 3600 * 1000);
  EXPECT_FALSE(alive());
  EXPECT_EQ(log.Count("Slave dies"), 1);
  EXPECT_LE(log.Lines().size(), 10u);
  // The turns no longer touch the dead port; the reopen is tried about once a second.
  EXPECT_LE(bus.CallCount(sim::TD2xxCall::Write) + bus.CallCount(sim::TD2xxCall::Read) - transfers, 3u);
  const uint64_t attempts = bus.CallCount(sim::TD2xxCall::OpenEx) - opens;
  EXPECT_GE(attempts, 3000u);
  EXPECT_LE(attempts, static_cast<uint64_t>((clock.NowMs() - start) / TProtocol::kReopenRetryMs + 1));

  bus.Replug("A1B2");
  EXPECT_TRUE(runUntil(alive, 5000));
}

}  // namespace
}  // namespace snimac::test
