// The reader firmware images the program carries, found by name, and the
// facts of their layout that the upgrade and the image check rely on.
//
// MXTA (AVR reader, written from loader address 0): the program from offset 0,
// erased flash (0xFF) from the used length on, and in the last page an info
// block of five little-endian words: firmware's own, used length (signed),
// CRC-16/MCRF4XX over bytes 0 .. used length - 1, firmware's own, offset of
// the version text.
//
// MXT_HI / MXT_LO (H8 reader, the same firmware built for the high bank at
// 0x8000 and the low bank at 0x1000): a 14-byte header of big-endian words
// (CRC-16/MCRF4XX over bytes 2 .. end, 0, firmware's own, bank base, end
// address, two addresses inside the image), then the firmware's code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/crc.h"

namespace snimac {

struct TFirmwareImage {
  const uint8_t* data = nullptr;
  size_t size = 0;
  explicit operator bool() const { return data != nullptr; }
};

// "MXTA", "MXT_HI" or "MXT_LO"; empty for any other name.
TFirmwareImage FindFirmwareImage(const std::string& name);

// True when the build generated test images (for the simulated readers)
// instead of carrying the reader maker's images. Such a program must never
// write them into a real reader.
bool CarriesTestImages();

inline constexpr char kAvrImageName[] = "MXTA";
inline constexpr char kHighBankImageName[] = "MXT_HI";
inline constexpr char kLowBankImageName[] = "MXT_LO";

// MXTA
inline constexpr size_t kAvrImageSize = 0x7000;
inline constexpr size_t kAvrLastPageOffset = 0x6F80;
inline constexpr size_t kAvrInfoBlockOffset = 0x6FC0;
inline constexpr size_t kAvrUsedLengthOffset = kAvrInfoBlockOffset + 2;
inline constexpr size_t kAvrProgramCrcOffset = kAvrInfoBlockOffset + 4;

// MXT_HI, MXT_LO
inline constexpr size_t kH8ImageSize = 0x4312;
inline constexpr size_t kH8HeaderSize = 14;
inline constexpr size_t kH8HeaderCrcOffset = 0x00;
inline constexpr size_t kH8BankBaseOffset = 0x06;
inline constexpr uint16_t kHighBankBase = 0x8000;
inline constexpr uint16_t kLowBankBase = 0x1000;

// CRC-16/MCRF4XX, the check the images carry (and the loader's check of its
// commands): the link's CRC from 0xFFFF without the final inversion the link
// applies to its frames.
inline uint16_t FirmwareCrc(const uint8_t* bytes, size_t count) { return Crc16Block(0xFFFF, bytes, count); }

}  // namespace snimac
