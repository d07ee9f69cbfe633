// The simulated reader's side of the reader link: its address, the tokens it
// answers, the sequence numbers and acknowledgements of numbered data, the
// resends and the reset handshake. Packets come in from the frame receiver
// (sim_reader_framing.h) with their CRC checked; the answer to a token comes
// out of TakeOutput already framed and stuffed. What the packets mean to the
// reader (address assignments, application messages) goes up to the reader
// as a TSimLinkEvent.
//
// Written from the wire description only, independent of the master's code
// (link/packet.*, link/proto_slave.*), so that it can catch the master's
// faults. No lock and no time: the reader calls it under its own lock.
//
// Link behaviour (the slave's mirror of the master's rules):
// - Address: unassigned at power-on (unless configured). An address assignment
//   (to 0x7F, control 0x83, sub-type 0x01, identity MSB first, new address) is
//   passed up; the reader takes it when the identity is its own or 0xFFFFFFFF
//   (a reader with a loader has its own rules, sim_loader.h).
//   A reader without an address, or tokens for another address, get no answer
//   at all.
// - Answer to a token: [0x82 owed] [0x81 own reset request] [data: due resends,
//   then new packets up to the window | ACK-only 0xC0|ack when an ACK is owed
//   and no data goes out] [unnumbered packets] and its own token, at most
//   `maxFramesPerAnswer` frames in all (the master handles 9 per turn).
// - Sequence numbers: numbered data waits for a reset handshake after power-on
//   and after every accepted address assignment (the master always resets the
//   sequence after addressing, and discards slave data while its reset is
//   pending). The master's 0x81 resets both numbers, is answered with 0x82 and
//   completes the handshake; RequestReset sends 0x81 in every answer until the
//   master's 0x82. While unsynchronised, master data is neither delivered nor
//   acknowledged. Unacknowledged packets survive a reset and are sent again
//   numbered from SEQ 0 (unless keepUnackedOnReset is false).
// - Resend policy (go-back-N): any ACK from the master reflects every answer
//   the master has read before it built that packet, so an ACK that leaves
//   packets unacknowledged means those were lost: all of them are sent again,
//   from the oldest, in the next answer. The master sends no ACK at all when it
//   received nothing (its ACK-only packet is also never followed by a token),
//   so packets still unacknowledged at the `resendAfterTokens`-th token after
//   their transmission are sent again too. A healthy master acknowledges before
//   the second token, so the default (2) causes no spurious resends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "sim/sim_reader_config.h"

namespace snimac::sim {

// One unnumbered packet received at the reader's address (not the address
// assignment): its sub-type and the bytes after it.
struct TSimUnnumbered {
  uint8_t subType = 0;
  std::vector<uint8_t> data;
};

// What a packet from the master asks of the reader above the link.
struct TSimLinkEvent {
  enum class TKind {
    None,               // nothing for the reader (link control, dropped, not ours)
    Message,            // numbered data in sequence: `message`
    AddressAssignment,  // for `identity`, to `address` (1..0x7E)
  };
  TKind kind = TKind::None;
  std::vector<uint8_t> message;
  uint32_t identity = 0;
  uint8_t address = 0;
};

class TSimLinkSlave {
 public:
  // Longest data payload of a packet.
  static constexpr size_t kMaxPayload = 32;

  // `config` and `stats` belong to the reader and outlive the link.
  TSimLinkSlave(const TSimReaderConfig& config, TSimReaderStats& stats);

  // ---- From the frame receiver ----
  // A token (address byte, bit 7 set). True when it was for this reader and
  // has been answered.
  bool OnToken(uint8_t addressByte);
  // A packet with a good CRC, CRC stripped.
  TSimLinkEvent OnPacket(const std::vector<uint8_t>& packet);

  // ---- From the reader ----
  // The reader has taken an address assignment: numbered data waits for the
  // master's sequence reset.
  void TakeAddress(uint8_t address);
  // Link state as at power-on, with `address`: sequences and every queue of
  // outgoing packets cleared. Output on its way and injected bytes stay.
  void Reset(uint8_t address);
  // Output on its way and injected bytes gone.
  void ClearOutput();
  // Ask the master for a sequence reset (0x81 in every answer until its 0x82).
  void RequestReset();
  // A numbered message, sent when the window allows.
  void QueueMessage(std::vector<uint8_t> payload);
  // An unnumbered packet, sent once in the next answer.
  void QueueUnnumbered(TSimUnnumbered packet);
  // Raw wire bytes put in front of the next answer, as they are.
  void InjectRaw(const std::vector<uint8_t>& wireBytes);
  // Wire bytes produced since the last call, and clears them.
  std::vector<uint8_t> TakeOutput();
  bool HasOutput() const { return !output_.empty(); }

  // ---- Observers ----
  uint8_t Address() const { return address_; }
  bool Synced() const { return synced_; }
  bool LinkUp() const { return address_ != 0 && synced_ && !resetRequested_; }
  bool ResetRequestPending() const { return resetRequested_; }
  // Data from the master not acknowledged yet (the next answer carries the ACK).
  bool AckOwed() const { return ackOwed_; }
  int SendSeq() const { return sendSeq_; }
  int RecvSeq() const { return recvSeq_; }
  size_t UnackedCount() const { return unacked_.size(); }
  size_t QueuedCount() const { return queue_.size(); }
  const std::vector<TSimUnnumbered>& ReceivedUnnumbered() const { return receivedUnnumbered_; }
  void ClearReceivedUnnumbered() { receivedUnnumbered_.clear(); }

 private:
  struct TOutPacket {
    std::vector<uint8_t> payload;
    bool due = true;  // to be (re)sent in the next answer
  };

  TSimLinkEvent AddressAssignment(const uint8_t* p, size_t n);
  TSimLinkEvent Data(uint8_t control, const uint8_t* payload, size_t n);
  void Control(uint8_t control, const uint8_t* p, size_t n);
  void AckUpTo(int ack);
  void ResetSequence();
  void MarkAllDue();
  bool AnyUnackedOut() const;
  void Answer();
  // Numbered data of the answer: due resends, new packets, or an ACK-only
  // packet. `frames` counts the answer's frames so far.
  void AnswerData(int maxFrames, int& frames);

  const TSimReaderConfig& config_;
  TSimReaderStats& stats_;

  uint8_t address_ = 0;
  bool synced_ = false;
  bool resetRequested_ = false;   // own 0x81 until the master's 0x82
  bool resetAckOwed_ = false;     // master's 0x81 to be answered with 0x82
  bool ackOwed_ = false;
  int sendSeq_ = 0;
  int recvSeq_ = 0;
  int tokensWaiting_ = 0;         // tokens since the last transmission / ACK
  std::deque<TOutPacket> unacked_;
  std::deque<std::vector<uint8_t>> queue_;
  std::deque<TSimUnnumbered> unnumbered_;
  std::vector<uint8_t> injected_;
  std::vector<uint8_t> output_;
  std::vector<TSimUnnumbered> receivedUnnumbered_;
};

}  // namespace snimac::sim
