// Framing for tests and tools that play the master by hand: packets to wire
// bytes and the reader's answers back to packets. Written apart from the
// reader's own framing (sim_reader_framing.*) and from the master's, so that
// tests built on it check them rather than repeat them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace snimac::sim {

// 0xC0, the packet and its CRC-16/X-25 (low byte first), stuffed, 0xC1.
std::vector<uint8_t> FramePacket(std::vector<uint8_t> packet);
// 0xC0 and the address with bit 7 set (stuffed if need be).
std::vector<uint8_t> FrameToken(uint8_t address);

struct TWireFrames {
  // Packets with their CRC checked and stripped; a token as its one byte.
  std::vector<std::vector<uint8_t>> packets;
  // Empty, or what was wrong (no start byte, bad CRC, short frame ...);
  // splitting stops there.
  std::string error;
};
TWireFrames SplitFrames(const std::vector<uint8_t>& wire);

}  // namespace snimac::sim
