// The endpoint harness's input, shared with the seed generator: poll turns,
// each with what the window offers the link and the frames the reader answers
// the turn's token with.
//
// turn   := window answer frame*
// window := bits 0-1: messages the window offers (each: header, then header & 0x3F
//           payload bytes; header bit 6: the message ends the burst),
//           bit 2: Flush before the turn, bit 3: 200 ms pass before the turn
// answer := frames in the reply (value % 12)
// frame  := kind & 3: 0 the endpoint's token; 1 a packet (length byte, bytes) that
//           gets a valid CRC; 2 raw wire bytes (length byte, bytes); 3 a packet of
//           the endpoint's address: control and payload (length byte, bytes), valid CRC
#pragma once

#include <cstdint>

namespace snimac::fuzz {

constexpr int kEndpointAddress = 1;

constexpr uint8_t kWindowMessageMask = 0x03;
constexpr uint8_t kWindowFlush = 0x04;
constexpr uint8_t kWindowWait = 0x08;
constexpr uint8_t kMessageEndsBurst = 0x40;
constexpr uint8_t kMessageLengthMask = 0x3F;
constexpr int kMaxFramesPerAnswer = 12;

enum TFrameKind : uint8_t { kToken = 0, kPacket = 1, kRaw = 2, kOwnPacket = 3 };

}  // namespace snimac::fuzz
