// Packets of the reader link and their frames on the wire.
//
// Packet: address (bit 7 = token), control, payload, CRC-16/X-25 low byte
// first. A token is the address byte alone. Frame: 0xC0, the packet with
// 0xC0/0xC1/0x7D stuffed as 0x7D, byte ^ 0x20, then 0xC1 unless it is a token.
#pragma once

#include <cstdint>

namespace snimac {

constexpr int kMaxPacket = 36;        // address to CRC inclusive
constexpr int kMaxDataPayload = 32;   // kMaxPacket - address - control - CRC
constexpr int kFrameBufferSize = 256; // encoder output; the largest frame is 74 bytes

constexpr uint8_t kFrameStart = 0xC0;
constexpr uint8_t kFrameEnd = 0xC1;
constexpr uint8_t kFrameEscape = 0x7D;

constexpr uint8_t kTokenFlag = 0x80;
constexpr uint8_t kBroadcastAddress = 0x7F;

// Control codes with bit 7 set.
constexpr uint8_t kCtlResetRequest = 0x81;
constexpr uint8_t kCtlResetAck = 0x82;
constexpr uint8_t kCtlUnnumbered = 0x83;
constexpr uint8_t kCtlAckOnly = 0xC0;   // 0xC0..0xC7, ACK in bits 2-0
constexpr uint8_t kSubTypeAddressSet = 0x01;

// One packet being built for sending, or as received.
struct TRawPacket {
  uint8_t bytes[kMaxPacket] = {};
  int length = 0;

  void Clear() { length = 0; }
  void PushByte(uint8_t b) { bytes[length++] = b; }
  void PushLong(uint32_t v);  // most significant byte first
  void AppendCrc();           // complemented CRC-16/X-25, low byte first
};

void BuildToken(TRawPacket& p, int address);
void BuildResetRequest(TRawPacket& p, int address);
void BuildResetAck(TRawPacket& p, int address);
void BuildAck(TRawPacket& p, int address, int ack);
// False, with `p` left empty, when `count` is beyond 0..kMaxDataPayload: a
// payload that does not fit one packet is refused whole, never cut.
bool BuildData(TRawPacket& p, int address, int seq, int ack, const uint8_t* payload, int count);
void BuildAddressSet(TRawPacket& p, int target, int32_t identity, int newAddress);

// Writes the frame of `p` into `out` (kFrameBufferSize bytes) and returns its length.
int EncodeFrame(const TRawPacket& p, uint8_t* out);

// True when a received packet (with its CRC) passes the CRC-16/X-25 check.
bool PacketCrcOk(const uint8_t* packet, int length);

}  // namespace snimac
