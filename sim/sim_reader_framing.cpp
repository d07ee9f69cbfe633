#include "sim/sim_reader_framing.h"

#include "link/crc.h"

namespace snimac::sim {

namespace {

constexpr uint8_t kFrameStart = 0xC0;
constexpr uint8_t kFrameEnd = 0xC1;
constexpr uint8_t kEscape = 0x7D;
constexpr uint8_t kTokenFlag = 0x80;
constexpr size_t kMinFrame = 4;  // address, control, CRC

void PutStuffed(uint8_t byte, std::vector<uint8_t>& out) {
  if (byte == kFrameStart || byte == kFrameEnd || byte == kEscape) {
    out.push_back(kEscape);
    out.push_back(static_cast<uint8_t>(byte ^ 0x20));
  } else {
    out.push_back(byte);
  }
}

}  // namespace

// ---------------------------------------------------------------- frames in

TSimFrameReceiver::TSimFrameReceiver(TSimReaderStats& stats) : stats_(stats) {
  frame_.reserve(kMaxPacket);
  packet_.reserve(kMaxPacket);
}

TSimFrameEvent TSimFrameReceiver::Feed(uint8_t byte) {
  if (byte == kFrameStart) {
    // A start byte never occurs inside a frame: whatever was being collected
    // was cut off.
    if (inFrame_ && (!frame_.empty() || escape_)) ++stats_.malformedFrames;
    Reset();
    inFrame_ = true;
    return TSimFrameEvent::None;
  }
  if (!inFrame_) return TSimFrameEvent::None;  // noise between frames
  if (byte == kFrameEnd) {
    TSimFrameEvent event = TSimFrameEvent::None;
    if (escape_ || overflow_ || frame_.size() < kMinFrame) {
      ++stats_.malformedFrames;
    } else {
      event = FrameComplete();
    }
    Reset();
    return event;
  }
  if (byte == kEscape && !escape_) {
    escape_ = true;
    return TSimFrameEvent::None;
  }
  if (escape_) {
    byte ^= 0x20;
    escape_ = false;
  }
  if (frame_.empty() && (byte & kTokenFlag)) {
    token_ = byte;
    Reset();
    return TSimFrameEvent::Token;
  }
  if (frame_.size() >= kMaxPacket) {
    overflow_ = true;  // dropped at its end byte
    return TSimFrameEvent::None;
  }
  frame_.push_back(byte);
  return TSimFrameEvent::None;
}

void TSimFrameReceiver::Reset() {
  inFrame_ = false;
  escape_ = false;
  overflow_ = false;
  frame_.clear();
}

TSimFrameEvent TSimFrameReceiver::FrameComplete() {
  if (Crc16Block(0xFFFF, frame_.data(), frame_.size()) != kCrcGoodResidue) {
    ++stats_.badCrcFrames;
    return TSimFrameEvent::None;
  }
  ++stats_.framesReceived;
  packet_.assign(frame_.begin(), frame_.end() - 2);
  return TSimFrameEvent::Packet;
}

// ---------------------------------------------------------------- frames out

void AppendPacketFrame(const std::vector<uint8_t>& packet, std::vector<uint8_t>& out) {
  const uint16_t crc = static_cast<uint16_t>(~Crc16Block(0xFFFF, packet.data(), packet.size()));
  out.push_back(kFrameStart);
  for (uint8_t b : packet) PutStuffed(b, out);
  PutStuffed(static_cast<uint8_t>(crc & 0xFF), out);
  PutStuffed(static_cast<uint8_t>(crc >> 8), out);
  out.push_back(kFrameEnd);
}

void AppendTokenFrame(uint8_t address, std::vector<uint8_t>& out) {
  out.push_back(kFrameStart);
  PutStuffed(static_cast<uint8_t>(address | kTokenFlag), out);
}

}  // namespace snimac::sim
