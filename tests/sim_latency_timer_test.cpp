// The converter's latency timer on the simulated wire: bytes from the reader
// wait in the converter until the timer runs out after the last of them, or
// until a USB packet's worth has collected; the host sets the timer per open
// handle, a fresh one starts at the converter's 16 ms.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "sim/sim_d2xx.h"
#include "sim/sim_wire.h"
#include "sim/virtual_clock.h"

namespace snimac::sim {
namespace {

constexpr int64_t kByteUs = 1042;  // 10 bits at 9600 baud, rounded
constexpr int64_t kProcessingUs = 2000;
const std::vector<uint8_t> kToken1 = {0xC0, 0x81};

struct TTokenRig {
  TVirtualClock clock;
  TSimD2xx bus{clock};
  FT_HANDLE h = nullptr;

  TTokenRig() {
    TSimReaderConfig config;
    config.address = 1;  // answers a token from power-on
    bus.AddDevice("Reader", "A1B2", config);
  }
  void Open() {
    ASSERT_EQ(bus.OpenEx(const_cast<char*>("A1B2"), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
    ASSERT_EQ(bus.SetTimeouts(h, 300, 100), FT_OK);
  }
  // Sends a token and reads the first byte of the answer alone: how long that took.
  int64_t FirstByteUs() {
    const int64_t t0 = clock.NowUs();
    uint32_t n = 0;
    EXPECT_EQ(bus.Write(h, kToken1.data(), 2, &n), FT_OK);
    uint8_t bytes[2] = {};
    EXPECT_EQ(bus.Read(h, bytes, 1, &n), FT_OK);
    EXPECT_EQ(n, 1u);
    const int64_t took = clock.NowUs() - t0;
    EXPECT_EQ(bus.Read(h, bytes + 1, 1, &n), FT_OK);  // already there: no wait
    EXPECT_EQ(clock.NowUs() - t0, took);
    return took;
  }
};

TEST(SimLatencyTimer, FollowsTheHostsSettingPerOpenHandle) {
  TTokenRig rig;
  rig.Open();
  // The answer's first byte waits for the timer after its last one.
  const int64_t wire = 2 * kByteUs + kProcessingUs + 2 * kByteUs;
  EXPECT_EQ(rig.FirstByteUs(), wire + 16000);
  ASSERT_EQ(rig.bus.SetLatencyTimer(rig.h, 2), FT_OK);
  EXPECT_EQ(rig.FirstByteUs(), wire + 2000);
  ASSERT_EQ(rig.bus.SetLatencyTimer(rig.h, 255), FT_OK);
  EXPECT_EQ(rig.FirstByteUs(), wire + 255000);
  EXPECT_EQ(rig.bus.SetLatencyTimer(rig.h, 0), FT_INVALID_PARAMETER);
  EXPECT_EQ(rig.FirstByteUs(), wire + 255000);

  // A new handle starts at the converter's own timer again.
  ASSERT_EQ(rig.bus.SetLatencyTimer(rig.h, 1), FT_OK);
  ASSERT_EQ(rig.bus.Close(rig.h), FT_OK);
  rig.Open();
  EXPECT_EQ(rig.FirstByteUs(), wire + 16000);
  EXPECT_EQ(rig.bus.CallCount(TD2xxCall::SetLatencyTimer), 4u);
  EXPECT_EQ(rig.bus.SetLatencyTimer(reinterpret_cast<FT_HANDLE>(uintptr_t{1}), 2), FT_INVALID_HANDLE);
}

// The line towards the host alone: bytes reaching the converter every
// millisecond, with a 16 ms timer.
struct TLineRig {
  TSimFaultModel faults;
  TSimLine line;
  static constexpr int64_t kTimerUs = 16000;

  // `count` bytes, the first arriving at `firstUs` + 1 ms, one a millisecond.
  void Arrive(size_t count, int64_t firstUs) {
    const std::vector<uint8_t> bytes(count, 0x55);
    line.Send(bytes.data(), count, firstUs, 1000, true, faults, TSimDirection::ToHost);
  }
  size_t Readable(int64_t nowUs) { return line.HandedOver(nowUs, kTimerUs, SIZE_MAX); }
};

TEST(SimLatencyTimer, AFullPacketGoesAtOnceAndTheRestWhenTheTimerRunsOut) {
  TLineRig rig;
  rig.Arrive(70, 0);  // at 1, 2, ... 70 ms
  EXPECT_EQ(rig.Readable(61999), 0u);
  EXPECT_EQ(rig.line.NextHandOverUs(61999, TLineRig::kTimerUs), 62000);
  EXPECT_EQ(rig.Readable(62000), kConverterPacketBytes);  // the 62nd byte completes a packet
  EXPECT_EQ(rig.line.NextHandOverUs(62000, TLineRig::kTimerUs), 63000);
  // What was handed over stays readable while the host takes part of it.
  uint8_t out[70];
  rig.line.Take(out, 10);
  EXPECT_EQ(rig.Readable(70000), 52u);
  EXPECT_EQ(rig.line.NextHandOverUs(70000, TLineRig::kTimerUs), 86000);
  EXPECT_EQ(rig.Readable(85999), 52u);
  EXPECT_EQ(rig.Readable(86000), 60u);
  rig.line.Take(out, 60);
  EXPECT_EQ(rig.line.NextHandOverUs(86000, TLineRig::kTimerUs), std::nullopt);
}

TEST(SimLatencyTimer, AByteBeforeTheTimerRunsOutHoldsTheEarlierOnesBack) {
  TLineRig rig;
  rig.Arrive(3, 0);      // at 1, 2, 3 ms
  rig.Arrive(1, 18000);  // at 19 ms: 16 ms after the third, too late to hold it
  rig.Arrive(1, 33000);  // at 34 ms, 1 ms before the timer of the fourth runs out
  EXPECT_EQ(rig.Readable(18999), 0u);
  EXPECT_EQ(rig.Readable(19000), 3u);
  EXPECT_EQ(rig.Readable(34999), 3u);
  EXPECT_EQ(rig.Readable(35000), 3u);
  EXPECT_EQ(rig.line.NextHandOverUs(35000, TLineRig::kTimerUs), 50000);
  EXPECT_EQ(rig.Readable(50000), 5u);
}

}  // namespace
}  // namespace snimac::sim
