// TPtyReaderHost: a byte model behind a real pty, reached through the tty D2XX
// port as the link would reach a reader.
#include "platform/posix/pty_reader_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>
#include <thread>
#include <vector>

#include "platform/posix/tty_d2xx.h"

namespace snimac {
namespace {

using Clock = std::chrono::steady_clock;

// A model that answers every byte b with b + 1. Touched only by the host's
// thread while it runs.
struct TIncrementer {
  std::vector<uint8_t> seen;
  std::vector<uint8_t> out;
  void OnByte(uint8_t b) {
    seen.push_back(b);
    out.push_back(static_cast<uint8_t>(b + 1));
  }
  std::vector<uint8_t> TakeOutput() { return std::exchange(out, {}); }
};

class PosixPtyReaderHost : public ::testing::Test {
 protected:
  PosixPtyReaderHost()
      : host_([this](uint8_t b) { model_.OnByte(b); }, [this] { return model_.TakeOutput(); }),
        port_([this] { return std::vector<TTtyDevice>{{host_.SlavePath(), "Simulated reader", "SIM1"}}; }) {}
  ~PosixPtyReaderHost() override { StopHost(); }

  void StartHost() {
    runner_ = std::thread([this] { host_.Run(); });
  }
  void StopHost() {
    host_.Stop();
    if (runner_.joinable()) runner_.join();
  }
  FT_HANDLE Open() {
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(port_.OpenEx(const_cast<char*>("SIM1"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
    EXPECT_EQ(port_.SetBaudRate(handle, 9600), FT_OK);
    EXPECT_EQ(port_.SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
    EXPECT_EQ(port_.SetFlowControl(handle, FT_FLOW_NONE, 0, 0), FT_OK);
    EXPECT_EQ(port_.SetTimeouts(handle, 2000, 100), FT_OK);
    return handle;
  }
  // Writes `bytes` and reads as many back.
  std::vector<uint8_t> Exchange(FT_HANDLE handle, const std::vector<uint8_t>& bytes) {
    uint32_t written = 0;
    EXPECT_EQ(port_.Write(handle, bytes.data(), static_cast<uint32_t>(bytes.size()), &written), FT_OK);
    EXPECT_EQ(written, bytes.size());
    std::vector<uint8_t> back(bytes.size());
    uint32_t got = 0;
    while (got < back.size()) {
      uint32_t received = 0;
      EXPECT_EQ(port_.Read(handle, back.data() + got, static_cast<uint32_t>(back.size() - got), &received), FT_OK);
      if (received == 0) break;
      got += received;
    }
    back.resize(got);
    return back;
  }

  TIncrementer model_;
  TPtyReaderHost host_;
  TTtyD2xx port_;
  std::thread runner_;
};

TEST_F(PosixPtyReaderHost, ReportsASlavePath) {
  EXPECT_EQ(host_.SlavePath().rfind("/dev/pts/", 0), 0u) << host_.SlavePath();
}

TEST_F(PosixPtyReaderHost, BytesGoInAndAnswersComeBackPacedLikeTheWire) {
  StartHost();
  FT_HANDLE handle = Open();
  const std::vector<uint8_t> frame = {0xC0, 0x01, 0x0D, 0x0A, 0x11, 0x13, 0x7F, 0xC1};
  const auto start = Clock::now();
  const std::vector<uint8_t> back = Exchange(handle, frame);
  const auto elapsedUs = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
  ASSERT_EQ(back.size(), frame.size());
  for (size_t i = 0; i < frame.size(); ++i) EXPECT_EQ(back[i], static_cast<uint8_t>(frame[i] + 1)) << i;
  // Processing delay and then one byte time for each further byte, at least.
  const TPtyTiming timing;
  EXPECT_GE(elapsedUs, timing.processingUs + static_cast<int64_t>(frame.size() - 1) * timing.byteUs);
  EXPECT_EQ(port_.Close(handle), FT_OK);
  StopHost();
  EXPECT_EQ(model_.seen, frame);
}

TEST_F(PosixPtyReaderHost, SurvivesTheClientClosingAndReopening) {
  StartHost();
  FT_HANDLE handle = Open();
  EXPECT_EQ(Exchange(handle, {0x10}), std::vector<uint8_t>{0x11});
  EXPECT_EQ(port_.Close(handle), FT_OK);
  handle = Open();
  EXPECT_EQ(Exchange(handle, {0x20, 0x30}), (std::vector<uint8_t>{0x21, 0x31}));
  EXPECT_EQ(port_.Close(handle), FT_OK);
}

TEST_F(PosixPtyReaderHost, StopEndsRunPromptly) {
  StartHost();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto start = Clock::now();
  StopHost();
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 2000);
}

TEST(PosixPtyReaderHostAlone, StopBeforeRunMakesRunReturn) {
  TPtyReaderHost host([](uint8_t) {}, [] { return std::vector<uint8_t>{}; });
  host.Stop();
  host.Run();  // returns at once
  SUCCEED();
}

TEST(PosixPtyReaderHostAlone, OutputWithoutInputIsSentToo) {
  // A model that speaks by itself (e.g. after its own timer): asked while idle.
  int asked = 0;
  TPtyReaderHost host([](uint8_t) {},
                      [&asked] { return ++asked == 3 ? std::vector<uint8_t>{0x55} : std::vector<uint8_t>{}; });
  TTtyD2xx port([&] { return std::vector<TTtyDevice>{{host.SlavePath(), "Sim", "S"}}; });
  FT_HANDLE handle = nullptr;
  ASSERT_EQ(port.OpenEx(const_cast<char*>("S"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
  ASSERT_EQ(port.SetTimeouts(handle, 2000, 100), FT_OK);
  std::thread runner([&] { host.Run(); });
  uint8_t byte = 0;
  uint32_t received = 0;
  EXPECT_EQ(port.Read(handle, &byte, 1, &received), FT_OK);
  host.Stop();
  runner.join();
  EXPECT_EQ(received, 1u);
  EXPECT_EQ(byte, 0x55);
  port.Close(handle);
}

}  // namespace
}  // namespace snimac
