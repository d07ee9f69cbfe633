// The link against the simulated reader on the simulated wire (9600 baud,
// converter latency, reader processing time), on a virtual clock: whole
// scenarios run pass by pass, deterministic for a given seed.
#include <gtest/gtest.h>

#include "link/proto_slave.h"
#include "link/protocol.h"
#include "sim/sim_d2xx.h"
#include "sim/virtual_clock.h"
#include "tests/support/memory_log.h"

namespace snimac::test {
namespace {

struct TSimRig {
  TSimRig() {
    reader = &bus.AddDevice("Reader", "A1B2");
    link.Open("A1B2", "9600,n,8,1");
    slave = std::make_unique<TProtoSlave>(link, &log);
    slave->Open(-1, 1);
  }
  ~TSimRig() { slave.reset(); }

  template <typename Pred>
  bool RunUntil(Pred done, int64_t limitMs) {
    const int64_t end = clock.NowMs() + limitMs;
    while (!done()) {
      if (clock.NowMs() > end) return false;
      link.RunPass();
    }
    return true;
  }
  // Application messages received so far, without the link's status messages.
  void Collect(std::vector<std::vector<uint8_t>>& into, int& wakes, int& deaths) {
    while (TProtoMessagePtr m = slave->GetReceived()) {
      if (m->Length == 1 && m->Data[0] == kMsgSlaveWakes) {
        ++wakes;
      } else if (m->Length == 1 && m->Data[0] == kMsgSlaveDies) {
        ++deaths;
      } else {
        into.emplace_back(m->Data.get(), m->Data.get() + m->Length);
      }
    }
  }
  bool Alive() {
    std::lock_guard<std::recursive_mutex> guard(link.Lock());
    return slave->LinkState == TProtoSlave::Alive;
  }

  sim::TVirtualClock clock;
  sim::TSimD2xx bus{clock};
  sim::TSimReader* reader = nullptr;
  TMemoryLog log;
  TProtocol link{bus, clock, &log, TThreadWatch::Forever(), TProtocol::TStart::Manual};
  std::unique_ptr<TProtoSlave> slave;
};

TEST(SimulatedReader, TypicalStartAddressesWakesResetsAndCarriesData) {
  TSimRig rig;
  ASSERT_TRUE(rig.RunUntil([&] { return rig.Alive(); }, 5000));
  EXPECT_EQ(rig.reader->Address(), 1);
  const auto lines = rig.log.Lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "S1 Address set to 01");
  EXPECT_EQ(lines[1], "S1 Reply from slave");
  EXPECT_EQ(lines.back(), "S1 Slave wakes");
  EXPECT_EQ(rig.log.Count("Reply from slave"), 3);
  // The first three turns are 200 ms apart (plus the turns themselves).
  EXPECT_GE(rig.clock.NowMs(), 400);
  EXPECT_LT(rig.clock.NowMs(), 700);

  rig.reader->SendAppMessage({0x85, 0x00, 'M', 'X'});
  rig.slave->PutOutgoing(std::make_unique<TProtoMessage>(std::vector<uint8_t>{0x0A}.data(), 1, true));
  std::vector<std::vector<uint8_t>> got;
  int wakes = 0, deaths = 0;
  ASSERT_TRUE(rig.RunUntil(
      [&] {
        rig.Collect(got, wakes, deaths);
        return !got.empty() && rig.reader->ReceivedCount() == 1;
      },
      5000));
  EXPECT_EQ(got[0], (std::vector<uint8_t>{0x85, 0x00, 'M', 'X'}));
  EXPECT_EQ(rig.reader->ReceivedMessages()[0], (std::vector<uint8_t>{0x0A}));
  EXPECT_EQ(rig.log.Count("Slave acknowledged reset"), 1);
  EXPECT_EQ(rig.log.Count("Warn"), 0);
}

// Numbered messages both ways over a wire that flips bits, loses and
// duplicates bytes: every message arrives once, in order, intact.
TEST(SimulatedReader, NoisyWireDeliversEveryMessageOnceInOrder) {
  constexpr int kMessages = 150;
  for (uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    TSimRig rig;
    ASSERT_TRUE(rig.RunUntil([&] { return rig.Alive(); }, 5000));
    rig.bus.SetSeed(seed);
    rig.bus.SetFaults({0.002, 0.002, 0.002});
    auto message = [](int i) {
      std::vector<uint8_t> m = {0x90, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
      for (int k = 0; k < i % 20; ++k) m.push_back(static_cast<uint8_t>(i * 7 + k));
      return m;
    };
    for (int i = 0; i < kMessages; ++i) {
      ASSERT_TRUE(rig.reader->SendAppMessage(message(i)));
      const auto m = message(i);
      rig.slave->PutOutgoing(std::make_unique<TProtoMessage>(m.data(), static_cast<int>(m.size()), i % 3 == 0));
    }
    std::vector<std::vector<uint8_t>> got;
    int wakes = 0, deaths = 0;
    const bool done = rig.RunUntil(
        [&] {
          rig.Collect(got, wakes, deaths);
          return got.size() >= kMessages && rig.reader->ReceivedCount() >= kMessages;
        },
        10 * 60 * 1000);
    EXPECT_TRUE(done) << got.size() << " up, " << rig.reader->ReceivedCount() << " down";
    ASSERT_EQ(got.size(), static_cast<size_t>(kMessages));
    const auto down = rig.reader->ReceivedMessages();
    ASSERT_EQ(down.size(), static_cast<size_t>(kMessages));
    for (int i = 0; i < kMessages; ++i) {
      EXPECT_EQ(got[static_cast<size_t>(i)], message(i)) << "from the reader, message " << i;
      EXPECT_EQ(down[static_cast<size_t>(i)], message(i)) << "to the reader, message " << i;
    }
    const auto faults = rig.bus.FaultCounts();
    EXPECT_GT(faults.lost + faults.flipped + faults.duplicated, 10u);  // the wire really was noisy
  }
}

TEST(SimulatedReader, UnplugIsNoticedAndReplugBringsTheReaderBack) {
  TSimRig rig;
  ASSERT_TRUE(rig.RunUntil([&] { return rig.Alive(); }, 5000));
  rig.bus.Unplug("A1B2");
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.Alive(); }, 30000));
  // The loss and the first failed reopen are logged once each, not per retry.
  EXPECT_EQ(rig.log.Count("SendPacket: FT_"), 1);
  EXPECT_EQ(rig.log.Count("in FT_Open"), 1);
  EXPECT_EQ(rig.log.Count("Slave dies"), 1);
  rig.bus.Replug("A1B2");
  ASSERT_TRUE(rig.RunUntil([&] { return rig.Alive(); }, 30000));
  std::vector<std::vector<uint8_t>> got;
  int wakes = 0, deaths = 0;
  rig.Collect(got, wakes, deaths);
  EXPECT_EQ(wakes, 2);
  EXPECT_EQ(deaths, 1);
}

}  // namespace
}  // namespace snimac::test
