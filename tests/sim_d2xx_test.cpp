// The simulated FTDI bus (sim/sim_d2xx.*): D2XX semantics, wire timing on the
// virtual clock, faults. The master is not involved: the tests write and read
// hand-made frames.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "link/crc.h"
#include "sim/sim_d2xx.h"
#include "sim/virtual_clock.h"

namespace snimac::sim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int64_t kByteUs = 1042;  // 10 bits at 9600 baud, rounded
const Bytes kAssignAnyTo1 = {0xC0, 0x7F, 0x83, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0xD2, 0x88, 0xC1};
const Bytes kToken1 = {0xC0, 0x81};

struct Bus {
  TVirtualClock clock;
  TSimD2xx d2xx{clock};
  FT_HANDLE h = nullptr;

  FT_HANDLE Open(const char* serial = "A1B2") {
    EXPECT_EQ(d2xx.OpenEx(const_cast<char*>(serial), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
    EXPECT_EQ(d2xx.SetBaudRate(h, 9600), FT_OK);
    EXPECT_EQ(d2xx.SetDataCharacteristics(h, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
    EXPECT_EQ(d2xx.SetFlowControl(h, FT_FLOW_NONE, 0, 0), FT_OK);
    EXPECT_EQ(d2xx.SetTimeouts(h, 100, 100), FT_OK);
    return h;
  }
  void Write(const Bytes& b) {
    uint32_t written = 0;
    ASSERT_EQ(d2xx.Write(h, b.data(), static_cast<uint32_t>(b.size()), &written), FT_OK);
    ASSERT_EQ(written, b.size());
  }
  Bytes Read(uint32_t n) {
    Bytes b(n);
    uint32_t got = 0;
    EXPECT_EQ(d2xx.Read(h, b.data(), n, &got), FT_OK);
    b.resize(got);
    return b;
  }
  // Reads frames byte by byte, as the master does, until the reader's token
  // (0xC0 then a byte with bit 7 set) or a time-out.
  Bytes ReadAnswer() {
    Bytes all;
    for (;;) {
      Bytes b = Read(1);
      if (b.empty()) return all;
      all.push_back(b[0]);
      const size_t n = all.size();
      if (n >= 2 && all[n - 2] == 0xC0 && (all[n - 1] & 0x80) && all[n - 1] != 0xC1) return all;
    }
  }
};

TEST(SimD2xx, ListsDevicesInOrder) {
  Bus bus;
  bus.d2xx.AddDevice("USB Reader", "A1B2");
  bus.d2xx.AddDevice("EVID reader", "C3D4");
  uint32_t count = 0;
  ASSERT_EQ(bus.d2xx.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, 2u);
  char buf[kFtStringSize];
  ASSERT_EQ(bus.d2xx.ListDevices(reinterpret_cast<void*>(uintptr_t{1}), buf, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);
  EXPECT_STREQ(buf, "EVID reader");
  ASSERT_EQ(bus.d2xx.ListDevices(reinterpret_cast<void*>(uintptr_t{0}), buf, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
  EXPECT_STREQ(buf, "A1B2");
  EXPECT_EQ(bus.d2xx.ListDevices(reinterpret_cast<void*>(uintptr_t{2}), buf, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER),
            FT_DEVICE_NOT_FOUND);
}

TEST(SimD2xx, HandlesAndStatusCodes) {
  Bus bus;
  bus.d2xx.AddDevice("USB Reader", "A1B2");
  FT_HANDLE h = nullptr;
  EXPECT_EQ(bus.d2xx.OpenEx(const_cast<char*>("nope"), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(bus.d2xx.OpenEx(const_cast<char*>(""), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
  ASSERT_EQ(bus.d2xx.OpenEx(const_cast<char*>("A1B2"), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
  FT_HANDLE h2 = nullptr;
  EXPECT_EQ(bus.d2xx.OpenEx(const_cast<char*>("A1B2"), FT_OPEN_BY_SERIAL_NUMBER, &h2), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(bus.d2xx.SetBaudRate(h, 0), FT_INVALID_BAUD_RATE);
  EXPECT_EQ(bus.d2xx.SetTimeouts(nullptr, 100, 100), FT_INVALID_HANDLE);
  EXPECT_EQ(bus.d2xx.SetTimeouts(reinterpret_cast<FT_HANDLE>(uintptr_t{0x1234}), 100, 100), FT_INVALID_HANDLE);
  EXPECT_EQ(bus.d2xx.Close(h), FT_OK);
  uint8_t b = 0;
  uint32_t n = 0;
  EXPECT_EQ(bus.d2xx.Read(h, &b, 1, &n), FT_INVALID_HANDLE);
  EXPECT_EQ(bus.d2xx.Close(h), FT_INVALID_HANDLE);
}

TEST(SimD2xx, TokenAnswerTakesWireTimeLatencyAndProcessing) {
  Bus bus;
  TSimReaderConfig config;
  config.address = 1;  // addressed from power-on
  bus.d2xx.AddDevice("USB Reader", "A1B2", config);
  bus.Open();
  const int64_t t0 = bus.clock.NowUs();
  bus.Write(kToken1);
  EXPECT_EQ(bus.clock.NowUs(), t0);  // Write returns at once
  EXPECT_EQ(bus.Read(2), kToken1);
  // 2 bytes out, 2 ms processing, 2 bytes back, 16 ms latency.
  EXPECT_EQ(bus.clock.NowUs() - t0, 2 * kByteUs + 2000 + 2 * kByteUs + 16000);
}

TEST(SimD2xx, AddressAssignmentAndTokenOverTheWire) {
  Bus bus;
  TSimReader& reader = bus.d2xx.AddDevice("USB Reader", "A1B2");
  bus.Open();
  const int64_t t0 = bus.clock.NowUs();
  bus.Write(kAssignAnyTo1);
  bus.Write(kToken1);
  EXPECT_EQ(bus.ReadAnswer(), kToken1);
  EXPECT_EQ(reader.Address(), 1);
  EXPECT_EQ(bus.clock.NowUs() - t0, 14 * kByteUs + 2000 + 2 * kByteUs + 16000);
}

TEST(SimD2xx, ReadTimesOutWhenTheReaderIsSilent) {
  Bus bus;
  TSimReaderConfig config;
  config.address = 1;
  bus.d2xx.AddDevice("USB Reader", "A1B2", config);
  bus.Open();
  ASSERT_TRUE(bus.d2xx.SetSilent("A1B2", true));
  const int64_t t0 = bus.clock.NowUs();
  bus.Write(kToken1);
  EXPECT_TRUE(bus.Read(1).empty());
  EXPECT_EQ(bus.clock.NowUs() - t0, 100000);
  bus.d2xx.SetSilent("A1B2", false);
  bus.Write(kToken1);
  EXPECT_EQ(bus.Read(2), kToken1);
}

TEST(SimD2xx, PartialReadAfterTheTimeout) {
  Bus bus;
  TSimReaderConfig config;
  config.address = 1;
  bus.d2xx.AddDevice("USB Reader", "A1B2", config);
  bus.Open();
  const int64_t t0 = bus.clock.NowUs();
  bus.Write(kToken1);
  EXPECT_EQ(bus.Read(10), kToken1);  // only 2 come
  EXPECT_EQ(bus.clock.NowUs() - t0, 100000);
}

TEST(SimD2xx, UnplugAndReplug) {
  Bus bus;
  TSimReader& reader = bus.d2xx.AddDevice("USB Reader", "A1B2");
  bus.Open();
  bus.Write(kAssignAnyTo1);
  bus.Write(kToken1);
  ASSERT_EQ(bus.ReadAnswer(), kToken1);
  ASSERT_TRUE(bus.d2xx.Unplug("A1B2"));
  uint8_t b[2] = {0xC0, 0x81};
  uint32_t n = 0;
  EXPECT_EQ(bus.d2xx.Write(bus.h, b, 2, &n), FT_IO_ERROR);
  EXPECT_EQ(bus.d2xx.Read(bus.h, b, 1, &n), FT_IO_ERROR);
  EXPECT_EQ(bus.d2xx.SetTimeouts(bus.h, 100, 100), FT_IO_ERROR);
  uint32_t count = 9;
  EXPECT_EQ(bus.d2xx.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, 0u);
  FT_HANDLE h = nullptr;
  EXPECT_EQ(bus.d2xx.OpenEx(const_cast<char*>("A1B2"), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(bus.d2xx.Close(bus.h), FT_OK);
  ASSERT_TRUE(bus.d2xx.Replug("A1B2"));
  EXPECT_EQ(reader.Address(), 0);  // power-cycled
  bus.Open();
  bus.Write(kToken1);
  EXPECT_TRUE(bus.ReadAnswer().empty());  // no address any more
  bus.Write(kAssignAnyTo1);
  bus.Write(kToken1);
  EXPECT_EQ(bus.ReadAnswer(), kToken1);
}

TEST(SimD2xx, UnplugDuringAReadEndsItWithIoError) {
  Bus bus;
  bus.d2xx.AddDevice("USB Reader", "A1B2");
  bus.Open();
  std::atomic<bool> done{false};
  std::thread unplugger([&] {
    while (bus.clock.NowUs() < 50000) std::this_thread::yield();
    bus.d2xx.Unplug("A1B2");
    done = true;
  });
  uint8_t b = 0;
  uint32_t n = 0;
  ASSERT_EQ(bus.d2xx.SetTimeouts(bus.h, 0, 100), FT_OK);  // wait without limit
  EXPECT_EQ(bus.d2xx.Read(bus.h, &b, 1, &n), FT_IO_ERROR);
  unplugger.join();
  EXPECT_TRUE(done);
}

TEST(SimD2xx, ForcedFailuresAndShortWrites) {
  Bus bus;
  bus.d2xx.AddDevice("USB Reader", "A1B2");
  FT_HANDLE h = nullptr;
  ASSERT_EQ(bus.d2xx.OpenEx(const_cast<char*>("A1B2"), FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
  bus.d2xx.FailCall(TD2xxCall::SetFlowControl, FT_IO_ERROR, 1);
  EXPECT_EQ(bus.d2xx.SetFlowControl(h, FT_FLOW_NONE, 0, 0), FT_IO_ERROR);
  EXPECT_EQ(bus.d2xx.SetFlowControl(h, FT_FLOW_NONE, 0, 0), FT_OK);
  bus.d2xx.FailCall(TD2xxCall::ListDevices, FT_OTHER_ERROR);
  uint32_t count = 0;
  EXPECT_EQ(bus.d2xx.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OTHER_ERROR);
  EXPECT_EQ(bus.d2xx.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OTHER_ERROR);
  bus.d2xx.ClearFailures();
  EXPECT_EQ(bus.d2xx.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  bus.d2xx.ShortWrite(3);
  uint8_t frame[6] = {0xC0, 0x01, 0x81, 0x1E, 0x83, 0xC1};
  uint32_t written = 0;
  EXPECT_EQ(bus.d2xx.Write(h, frame, 6, &written), FT_OK);
  EXPECT_EQ(written, 3u);
  EXPECT_EQ(bus.d2xx.BytesToReader("A1B2"), 3u);
  EXPECT_EQ(bus.d2xx.Write(h, frame, 6, &written), FT_OK);
  EXPECT_EQ(written, 6u);
}

TEST(SimD2xx, RecordsCalls) {
  Bus bus;
  bus.d2xx.AddDevice("USB Reader", "A1B2");
  bus.d2xx.SetRecording(true);
  bus.Open();
  bus.Write(kToken1);
  const auto calls = bus.d2xx.Calls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[0].call, TD2xxCall::OpenEx);
  EXPECT_EQ(calls[0].detail, "A1B2");
  EXPECT_STREQ(D2xxCallName(calls[3].call), "FT_SetFlowControl");
  EXPECT_EQ(calls[4].detail, "100,100");
  EXPECT_EQ(calls[5].detail, "C0 81");
  EXPECT_EQ(bus.d2xx.CallCount(TD2xxCall::SetBaudRate), 1u);
}

TEST(SimD2xx, WrongBaudRateLosesEverything) {
  Bus bus;
  TSimReaderConfig config;
  config.address = 1;
  bus.d2xx.AddDevice("USB Reader", "A1B2", config);
  bus.Open();
  ASSERT_EQ(bus.d2xx.SetBaudRate(bus.h, 19200), FT_OK);
  bus.Write(kToken1);
  EXPECT_TRUE(bus.Read(2).empty());
}

// Runs `turns` token turns against an addressed reader under faults and
// returns everything read.
Bytes FaultyRun(uint32_t seed, int turns, TSimFaultCounts* counts) {
  Bus bus;
  TSimReaderConfig config;
  config.address = 1;
  bus.d2xx.AddDevice("USB Reader", "A1B2", config);
  bus.Open();
  bus.d2xx.SetSeed(seed);
  bus.d2xx.SetFaults({0.02, 0.02, 0.02});
  Bytes all;
  for (int i = 0; i < turns; ++i) {
    bus.Write(kToken1);
    const Bytes answer = bus.ReadAnswer();
    all.insert(all.end(), answer.begin(), answer.end());
  }
  *counts = bus.d2xx.FaultCounts();
  return all;
}

TEST(SimD2xx, SeededFaultsAreDeterministic) {
  TSimFaultCounts a, b, c;
  const Bytes runA = FaultyRun(7, 500, &a);
  const Bytes runB = FaultyRun(7, 500, &b);
  const Bytes runC = FaultyRun(8, 500, &c);
  EXPECT_EQ(runA, runB);
  EXPECT_EQ(a.lost, b.lost);
  EXPECT_EQ(a.flipped, b.flipped);
  EXPECT_EQ(a.duplicated, b.duplicated);
  EXPECT_GT(a.lost + a.flipped + a.duplicated, 0u);
  EXPECT_NE(runA, runC);
}

TEST(SimD2xx, FaultsInOneDirectionOnly) {
  Bus bus;
  TSimReaderConfig config;
  config.address = 1;
  TSimReader& reader = bus.d2xx.AddDevice("USB Reader", "A1B2", config);
  bus.Open();
  bus.d2xx.SetFaults({1.0, 0, 0}, TSimDirection::ToHost);  // every answer byte lost
  bus.Write(kToken1);
  EXPECT_TRUE(bus.ReadAnswer().empty());
  EXPECT_EQ(reader.Stats().tokensAnswered, 1u);  // the reader did hear it
}

// Thousands of poll-like turns (each a data frame from the reader, an
// acknowledgement and a token) on the virtual clock: cheap in real time.
TEST(SimD2xx, ThousandsOfTurnsRunFast) {
  Bus bus;
  TSimReader& reader = bus.d2xx.AddDevice("USB Reader", "A1B2");
  bus.Open();
  bus.Write(kAssignAnyTo1);
  bus.Write(kToken1);
  ASSERT_EQ(bus.ReadAnswer(), kToken1);
  bus.Write({0xC0, 0x01, 0x81, 0x1E, 0x83, 0xC1});
  bus.Write(kToken1);
  ASSERT_EQ(bus.ReadAnswer(), (Bytes{0xC0, 0x01, 0x82, 0x85, 0xB1, 0xC1, 0xC0, 0x81}));
  const int kTurns = 5000;
  int ack = 0;
  for (int i = 0; i < kTurns; ++i) {
    reader.SendAppMessage({0x90, static_cast<uint8_t>(i)});
    bus.Write(kToken1);
    const Bytes answer = bus.ReadAnswer();
    ASSERT_GE(answer.size(), 10u) << i;  // one data frame and the token
    ASSERT_EQ(Bytes(answer.end() - 2, answer.end()), kToken1) << i;
    ack = (ack + 1) & 7;
    Bytes p{0x01, static_cast<uint8_t>(0xC0 | ack)};
    const uint16_t crc = static_cast<uint16_t>(~Crc16Block(0xFFFF, p.data(), p.size()));
    Bytes f{0xC0, 0x01, p[1]};
    for (uint8_t x : {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)}) {
      if (x == 0xC0 || x == 0xC1 || x == 0x7D) {
        f.push_back(0x7D);
        f.push_back(static_cast<uint8_t>(x ^ 0x20));
      } else {
        f.push_back(x);
      }
    }
    f.push_back(0xC1);
    bus.Write(f);
  }
  EXPECT_EQ(reader.Stats().dataSent, static_cast<uint64_t>(kTurns));
  EXPECT_EQ(reader.Stats().dataResent, 0u);
  EXPECT_GT(bus.clock.NowUs(), int64_t{kTurns} * 20000);
}

// PresentCard from another thread while the link side reads.
TEST(SimD2xx, CardsFromAnotherThread) {
  Bus bus;
  TSimReaderConfig config;
  config.address = 1;
  TSimReader& reader = bus.d2xx.AddDevice("USB Reader", "A1B2", config);
  bus.Open();
  bus.Write({0xC0, 0x01, 0x81, 0x1E, 0x83, 0xC1});
  std::thread presenter([&] {
    for (int i = 0; i < 50; ++i) {
      reader.PresentCard(0x01, {static_cast<uint8_t>(i)});
      std::this_thread::yield();
    }
  });
  for (int i = 0; i < 200; ++i) {
    bus.Write(kToken1);
    bus.ReadAnswer();
  }
  presenter.join();
  EXPECT_GT(reader.Stats().tokensAnswered, 0u);
}

}  // namespace
}  // namespace snimac::sim
