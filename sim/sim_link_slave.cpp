#include "sim/sim_link_slave.h"

#include <algorithm>
#include <utility>

#include "sim/sim_reader_framing.h"

namespace snimac::sim {

namespace {

constexpr uint8_t kBroadcast = 0x7F;
constexpr uint8_t kResetRequest = 0x81;
constexpr uint8_t kResetAck = 0x82;
constexpr uint8_t kUnnumbered = 0x83;
constexpr uint8_t kAckOnly = 0xC0;
constexpr uint8_t kSubAddressSet = 0x01;
constexpr size_t kAddressAssignmentSize = 8;  // address, control, sub-type, identity, new address

}  // namespace

TSimLinkSlave::TSimLinkSlave(const TSimReaderConfig& config, TSimReaderStats& stats)
    : config_(config), stats_(stats), address_(config.address) {}

// ---------------------------------------------------------------- packets in

bool TSimLinkSlave::OnToken(uint8_t addressByte) {
  ++stats_.tokensReceived;
  const uint8_t address = addressByte & 0x7F;
  if (address_ == 0 || address != address_) return false;
  ++stats_.tokensAnswered;
  Answer();
  return true;
}

TSimLinkEvent TSimLinkSlave::OnPacket(const std::vector<uint8_t>& packet) {
  const uint8_t* p = packet.data();
  const size_t n = packet.size();
  const uint8_t address = p[0] & 0x7F;
  const uint8_t control = p[1];
  if (address == kBroadcast) {
    if (control == kUnnumbered && n >= 3 && p[2] == kSubAddressSet) return AddressAssignment(p, n);
    ++stats_.framesForOthers;
    return {};
  }
  if (address_ == 0 || address != address_) {
    ++stats_.framesForOthers;
    return {};
  }
  if (!(control & 0x80)) return Data(control, p + 2, n - 2);
  Control(control, p, n);
  return {};
}

TSimLinkEvent TSimLinkSlave::AddressAssignment(const uint8_t* p, size_t n) {
  if (n != kAddressAssignmentSize) {
    ++stats_.framesForOthers;
    return {};
  }
  const uint8_t newAddress = p[7];
  if (newAddress == 0 || newAddress >= kBroadcast) {
    ++stats_.addressRefused;
    return {};
  }
  TSimLinkEvent event;
  event.kind = TSimLinkEvent::TKind::AddressAssignment;
  event.identity = (uint32_t{p[3]} << 24) | (uint32_t{p[4]} << 16) | (uint32_t{p[5]} << 8) | p[6];
  event.address = newAddress;
  return event;
}

TSimLinkEvent TSimLinkSlave::Data(uint8_t control, const uint8_t* payload, size_t n) {
  if (!synced_ || resetRequested_) {
    ++stats_.dataIgnored;  // neither delivered nor acknowledged; its ACK ignored
    return {};
  }
  const int seq = (control >> 4) & 7;
  const int ack = control & 7;
  ackOwed_ = true;
  TSimLinkEvent event;
  if (seq == recvSeq_) {
    ++stats_.dataDelivered;
    recvSeq_ = (recvSeq_ + 1) & 7;
    event.kind = TSimLinkEvent::TKind::Message;
    event.message.assign(payload, payload + n);
    AckUpTo(ack);
  } else if (((seq - recvSeq_) & 7) == 7) {
    ++stats_.dataRepeated;
    AckUpTo(ack);
  } else {
    ++stats_.dataUnexpected;  // its ACK is not trusted
  }
  return event;
}

void TSimLinkSlave::Control(uint8_t control, const uint8_t* p, size_t n) {
  if ((control & 0xF8) == kAckOnly) {
    ++stats_.acksReceived;
    if (synced_ && !resetRequested_) AckUpTo(control & 7);
    return;
  }
  switch (control) {
    case kResetRequest:
      ++stats_.resetRequestsReceived;
      ResetSequence();
      resetAckOwed_ = true;
      resetRequested_ = false;  // both sides start from 0: the handshake is done
      synced_ = true;
      return;
    case kResetAck:
      ++stats_.resetAcksReceived;
      if (resetRequested_) {
        resetRequested_ = false;
        synced_ = true;
      }
      return;
    case kUnnumbered:
      if (n >= 3) {
        ++stats_.unnumberedReceived;
        receivedUnnumbered_.push_back({p[2], std::vector<uint8_t>(p + 3, p + n)});
      } else {
        ++stats_.unknownControl;
      }
      return;
    default:
      ++stats_.unknownControl;
      return;
  }
}

// ---------------------------------------------------------------- sequence, acknowledgements

void TSimLinkSlave::AckUpTo(int ack) {
  const size_t n = static_cast<size_t>((ack - sendSeq_) & 7);
  if (n > unacked_.size()) {
    ++stats_.invalidAcks;
    return;
  }
  for (size_t i = 0; i < n; ++i) unacked_.pop_front();
  sendSeq_ = (sendSeq_ + static_cast<int>(n)) & 7;
  tokensWaiting_ = 0;
  // The master's ACK covers every answer it read before it built this packet:
  // whatever it still does not acknowledge was lost. Go back to the oldest.
  if (AnyUnackedOut()) MarkAllDue();
}

bool TSimLinkSlave::AnyUnackedOut() const {
  return std::any_of(unacked_.begin(), unacked_.end(), [](const TOutPacket& p) { return !p.due; });
}

void TSimLinkSlave::MarkAllDue() {
  ++stats_.goBackEvents;
  for (TOutPacket& p : unacked_) p.due = true;
}

void TSimLinkSlave::ResetSequence() {
  sendSeq_ = 0;
  recvSeq_ = 0;
  ackOwed_ = false;
  tokensWaiting_ = 0;
  if (config_.keepUnackedOnReset) {
    for (TOutPacket& p : unacked_) p.due = true;  // renumbered from SEQ 0
  } else {
    unacked_.clear();
  }
}

// ---------------------------------------------------------------- answer

void TSimLinkSlave::Answer() {
  const int maxFrames = std::max(1, config_.maxFramesPerAnswer);
  int frames = 1;  // the closing token
  output_.insert(output_.end(), injected_.begin(), injected_.end());
  injected_.clear();

  if (resetAckOwed_ && frames < maxFrames) {
    AppendPacketFrame({address_, kResetAck}, output_);
    resetAckOwed_ = false;
    ++stats_.resetAcksSent;
    ++frames;
  }
  if (resetRequested_ && frames < maxFrames) {
    AppendPacketFrame({address_, kResetRequest}, output_);
    ++stats_.resetRequestsSent;
    ++frames;
  }
  if (synced_ && !resetRequested_) AnswerData(maxFrames, frames);
  std::vector<uint8_t> packet;
  while (!unnumbered_.empty() && frames < maxFrames) {
    TSimUnnumbered& u = unnumbered_.front();
    packet.assign({address_, kUnnumbered, u.subType});
    packet.insert(packet.end(), u.data.begin(), u.data.end());
    AppendPacketFrame(packet, output_);
    unnumbered_.pop_front();
    ++stats_.unnumberedSent;
    ++frames;
  }
  AppendTokenFrame(address_, output_);
}

void TSimLinkSlave::AnswerData(int maxFrames, int& frames) {
  // Packets waiting for an ACK for too many tokens: lost without a word.
  if (AnyUnackedOut() && ++tokensWaiting_ >= config_.resendAfterTokens) MarkAllDue();
  std::vector<uint8_t> packet;
  bool sentData = false;
  int seq = sendSeq_;
  for (TOutPacket& p : unacked_) {
    if (p.due && frames < maxFrames) {
      packet.assign({address_, static_cast<uint8_t>((seq << 4) | recvSeq_)});
      packet.insert(packet.end(), p.payload.begin(), p.payload.end());
      AppendPacketFrame(packet, output_);
      p.due = false;
      ++stats_.dataResent;
      ++frames;
      sentData = true;
    }
    seq = (seq + 1) & 7;
  }
  while (!queue_.empty() && static_cast<int>(unacked_.size()) < config_.windowSize && frames < maxFrames) {
    TOutPacket p{std::move(queue_.front()), false};
    queue_.pop_front();
    packet.assign({address_, static_cast<uint8_t>((seq << 4) | recvSeq_)});
    packet.insert(packet.end(), p.payload.begin(), p.payload.end());
    AppendPacketFrame(packet, output_);
    unacked_.push_back(std::move(p));
    ++stats_.dataSent;
    ++frames;
    seq = (seq + 1) & 7;
    sentData = true;
  }
  if (sentData) {
    ackOwed_ = false;
    tokensWaiting_ = 0;
  } else if (ackOwed_ && frames < maxFrames) {
    AppendPacketFrame({address_, static_cast<uint8_t>(kAckOnly | recvSeq_)}, output_);
    ackOwed_ = false;
    ++stats_.ackOnlySent;
    ++frames;
  }
}

// ---------------------------------------------------------------- from the reader

void TSimLinkSlave::TakeAddress(uint8_t address) {
  ++stats_.addressAssignments;
  address_ = address;
  // The master resets the sequence after every address assignment; numbered
  // data waits for that.
  synced_ = false;
  ackOwed_ = false;
}

void TSimLinkSlave::Reset(uint8_t address) {
  address_ = address;
  synced_ = false;
  resetRequested_ = false;
  resetAckOwed_ = false;
  ackOwed_ = false;
  sendSeq_ = 0;
  recvSeq_ = 0;
  tokensWaiting_ = 0;
  unacked_.clear();
  queue_.clear();
  unnumbered_.clear();
}

void TSimLinkSlave::ClearOutput() {
  injected_.clear();
  output_.clear();
}

void TSimLinkSlave::RequestReset() {
  ResetSequence();
  resetRequested_ = true;
  synced_ = false;
}

void TSimLinkSlave::QueueMessage(std::vector<uint8_t> payload) { queue_.push_back(std::move(payload)); }

void TSimLinkSlave::QueueUnnumbered(TSimUnnumbered packet) { unnumbered_.push_back(std::move(packet)); }

void TSimLinkSlave::InjectRaw(const std::vector<uint8_t>& wireBytes) {
  injected_.insert(injected_.end(), wireBytes.begin(), wireBytes.end());
}

std::vector<uint8_t> TSimLinkSlave::TakeOutput() {
  std::vector<uint8_t> out;
  out.swap(output_);
  return out;
}

}  // namespace snimac::sim
