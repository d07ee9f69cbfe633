// CRC-16 with the reflected polynomial 0x8408, table-driven. The link uses it
// as CRC-16/X-25 (start 0xFFFF, complemented); the loader as CRC-16/MCRF4XX.
#pragma once

#include <cstddef>
#include <cstdint>

namespace snimac {

uint16_t Crc16Update(uint16_t crc, uint8_t byte);
uint16_t Crc16Block(uint16_t crc, const uint8_t* bytes, size_t count);

// Result of Crc16Block(0xFFFF, ...) over a packet including its appended CRC.
constexpr uint16_t kCrcGoodResidue = 0xF0B8;

}  // namespace snimac
