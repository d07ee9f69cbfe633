#include <gtest/gtest.h>

#include "tests/support/hex.h"
#include "tests/support/link_rig.h"

namespace snimac::test {
namespace {

using Writes = std::vector<std::string>;

const std::string kToken = "C0 81";
const std::string kAddressAny = "C0 7F 83 01 FF FF FF FF 01 D2 88 C1";
const std::string kResetRequest = "C0 01 81 1E 83 C1";
const std::string kResetAck = "C0 01 82 85 B1 C1";

TEST(SlaveTurn, TypicalStartWakesOnThirdTurnThenResetsThenCarriesData) {
  TLinkRig rig;
  for (int i = 0; i < 3; ++i) rig.Answer({SlaveToken()});
  EXPECT_EQ(rig.Turn(), (Writes{kAddressAny, kToken}));
  EXPECT_EQ(rig.log.Lines(), (std::vector<std::string>{"S1 Address set to 01", "S1 Reply from slave"}));
  EXPECT_EQ(rig.Turn(), (Writes{kToken}));
  EXPECT_EQ(rig.slave->LinkState, TProtoSlave::Initial);
  EXPECT_EQ(rig.Turn(), (Writes{kToken}));
  EXPECT_EQ(rig.slave->LinkState, TProtoSlave::Alive);
  EXPECT_EQ(rig.slave->PollInterval, 20);
  EXPECT_EQ(rig.Received(), (Writes{"A0"}));
  EXPECT_EQ(rig.log.Count("Slave wakes"), 1);
  EXPECT_EQ(rig.log.Count("Address set to"), 1);

  rig.Answer({SlaveControl(kCtlResetAck), SlaveToken()});
  rig.Queue({0x0A});
  EXPECT_EQ(rig.Turn(), (Writes{kResetRequest, kToken}));
  EXPECT_EQ(rig.log.Count("Slave acknowledged reset"), 1);
  rig.Answer({SlaveToken()});
  EXPECT_EQ(rig.Turn(), (Writes{kToken}));
  rig.Answer({SlaveData(0, 1, {0x85, 0x00, 'M', 'X'}), SlaveToken()});
  EXPECT_EQ(rig.Turn(), (Writes{"C0 01 00 0A 4A 33 C1", kToken}));
  EXPECT_EQ(rig.slave->UnackedCount(), 0u);
  EXPECT_EQ(rig.Received(), (Writes{"85 00 4D 58"}));
  // The data is acknowledged by a lone ACK packet: no token, no liveness change.
  rig.Turn();
  const int score = rig.slave->Score;
  EXPECT_EQ(rig.Turn(), (Writes{"C0 01 7D E1 1A 7D E1 C1"}));
  EXPECT_EQ(rig.slave->Score, score);
  EXPECT_EQ(rig.slave->LinkState, TProtoSlave::Alive);
}

TEST(SlaveTurn, BurstStopsAtWindowOrAtEndsBurst) {
  TLinkRig rig;
  rig.MakeAlive();
  for (int i = 0; i < 6; ++i) rig.Queue({static_cast<uint8_t>(i)}, false);
  Writes w = rig.Turn();
  ASSERT_EQ(w.size(), 5u);  // four data packets and the token
  EXPECT_EQ(w[0].substr(0, 8), "C0 01 00");
  EXPECT_EQ(w[3].substr(0, 8), "C0 01 30");
  EXPECT_EQ(w[4], kToken);
  EXPECT_EQ(rig.slave->UnackedCount(), 4u);

  TLinkRig rig2;
  rig2.MakeAlive();
  rig2.Queue({1}, false);
  rig2.Queue({2}, true);
  rig2.Queue({3}, false);
  EXPECT_EQ(rig2.Turn().size(), 3u);
  EXPECT_EQ(rig2.slave->UnackedCount(), 2u);
}

TEST(SlaveTurn, UnacknowledgedDataIsResentOldestFirstAlone) {
  TLinkRig rig;
  rig.MakeAlive();
  rig.Queue({1}, false);
  rig.Queue({2}, false);
  rig.Turn();  // both out, no answer
  rig.Turn();  // token only
  Writes w = rig.Turn();
  ASSERT_EQ(w.size(), 2u);
  EXPECT_EQ(w[0].substr(0, 11), "C0 01 00 01");
  EXPECT_EQ(w[1], kToken);
}

TEST(AckUpTo, WrapsAroundAndRejectsMoreThanWindow) {
  TLinkRig rig;
  rig.MakeAlive();
  rig.slave->SendSeq = 6;
  for (int i = 0; i < 4; ++i) rig.Queue({static_cast<uint8_t>(i)}, false);
  Writes w = rig.Turn();
  ASSERT_EQ(w.size(), 5u);
  EXPECT_EQ(w[0].substr(0, 8), "C0 01 60");
  EXPECT_EQ(w[1].substr(0, 8), "C0 01 70");
  EXPECT_EQ(w[2].substr(0, 8), "C0 01 00");
  EXPECT_EQ(w[3].substr(0, 8), "C0 01 10");
  std::lock_guard<std::recursive_mutex> guard(rig.link.Lock());
  EXPECT_EQ(rig.slave->AckUpTo(3), -1);
  EXPECT_EQ(rig.log.Count("Slave is acking more than window"), 1);
  EXPECT_EQ(rig.slave->UnackedCount(), 4u);
  EXPECT_EQ(rig.slave->AckUpTo(6), 1);  // equal to SendSeq: nothing released
  EXPECT_EQ(rig.slave->UnackedCount(), 4u);
  EXPECT_EQ(rig.slave->AckUpTo(0), 1);
  EXPECT_EQ(rig.slave->SendSeq, 0);
  EXPECT_EQ(rig.slave->UnackedCount(), 2u);
  EXPECT_EQ(rig.slave->AckUpTo(2), 1);
  EXPECT_EQ(rig.slave->SendSeq, 2);
  EXPECT_EQ(rig.slave->UnackedCount(), 0u);
}

TEST(HandleFrame, SequenceChecksDeliverEachPayloadOnce) {
  TLinkRig rig;
  rig.MakeAlive();
  rig.Queue({9});
  rig.Turn();  // our SEQ 0 is out
  rig.Answer({SlaveData(0, 0, {0x11}), SlaveData(0, 1, {0x11}), SlaveData(3, 1, {0x33}), SlaveToken()});
  rig.Turn();
  EXPECT_EQ(rig.Received(), (Writes{"11"}));
  EXPECT_EQ(rig.slave->RecvSeq, 1);
  EXPECT_EQ(rig.log.Count("Repeated SEQ from slave"), 1);
  EXPECT_EQ(rig.log.Count("Unexpected SEQ from slave"), 1);
  // The repeated packet's ACK still released our packet.
  EXPECT_EQ(rig.slave->UnackedCount(), 0u);
  EXPECT_TRUE(rig.slave->AckPending);
}

TEST(HandleFrame, RejectsForeignAddressesBadControlsAndBadCrc) {
  TLinkRig rig;
  rig.MakeAlive();
  TBytes corrupt = SlaveData(0, 0, {0x42});
  corrupt[corrupt.size() - 2] ^= 0x01;  // a CRC byte
  rig.Answer({SlaveToken(2), SlaveControl(0xC8), SlaveControl(0x84), SlaveControl(0x80), corrupt, SlaveToken()});
  rig.Turn();
  EXPECT_EQ(rig.log.Count("Reply from invalid slave 0x02"), 1);
  EXPECT_EQ(rig.log.Count("Invalid controll 0xc8"), 1);
  EXPECT_EQ(rig.log.Count("Unknown control 0x84"), 1);
  EXPECT_EQ(rig.log.Count("Unknown control 0x80"), 1);
  EXPECT_EQ(rig.log.Count("Packet with invalid CRC"), 1);
  // The corrupt frame was dropped, not delivered nor counted in the sequence.
  EXPECT_TRUE(rig.Received().empty());
  EXPECT_EQ(rig.slave->RecvSeq, 0);
}

TEST(HandleFrame, ResetHandshakeFromEitherSide) {
  TLinkRig rig;
  rig.MakeAlive();
  // Data before our reset completed is neither delivered nor acknowledged.
  rig.slave->ResetPending = true;
  rig.Answer({SlaveData(0, 0, {1}), SlaveToken()});
  rig.Turn();
  EXPECT_EQ(rig.log.Count("Data packet received when reset pending"), 1);
  EXPECT_TRUE(rig.Received().empty());
  EXPECT_EQ(rig.slave->RecvSeq, 0);

  // The slave asks for a reset: its acknowledgement goes out before ours is pursued.
  rig.Answer({SlaveControl(kCtlResetRequest), SlaveToken()});
  rig.Turn();
  EXPECT_EQ(rig.log.Count("Slave requested sequence reset"), 1);
  EXPECT_FALSE(rig.slave->ResetPending);
  EXPECT_EQ(rig.Turn(), (Writes{kResetAck, kToken}));
}

TEST(HandleFrame, UnnumberedPayloadGoesToTheApplicationWithoutSubType) {
  TLinkRig rig;
  rig.MakeAlive();
  rig.Answer({SlaveUnnumbered({0x05, 0x83, 0x01, 0xAB}), SlaveToken()});
  rig.Turn();
  EXPECT_EQ(rig.Received(), (Writes{"83 01 AB"}));
  EXPECT_EQ(rig.slave->RecvSeq, 0);
}

TEST(SlaveTurn, HandlesAtMostNineFramesPerTurn) {
  TLinkRig rig;
  rig.MakeAlive();
  std::vector<TBytes> frames;
  for (int i = 0; i < 12; ++i) frames.push_back(SlaveUnnumbered({0x05, static_cast<uint8_t>(i)}));
  rig.Answer(frames);
  rig.Turn();
  EXPECT_EQ(rig.Received().size(), 9u);
}

TEST(Liveness, AliveSlowsThenDiesOnFifthSilentTurnAndComesBack) {
  TLinkRig rig;
  rig.MakeAlive();
  const std::vector<int> intervals = {20, 20, 100, 100, 200};
  for (size_t i = 0; i < intervals.size(); ++i) {
    rig.Turn();
    EXPECT_EQ(rig.slave->PollInterval, intervals[i]) << "silent turn " << i + 1;
  }
  EXPECT_EQ(rig.slave->LinkState, TProtoSlave::Lost);
  EXPECT_EQ(rig.Received(), (Writes{"A1"}));
  EXPECT_EQ(rig.log.LevelOf("S1 No reply from slave"), static_cast<signed char>(TLogLevel::Warn));
  EXPECT_EQ(rig.log.Count("Slave dies"), 1);

  // Lost: a silent turn re-arms the address assignment, answered turns count to waking.
  EXPECT_EQ(rig.Turn(), (Writes{kAddressAny, kToken}));
  rig.Turn();
  EXPECT_TRUE(rig.slave->NeedAddress);
  for (int i = 0; i < 3; ++i) rig.Answer({SlaveToken()});
  rig.Turn();
  rig.Turn();
  rig.Turn();
  EXPECT_EQ(rig.slave->LinkState, TProtoSlave::Alive);
  EXPECT_EQ(rig.Received(), (Writes{"A0"}));
}

TEST(Liveness, NewSlaveDiesOnFifthSilentTurn) {
  TLinkRig rig;
  for (int i = 0; i < 4; ++i) rig.Turn();
  EXPECT_EQ(rig.slave->LinkState, TProtoSlave::Initial);
  EXPECT_EQ(rig.log.LevelOf("S1 No reply from slave"), static_cast<signed char>(TLogLevel::Message));
  rig.Turn();
  EXPECT_EQ(rig.slave->LinkState, TProtoSlave::Lost);
  EXPECT_EQ(rig.Received(), (Writes{"A1"}));
}

TEST(Restart, LoaderFlagTravelsInTheAddressAssignment) {
  TLinkRig rig;
  rig.MakeAlive();
  {
    std::lock_guard<std::recursive_mutex> guard(rig.link.Lock());
    rig.slave->Restart(true);
  }
  EXPECT_EQ(rig.slave->LinkState, TProtoSlave::Lost);
  // Sent at least three times, even when the slave answers.
  for (int i = 0; i < 3; ++i) {
    rig.Answer({SlaveToken()});
    Writes w = rig.Turn();
    ASSERT_FALSE(w.empty());
    EXPECT_EQ(w[0].substr(0, 26), "C0 7F 83 01 7F FF FF FF 01") << i;
    rig.Turn();
  }
  EXPECT_TRUE(rig.Received().empty());
  rig.slave->Restart(false);
  EXPECT_EQ(rig.Turn()[0], kAddressAny);

  // An identity of a particular device carries the flag as given.
  rig.slave->Identity = 0x00012345;
  rig.slave->Restart(true);
  EXPECT_EQ(rig.slave->Identity, static_cast<int32_t>(0x80012345u));
  rig.slave->Restart(false);
  EXPECT_EQ(rig.slave->Identity, 0x00012345);
}

TEST(Open, AllocatesTheLowestFreeAddressOrThrows) {
  TLinkRig rig;
  std::vector<std::unique_ptr<TProtoSlave>> more;
  for (int a : {2, 4}) {
    more.push_back(std::make_unique<TProtoSlave>(rig.link, &rig.log));
    more.back()->Open(-1, a);
  }
  EXPECT_EQ(rig.link.AllocateAddress(), 3);
  more.push_back(std::make_unique<TProtoSlave>(rig.link, &rig.log));
  more.back()->Open(-1, -1);
  EXPECT_EQ(more.back()->Address, 3);
  // A fixed address is taken as given even when in use.
  more.push_back(std::make_unique<TProtoSlave>(rig.link, &rig.log));
  more.back()->Open(-1, 1);
  EXPECT_EQ(more.back()->Address, 1);
  // Addresses outside 1-126 do not count as taken.
  more.back()->Address = 0;
  while (rig.link.AllocateAddress() > 0) {
    more.push_back(std::make_unique<TProtoSlave>(rig.link, &rig.log));
    more.back()->Open(-1, -1);
  }
  EXPECT_EQ(rig.link.SlaveCount(), 127u);
  TProtoSlave extra(rig.link, &rig.log);
  EXPECT_THROW(
      {
        try {
          extra.Open(-1, -1);
        } catch (const std::runtime_error& e) {
          EXPECT_STREQ(e.what(), "Can't allocate slave address");
          throw;
        }
      },
      std::runtime_error);
}

}  // namespace
}  // namespace snimac::test
