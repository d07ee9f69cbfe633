// The simulated reader (sim/sim_reader.*) against hand-written wire bytes.
// Packets are framed and parsed by sim/sim_wire_frames.* (CRC from link/crc.h
// only), so that these tests do not lean on the master's packet code.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sim/sim_reader.h"
#include "sim/sim_wire_frames.h"

namespace snimac::sim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(Bytes packet) { return FramePacket(std::move(packet)); }
Bytes Token(uint8_t address) { return FrameToken(address); }

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Decoded packets of an answer (CRC checked and stripped; tokens as 1 byte).
std::vector<Bytes> Parse(const Bytes& wire) {
  TWireFrames frames = SplitFrames(wire);
  EXPECT_EQ(frames.error, "");
  return frames.packets;
}

const Bytes kAssignAnyTo1 = {0xC0, 0x7F, 0x83, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0xD2, 0x88, 0xC1};
const Bytes kResetRequest1 = {0xC0, 0x01, 0x81, 0x1E, 0x83, 0xC1};
const Bytes kResetAck1 = {0xC0, 0x01, 0x82, 0x85, 0xB1, 0xC1};
const Bytes kToken1 = {0xC0, 0x81};

// Addressed at 1 and through the master's reset handshake.
void Bring_up(TSimReader& r) {
  r.OnBytes(Cat({kAssignAnyTo1, kToken1}));
  ASSERT_EQ(r.TakeOutput(), kToken1);
  r.OnBytes(Cat({kResetRequest1, kToken1}));
  ASSERT_EQ(r.TakeOutput(), Cat({kResetAck1, kToken1}));
  ASSERT_TRUE(r.LinkUp());
}

Bytes Data(int seq, int ack, const Bytes& payload) {
  Bytes p;
  p.push_back(0x01);
  p.push_back(static_cast<uint8_t>((seq << 4) | ack));
  for (uint8_t b : payload) p.push_back(b);
  return p;
}

TEST(SimReader, SilentWithoutAddress) {
  TSimReader r;
  r.OnBytes(kToken1);
  EXPECT_TRUE(r.TakeOutput().empty());
  EXPECT_EQ(r.Address(), 0);
  EXPECT_EQ(r.Stats().tokensReceived, 1u);
  EXPECT_EQ(r.Stats().tokensAnswered, 0u);
}

TEST(SimReader, AddressAssignmentToAnyDeviceThenToken) {
  TSimReader r;
  r.OnBytes(kAssignAnyTo1);
  EXPECT_EQ(r.Address(), 1);
  EXPECT_TRUE(r.TakeOutput().empty());  // no answer without a token
  r.OnBytes(kToken1);
  EXPECT_EQ(r.TakeOutput(), kToken1);
  // A token for another address gets nothing.
  r.OnBytes(Token(2));
  EXPECT_TRUE(r.TakeOutput().empty());
}

TEST(SimReader, AddressAssignmentMatchesIdentity) {
  TSimReader r;  // identity 0x00012345
  r.OnBytes(Frame({0x7F, 0x83, 0x01, 0x00, 0x01, 0x23, 0x46, 0x05}));
  EXPECT_EQ(r.Address(), 0);
  EXPECT_EQ(r.Stats().addressRefused, 1u);
  r.OnBytes(Frame({0x7F, 0x83, 0x01, 0x00, 0x01, 0x23, 0x45, 0x05}));
  EXPECT_EQ(r.Address(), 5);
  r.OnBytes(Token(5));
  EXPECT_EQ(r.TakeOutput(), Token(5));
}

TEST(SimReader, StuffedTokenForAddress0x40) {
  TSimReader r;
  r.OnBytes(Frame({0x7F, 0x83, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x40}));
  ASSERT_EQ(r.Address(), 0x40);
  r.OnBytes({0xC0, 0x7D, 0xE0});
  EXPECT_EQ(r.TakeOutput(), (Bytes{0xC0, 0x7D, 0xE0}));
}

TEST(SimReader, BadCrcIsIgnored) {
  TSimReader r;
  Bytes bad = kAssignAnyTo1;
  bad[9] ^= 0x01;
  r.OnBytes(Cat({bad, kToken1}));
  EXPECT_EQ(r.Address(), 0);
  EXPECT_TRUE(r.TakeOutput().empty());
  EXPECT_EQ(r.Stats().badCrcFrames, 1u);
}

TEST(SimReader, NoiseAndCutFramesAreSkipped) {
  TSimReader r;
  // Noise, a frame cut by a new start byte, then the good frame.
  r.OnBytes(Cat({{0x55, 0xAA, 0xC1}, {0xC0, 0x7F, 0x83}, kAssignAnyTo1, kToken1}));
  EXPECT_EQ(r.Address(), 1);
  EXPECT_EQ(r.TakeOutput(), kToken1);
  EXPECT_EQ(r.Stats().malformedFrames, 1u);
}

TEST(SimReader, OverlongFrameIsDropped) {
  TSimReader r;
  Bytes p{0x7F, 0x83, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x01};
  p.resize(40, 0x11);
  r.OnBytes(Frame(p));
  EXPECT_EQ(r.Address(), 0);
  EXPECT_EQ(r.Stats().malformedFrames, 1u);
}

TEST(SimReader, MasterResetIsAnsweredWithResetAck) {
  TSimReader r;
  r.OnBytes(Cat({kAssignAnyTo1, kToken1}));
  EXPECT_EQ(r.TakeOutput(), kToken1);
  EXPECT_FALSE(r.Synced());
  r.OnBytes(Cat({kResetRequest1, kToken1}));
  EXPECT_EQ(r.TakeOutput(), Cat({kResetAck1, kToken1}));
  EXPECT_TRUE(r.Synced());
  EXPECT_EQ(r.SendSeq(), 0);
  EXPECT_EQ(r.RecvSeq(), 0);
}

TEST(SimReader, OwnResetRequestRepeatsUntilMasterAcks) {
  TSimReader r;
  Bring_up(r);
  r.RequestReset();
  EXPECT_FALSE(r.LinkUp());
  r.OnBytes(kToken1);
  EXPECT_EQ(r.TakeOutput(), Cat({kResetRequest1, kToken1}));
  r.OnBytes(kToken1);
  EXPECT_EQ(r.TakeOutput(), Cat({kResetRequest1, kToken1}));
  r.OnBytes(Cat({kResetAck1, kToken1}));
  EXPECT_EQ(r.TakeOutput(), kToken1);
  EXPECT_TRUE(r.LinkUp());
  EXPECT_EQ(r.Stats().resetRequestsSent, 2u);
}

TEST(SimReader, DataWaitsForTheResetHandshake) {
  TSimReader r;
  r.PresentCard(0x01, {0x04, 0xA1});
  r.OnBytes(Cat({kAssignAnyTo1, kToken1}));
  EXPECT_EQ(r.TakeOutput(), kToken1);
  r.OnBytes(Cat({kResetRequest1, kToken1}));
  const auto packets = Parse(r.TakeOutput());
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[0], (Bytes{0x01, 0x82}));
  EXPECT_EQ(packets[1], (Bytes{0x01, 0x00, 0x83, 0x01, 0x04, 0xA1}));
  EXPECT_EQ(packets[2], (Bytes{0x81}));
}

TEST(SimReader, CardEventIsANumberedPacket) {
  TSimReader r;
  Bring_up(r);
  r.PresentCard(0x81, {0x04, 0xA1, 0xB2, 0xC3});
  r.OnBytes(kToken1);
  EXPECT_EQ(r.TakeOutput(), Cat({Frame({0x01, 0x00, 0x83, 0x81, 0x04, 0xA1, 0xB2, 0xC3}), kToken1}));
  EXPECT_EQ(r.UnackedCount(), 1u);
  r.OnBytes(Frame({0x01, 0xC1}));  // master's ACK 1
  EXPECT_EQ(r.UnackedCount(), 0u);
  EXPECT_EQ(r.SendSeq(), 1);
}

TEST(SimReader, VersionRequestIsAnsweredInFragments) {
  TSimReader r;
  Bring_up(r);
  r.OnBytes(Cat({Frame(Data(0, 0, {0x0A})), kToken1}));
  const auto packets = Parse(r.TakeOutput());
  ASSERT_EQ(packets.size(), 5u);  // 25 characters: 8, 8, 8, 1
  const char* texts[] = {"MXT_A FW", " v4.0 Se", "p  1 201", "1"};
  for (int i = 0; i < 4; ++i) {
    Bytes expect = Data(i, 1, {0x85, static_cast<uint8_t>(i)});
    expect.insert(expect.end(), texts[i], texts[i] + std::string(texts[i]).size());
    EXPECT_EQ(packets[static_cast<size_t>(i)], expect) << i;
  }
  EXPECT_EQ(packets[4], (Bytes{0x81}));
  EXPECT_EQ(r.ReceivedMessages(), (std::vector<Bytes>{{0x0A}}));
}

TEST(SimReader, VersionOfEightCharactersEndsWithAnEmptyFragment) {
  TSimReaderConfig config;
  config.version = "ABCDEFGH12345678";
  TSimReader r(config);
  Bring_up(r);
  r.OnBytes(Cat({Frame(Data(0, 0, {0x0A})), kToken1}));
  const auto packets = Parse(r.TakeOutput());
  ASSERT_EQ(packets.size(), 4u);
  EXPECT_EQ(packets[2], (Bytes{0x01, 0x21, 0x85, 0x02}));
  EXPECT_EQ(packets[3], (Bytes{0x81}));
}

TEST(SimReader, MasterDataIsRecordedAndAcknowledged) {
  TSimReader r;
  Bring_up(r);
  r.OnBytes(Cat({Frame(Data(0, 0, {0x03, 0x06, 0x00})), Frame(Data(1, 0, {0x02, 0xFF, 0xFF, 0x00})), kToken1}));
  EXPECT_EQ(r.TakeOutput(), Cat({Frame({0x01, 0xC2}), kToken1}));
  EXPECT_TRUE(r.SignalOn());
  EXPECT_EQ(r.FeedbackCount(), 1);
  // Repeated (SEQ 1 again): not delivered twice, acknowledged again.
  r.OnBytes(Cat({Frame(Data(1, 0, {0x02, 0xFF, 0xFF, 0x00})), kToken1}));
  EXPECT_EQ(r.TakeOutput(), Cat({Frame({0x01, 0xC2}), kToken1}));
  // Out of order (SEQ 5): not delivered, ACK still 2.
  r.OnBytes(Cat({Frame(Data(5, 0, {0x02, 0xFF, 0x00, 0xFF})), kToken1}));
  EXPECT_EQ(r.TakeOutput(), Cat({Frame({0x01, 0xC2}), kToken1}));
  r.OnBytes(Cat({Frame(Data(2, 0, {0x02, 0xFF, 0x00, 0xFF})), kToken1}));
  EXPECT_EQ(r.TakeOutput(), Cat({Frame({0x01, 0xC3}), kToken1}));
  EXPECT_FALSE(r.SignalOn());
  EXPECT_EQ(r.ReceivedMessages(),
            (std::vector<Bytes>{{0x03, 0x06, 0x00}, {0x02, 0xFF, 0xFF, 0x00}, {0x02, 0xFF, 0x00, 0xFF}}));
  const TSimReaderStats s = r.Stats();
  EXPECT_EQ(s.dataDelivered, 3u);
  EXPECT_EQ(s.dataRepeated, 1u);
  EXPECT_EQ(s.dataUnexpected, 1u);
}

TEST(SimReader, WindowOfFourAndGoBackOnAPartialAck) {
  TSimReader r;
  Bring_up(r);
  for (uint8_t i = 0; i < 6; ++i) r.SendAppMessage({0x90, i});
  r.OnBytes(kToken1);
  auto packets = Parse(r.TakeOutput());
  ASSERT_EQ(packets.size(), 5u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(packets[static_cast<size_t>(i)], Data(i, 0, {0x90, static_cast<uint8_t>(i)}));
  EXPECT_EQ(r.QueuedCount(), 2u);
  // The master got SEQ 0 and 1 only: 2 and 3 go again, then 4 and 5.
  r.OnBytes(Cat({Frame({0x01, 0xC2}), kToken1}));
  packets = Parse(r.TakeOutput());
  ASSERT_EQ(packets.size(), 5u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(packets[static_cast<size_t>(i)], Data(i + 2, 0, {0x90, static_cast<uint8_t>(i + 2)}));
  }
  EXPECT_EQ(r.Stats().dataResent, 2u);
  r.OnBytes(Cat({Frame({0x01, 0xC6}), kToken1}));
  EXPECT_EQ(r.TakeOutput(), kToken1);
  EXPECT_EQ(r.UnackedCount(), 0u);
  EXPECT_EQ(r.SendSeq(), 6);
}

TEST(SimReader, UnacknowledgedDataGoesAgainAtTheSecondSilentToken) {
  TSimReader r;
  Bring_up(r);
  r.SendAppMessage({0x90, 0x01});
  r.OnBytes(kToken1);
  EXPECT_EQ(Parse(r.TakeOutput()).size(), 2u);
  r.OnBytes(kToken1);  // the master may poll once before it acknowledges
  EXPECT_EQ(r.TakeOutput(), kToken1);
  r.OnBytes(kToken1);  // still nothing: it was lost
  const auto packets = Parse(r.TakeOutput());
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0], Data(0, 0, {0x90, 0x01}));
}

TEST(SimReader, AckBeyondTheWindowIsIgnored) {
  TSimReader r;
  Bring_up(r);
  r.SendAppMessage({0x90});
  r.OnBytes(kToken1);
  r.TakeOutput();
  r.OnBytes(Frame({0x01, 0xC3}));
  EXPECT_EQ(r.UnackedCount(), 1u);
  EXPECT_EQ(r.Stats().invalidAcks, 1u);
}

TEST(SimReader, UnackedPacketsSurviveAMasterResetRenumbered) {
  TSimReader r;
  Bring_up(r);
  r.SendAppMessage({0x90, 0x01});
  r.SendAppMessage({0x90, 0x02});
  r.OnBytes(Cat({Frame({0x01, 0xC0}), kToken1}));
  r.TakeOutput();
  r.OnBytes(Frame({0x01, 0xC1}));  // first acknowledged, SendSeq 1
  r.OnBytes(Cat({kResetRequest1, kToken1}));
  const auto packets = Parse(r.TakeOutput());
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[0], (Bytes{0x01, 0x82}));
  EXPECT_EQ(packets[1], Data(0, 0, {0x90, 0x02}));
}

TEST(SimReader, AnswerHasAtMostNineFrames) {
  TSimReader r;
  Bring_up(r);
  for (uint8_t i = 0; i < 10; ++i) r.SendUnnumbered(0x07, {i});
  r.SendAppMessage({0x90});
  r.OnBytes(kToken1);
  auto packets = Parse(r.TakeOutput());
  ASSERT_EQ(packets.size(), 9u);
  EXPECT_EQ(packets[0], Data(0, 0, {0x90}));
  EXPECT_EQ(packets[1], (Bytes{0x01, 0x83, 0x07, 0x00}));
  EXPECT_EQ(packets[8], (Bytes{0x81}));
  r.OnBytes(kToken1);
  packets = Parse(r.TakeOutput());
  ASSERT_EQ(packets.size(), 4u);  // the three unnumbered left, token
  EXPECT_EQ(packets[2], (Bytes{0x01, 0x83, 0x07, 0x09}));
}

TEST(SimReader, BlockReadsAnswerFromTheCardRecord) {
  TSimReader r;
  Bring_up(r);
  Bytes blocks(48);
  for (size_t i = 0; i < blocks.size(); ++i) blocks[i] = static_cast<uint8_t>(i);
  r.PresentCard(0x01, {0x04, 0xA1, 0xB2, 0xC3}, blocks);
  r.OnBytes(kToken1);
  r.TakeOutput();
  // BlockOpen: acknowledged, no reply.
  r.OnBytes(Cat({Frame(Data(0, 1, {0x18, 0x04, 0xC0, 0x04})), kToken1}));
  EXPECT_EQ(r.TakeOutput(), Cat({Frame({0x01, 0xC1}), kToken1}));
  EXPECT_EQ(r.BlockOpens(), 1);
  r.OnBytes(Cat({Frame(Data(1, 1, {0x18, 0x06, 0x05})), kToken1}));
  auto packets = Parse(r.TakeOutput());
  ASSERT_EQ(packets.size(), 2u);
  Bytes expect = Data(1, 2, {0x8A, 0x05, 0x00});
  for (uint8_t i = 16; i < 32; ++i) expect.push_back(i);
  EXPECT_EQ(packets[0], expect);
  // A configured failure, then no record at all.
  r.SetBlockFailure(0x02, 1);
  r.OnBytes(Cat({Frame(Data(2, 2, {0x18, 0x06, 0x06})), kToken1}));
  packets = Parse(r.TakeOutput());
  EXPECT_EQ(packets[0], Data(2, 3, {0x8A, 0x06, 0x01, 0x02}));
  r.ClearCardBlocks();
  r.OnBytes(Cat({Frame(Data(3, 3, {0x18, 0x06, 0x06})), kToken1}));
  packets = Parse(r.TakeOutput());
  EXPECT_EQ(packets[0], Data(3, 4, {0x8A, 0x06, 0x01, 0x03}));
}

TEST(SimReader, UnnumberedAndInjectedBytes) {
  TSimReader r;
  Bring_up(r);
  r.InjectRaw({0x55});
  EXPECT_TRUE(r.SendUnnumbered(0x07, {0x01, 0x02}));
  r.OnBytes(kToken1);
  EXPECT_EQ(r.TakeOutput(), Cat({{0x55}, Frame({0x01, 0x83, 0x07, 0x01, 0x02}), kToken1}));
  r.OnBytes(Frame({0x01, 0x83, 0x09, 0xAB}));
  ASSERT_EQ(r.ReceivedUnnumbered().size(), 1u);
  EXPECT_EQ(r.ReceivedUnnumbered()[0].subType, 0x09);
}

TEST(SimReader, PowerCycleForgetsTheAddress) {
  TSimReader r;
  Bring_up(r);
  r.PresentCard(0x01, {0x01});
  r.PowerCycle();
  EXPECT_EQ(r.Address(), 0);
  EXPECT_FALSE(r.Synced());
  EXPECT_EQ(r.QueuedCount(), 0u);
  r.OnBytes(kToken1);
  EXPECT_TRUE(r.TakeOutput().empty());
}

}  // namespace
}  // namespace snimac::sim
