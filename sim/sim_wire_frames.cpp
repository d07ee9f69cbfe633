#include "sim/sim_wire_frames.h"

#include <utility>

#include "link/crc.h"

namespace snimac::sim {

namespace {

constexpr uint8_t kStart = 0xC0;
constexpr uint8_t kEnd = 0xC1;
constexpr uint8_t kEscape = 0x7D;

void PutStuffed(std::vector<uint8_t>& out, uint8_t b) {
  if (b == kStart || b == kEnd || b == kEscape) {
    out.push_back(kEscape);
    out.push_back(static_cast<uint8_t>(b ^ 0x20));
  } else {
    out.push_back(b);
  }
}

}  // namespace

std::vector<uint8_t> FramePacket(std::vector<uint8_t> packet) {
  const uint16_t crc = static_cast<uint16_t>(~Crc16Block(0xFFFF, packet.data(), packet.size()));
  packet.push_back(static_cast<uint8_t>(crc & 0xFF));
  packet.push_back(static_cast<uint8_t>(crc >> 8));
  std::vector<uint8_t> out{kStart};
  for (uint8_t b : packet) PutStuffed(out, b);
  out.push_back(kEnd);
  return out;
}

std::vector<uint8_t> FrameToken(uint8_t address) {
  std::vector<uint8_t> out{kStart};
  PutStuffed(out, static_cast<uint8_t>(address | 0x80));
  return out;
}

TWireFrames SplitFrames(const std::vector<uint8_t>& wire) {
  TWireFrames result;
  size_t i = 0;
  while (i < wire.size()) {
    if (wire[i] != kStart) {
      result.error = "no start byte at " + std::to_string(i);
      return result;
    }
    ++i;
    std::vector<uint8_t> p;
    bool escape = false;
    for (; i < wire.size(); ++i) {
      uint8_t b = wire[i];
      if (b == kEnd) {
        ++i;
        break;
      }
      if (b == kEscape) {
        escape = true;
        continue;
      }
      if (escape) {
        b ^= 0x20;
        escape = false;
      }
      p.push_back(b);
      if (p.size() == 1 && (b & 0x80)) {  // a token has no end byte
        ++i;
        break;
      }
    }
    if (p.empty()) {
      result.error = "empty frame";
      return result;
    }
    if (!(p[0] & 0x80)) {
      if (p.size() < 4) {
        result.error = "short frame";
        return result;
      }
      if (Crc16Block(0xFFFF, p.data(), p.size()) != kCrcGoodResidue) {
        result.error = "bad CRC";
        return result;
      }
      p.erase(p.end() - 2, p.end());
    }
    result.packets.push_back(std::move(p));
  }
  return result;
}

}  // namespace snimac::sim
