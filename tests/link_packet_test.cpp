#include <gtest/gtest.h>

#include <functional>

#include "link/crc.h"
#include "link/frame_reader.h"
#include "link/packet.h"
#include "tests/support/hex.h"

namespace snimac {
namespace {

using test::Hex;
using test::ToHex;

std::string Frame(const TRawPacket& p) {
  uint8_t out[kFrameBufferSize];
  const int n = EncodeFrame(p, out);
  return ToHex(std::vector<uint8_t>(out, out + n));
}

TEST(Crc, CheckValuesOfBothVariants) {
  const std::string text = "123456789";
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  // CRC-16/X-25 (complemented) and CRC-16/MCRF4XX (plain) share the routine.
  EXPECT_EQ(static_cast<uint16_t>(~Crc16Block(0xFFFF, bytes, text.size())), 0x906E);
  EXPECT_EQ(Crc16Block(0xFFFF, bytes, text.size()), 0x6F91);
  const auto packet = Hex("01 00 01 99 8D");
  EXPECT_EQ(Crc16Block(0xFFFF, packet.data(), packet.size()), kCrcGoodResidue);
}

TEST(Packet, WorkedExamplesOnTheWire) {
  TRawPacket p;
  const uint8_t one = 0x01;
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { BuildToken(p, 1); }, "C0 81"},
      {[&] { BuildResetRequest(p, 1); }, "C0 01 81 1E 83 C1"},
      {[&] { BuildResetAck(p, 1); }, "C0 01 82 85 B1 C1"},
      {[&] { BuildAck(p, 1, 3); }, "C0 01 C3 08 E2 C1"},
      {[&] { BuildData(p, 1, 0, 0, &one, 1); }, "C0 01 00 01 99 8D C1"},
      {[&] { BuildAddressSet(p, 255, -1, 1); }, "C0 7F 83 01 FF FF FF FF 01 D2 88 C1"},
      {[&] { BuildToken(p, 0x40); }, "C0 7D E0"},
      {[&] { BuildToken(p, 0x41); }, "C0 7D E1"},
  };
  for (const auto& [build, wire] : cases) {
    build();
    EXPECT_EQ(Frame(p), wire);
  }
  BuildAddressSet(p, 255, -1, 1);
  EXPECT_EQ(ToHex(std::vector<uint8_t>(p.bytes, p.bytes + p.length)), "7F 83 01 FF FF FF FF 01 D2 88");
}

TEST(Packet, StuffsPayloadAndCrcBytesAndFieldsStayInRange) {
  TRawPacket p;
  const auto payload = Hex("7D C0 C1");
  BuildData(p, 1, 9, 12, payload.data(), 3);  // seq and ack are taken modulo 8
  EXPECT_EQ(p.bytes[1], 0x14);
  uint8_t out[kFrameBufferSize];
  const int n = EncodeFrame(p, out);
  const std::string wire = ToHex(std::vector<uint8_t>(out, out + n));
  EXPECT_EQ(wire.substr(0, 23), "C0 01 14 7D 5D 7D E0 7D");
  // Decoding gives the packet back and its CRC checks out.
  size_t pos = 0;
  std::vector<uint8_t> stream(out, out + n);
  uint8_t buffer[kMaxPacket];
  int length = 0;
  auto reader = [&](uint8_t& b) {
    if (pos == stream.size()) return 0;
    b = stream[pos++];
    return 1;
  };
  ASSERT_EQ(ReadFrameFrom(reader, buffer, length), 7);
  EXPECT_TRUE(PacketCrcOk(buffer, length));
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + length), std::vector<uint8_t>(p.bytes, p.bytes + p.length));

  // A 36-byte packet of bytes that all need stuffing is the largest frame.
  TRawPacket worst;
  for (int i = 0; i < kMaxPacket; ++i) worst.PushByte(0x7D);
  EXPECT_EQ(EncodeFrame(worst, out), 74);
}

// Feeds a byte stream to the frame reader; after the stream, reads time out
// (0), or fail (-1) when `errorAtEnd`.
struct TStreamReader {
  explicit TStreamReader(const std::string& hex, bool errorAtEnd = false) : bytes(Hex(hex)), error(errorAtEnd) {}
  std::vector<uint8_t> bytes;
  size_t pos = 0;
  bool error;
  int Next(std::vector<uint8_t>& frame) {
    uint8_t buffer[kMaxPacket];
    int length = 0;
    const int r = ReadFrameFrom(
        [this](uint8_t& b) {
          if (pos == bytes.size()) return error ? -1 : 0;
          b = bytes[pos++];
          return 1;
        },
        buffer, length);
    frame.assign(buffer, buffer + (r > 0 ? length : 0));
    return r;
  }
};

TEST(FrameReader, FindsFramesInNoisyStreams) {
  struct TCase {
    const char* name;
    std::string stream;
    std::vector<std::string> frames;  // expected frames in order; then a time-out
  };
  std::string overlong = "C0";
  for (int i = 0; i < 37; ++i) overlong += " 11";
  overlong += " C1";
  const std::vector<TCase> cases = {
      {"noise before a frame is skipped", "00 55 C1 7D C0 01 82 85 B1 C1", {"01 82 85 B1"}},
      {"token ends at once; garbage after it is hunted over", "C0 81 12 34 C1 C0 01 C3 08 E2 C1",
       {"81", "01 C3 08 E2"}},
      {"stuffed token addresses", "C0 7D E0 C0 7D E1", {"C0", "C1"}},
      {"escape escape counts once; escape before end ends the frame", "C0 01 7D 7D 5D 7D C1", {"01 7D"}},
      {"start byte inside a frame is data", "C0 01 C0 02 C1", {"01 C0 02"}},
      {"over-long frame is dropped and ends the read; the next read finds the next frame",
       overlong + " C0 01 82 85 B1 C1",
       {"", "01 82 85 B1"}},
      {"empty frame", "C0 C1 C0 81", {"", "81"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TStreamReader reader(c.stream);
    std::vector<uint8_t> frame;
    for (const auto& expected : c.frames) {
      const int r = reader.Next(frame);
      if (expected.empty()) {
        // An empty or dropped frame gives 0, which the caller sees as nothing received.
        EXPECT_EQ(r, 0);
        continue;
      }
      ASSERT_GT(r, 0);
      EXPECT_EQ(ToHex(frame), expected);
    }
    EXPECT_EQ(reader.Next(frame), 0);
  }
}

TEST(FrameReader, MaximalFrameFitsAndCutOffOrErrorIsReported) {
  std::string full = "C0";
  for (int i = 0; i < kMaxPacket; ++i) full += " 22";
  TStreamReader reader(full + " C1");
  std::vector<uint8_t> frame;
  EXPECT_EQ(reader.Next(frame), kMaxPacket);

  TStreamReader cut("C0 01 00");
  EXPECT_EQ(cut.Next(frame), 0);
  TStreamReader broken("C0 01 00", true);
  EXPECT_EQ(broken.Next(frame), -1);
  TStreamReader idle("", true);
  EXPECT_EQ(idle.Next(frame), -1);
}

}  // namespace
}  // namespace snimac
