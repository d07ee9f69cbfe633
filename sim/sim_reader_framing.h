// The simulated reader's framing, both ways: the frame receiver finds the
// master's frames in the bytes from the wire, removes their stuffing and
// checks their CRC; the answer frames go out with their CRC, stuffed.
//
// Frames: 0xC0, stuffed packet (address to CRC), 0xC1; a token is 0xC0 and
// one address byte with bit 7 set, and has no end byte. Stuffing: 0xC0, 0xC1
// and 0x7D become 0x7D and the byte XOR 0x20. The CRC is CRC-16/X-25 (low
// byte first). The receiver restarts on every 0xC0, and drops frames longer
// than 36 bytes, shorter than 4 bytes, with a dangling escape, or with a bad
// CRC (counted, never handled).
//
// Written from the wire description only, apart from the master's framing
// (link/packet.*, link/frame_reader.*) and the tests' (sim_wire_frames.h), so
// that it can catch their faults. No lock: the reader calls it under its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/sim_reader_config.h"

namespace snimac::sim {

// What a byte completed.
enum class TSimFrameEvent {
  None,    // nothing yet (also noise between frames and dropped frames)
  Token,   // a token: its address byte in Token()
  Packet,  // a frame with a good CRC: the packet, CRC stripped, in Packet()
};

class TSimFrameReceiver {
 public:
  // Longest packet, address to CRC.
  static constexpr size_t kMaxPacket = 36;

  // Counts good, malformed and bad-CRC frames in `stats`.
  explicit TSimFrameReceiver(TSimReaderStats& stats);

  // One byte from the master, in wire order.
  TSimFrameEvent Feed(uint8_t byte);
  // The last token's address byte (bit 7 set).
  uint8_t Token() const { return token_; }
  // The last good packet without its CRC: address, control, data.
  const std::vector<uint8_t>& Packet() const { return packet_; }
  // Forgets the frame being collected; the next frame starts at a 0xC0.
  void Reset();

 private:
  TSimFrameEvent FrameComplete();

  TSimReaderStats& stats_;
  bool inFrame_ = false;
  bool escape_ = false;
  bool overflow_ = false;
  std::vector<uint8_t> frame_;
  std::vector<uint8_t> packet_;
  uint8_t token_ = 0;
};

// Appends the frame of `packet` (address, control, data): its CRC added,
// stuffed, between 0xC0 and 0xC1.
void AppendPacketFrame(const std::vector<uint8_t>& packet, std::vector<uint8_t>& out);
// Appends the token for `address`: 0xC0 and the address with bit 7 set.
void AppendTokenFrame(uint8_t address, std::vector<uint8_t>& out);

}  // namespace snimac::sim
