#include "link/crc.h"

#include <array>

namespace snimac {
namespace {

std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t v = static_cast<uint16_t>(i);
    for (int step = 0; step < 8; ++step) v = (v & 1) ? static_cast<uint16_t>((v >> 1) ^ 0x8408) : static_cast<uint16_t>(v >> 1);
    table[i] = v;
  }
  return table;
}

// Built once, on first use (thread-safe static initialisation).
const std::array<uint16_t, 256>& Table() {
  static const std::array<uint16_t, 256> table = MakeTable();
  return table;
}

}  // namespace

uint16_t Crc16Update(uint16_t crc, uint8_t byte) {
  return static_cast<uint16_t>(Table()[(crc ^ byte) & 0xFF] ^ (crc >> 8));
}

uint16_t Crc16Block(uint16_t crc, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) crc = Crc16Update(crc, bytes[i]);
  return crc;
}

}  // namespace snimac
