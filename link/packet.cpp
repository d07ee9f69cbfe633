#include "link/packet.h"

#include "link/crc.h"

namespace snimac {

void TRawPacket::PushLong(uint32_t v) {
  PushByte(static_cast<uint8_t>(v >> 24));
  PushByte(static_cast<uint8_t>(v >> 16));
  PushByte(static_cast<uint8_t>(v >> 8));
  PushByte(static_cast<uint8_t>(v));
}

void TRawPacket::AppendCrc() {
  const uint16_t crc = static_cast<uint16_t>(~Crc16Block(0xFFFF, bytes, static_cast<size_t>(length)));
  PushByte(static_cast<uint8_t>(crc & 0xFF));
  PushByte(static_cast<uint8_t>(crc >> 8));
}

namespace {

uint8_t AddressByte(int address) { return static_cast<uint8_t>(address & 0x7F); }

void BuildControlOnly(TRawPacket& p, int address, uint8_t control) {
  p.Clear();
  p.PushByte(AddressByte(address));
  p.PushByte(control);
  p.AppendCrc();
}

}  // namespace

void BuildToken(TRawPacket& p, int address) {
  p.Clear();
  p.PushByte(static_cast<uint8_t>(AddressByte(address) | kTokenFlag));
}

void BuildResetRequest(TRawPacket& p, int address) { BuildControlOnly(p, address, kCtlResetRequest); }

void BuildResetAck(TRawPacket& p, int address) { BuildControlOnly(p, address, kCtlResetAck); }

void BuildAck(TRawPacket& p, int address, int ack) {
  BuildControlOnly(p, address, static_cast<uint8_t>(kCtlAckOnly | (ack & 7)));
}

bool BuildData(TRawPacket& p, int address, int seq, int ack, const uint8_t* payload, int count) {
  p.Clear();
  if (count < 0 || count > kMaxDataPayload) return false;
  p.PushByte(AddressByte(address));
  p.PushByte(static_cast<uint8_t>(((seq & 7) << 4) | (ack & 7)));
  for (int i = 0; i < count; ++i) p.PushByte(payload[i]);
  p.AppendCrc();
  return true;
}

void BuildAddressSet(TRawPacket& p, int target, int32_t identity, int newAddress) {
  p.Clear();
  p.PushByte(AddressByte(target));
  p.PushByte(kCtlUnnumbered);
  p.PushByte(kSubTypeAddressSet);
  p.PushLong(static_cast<uint32_t>(identity));
  p.PushByte(static_cast<uint8_t>(newAddress));
  p.AppendCrc();
}

int EncodeFrame(const TRawPacket& p, uint8_t* out) {
  int n = 0;
  out[n++] = kFrameStart;
  for (int i = 0; i < p.length; ++i) {
    const uint8_t b = p.bytes[i];
    if (b == kFrameStart || b == kFrameEnd || b == kFrameEscape) {
      out[n++] = kFrameEscape;
      out[n++] = static_cast<uint8_t>(b ^ 0x20);
    } else {
      out[n++] = b;
    }
  }
  if (p.length > 0 && (p.bytes[0] & kTokenFlag) == 0) out[n++] = kFrameEnd;
  return n;
}

bool PacketCrcOk(const uint8_t* packet, int length) {
  return length >= 2 && Crc16Block(0xFFFF, packet, static_cast<size_t>(length)) == kCrcGoodResidue;
}

}  // namespace snimac
