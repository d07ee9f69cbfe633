#include "resources/image_check.h"

#include <cstdio>

namespace snimac {
namespace {

uint16_t LittleEndianWord(const TFirmwareImage& image, size_t at) {
  return static_cast<uint16_t>(image.data[at] | image.data[at + 1] << 8);
}

uint16_t BigEndianWord(const TFirmwareImage& image, size_t at) {
  return static_cast<uint16_t>(image.data[at] << 8 | image.data[at + 1]);
}

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

std::optional<std::string> CheckAvrImage(const TFirmwareImage& image) {
  const int used = AvrUsedLength(image);
  // The program must end before the info block: the walk skips the pages
  // after it, and the CRC cannot cover the word that holds it.
  if (used <= 0 || static_cast<size_t>(used) > kAvrInfoBlockOffset)
    return "used length " + std::to_string(used) + " outside 1.." + std::to_string(kAvrInfoBlockOffset);
  // Pages after the used length are never sent, so they must hold nothing.
  for (size_t at = static_cast<size_t>(used); at < kAvrInfoBlockOffset; ++at)
    if (image.data[at] != 0xFF) return "byte at " + Hex(static_cast<unsigned>(at)) + " after the used length is not 0xFF";
  const uint16_t stored = LittleEndianWord(image, kAvrProgramCrcOffset);
  const uint16_t actual = FirmwareCrc(image.data, static_cast<size_t>(used));
  if (stored != actual) return "program CRC " + Hex(actual) + " differs from the info block's " + Hex(stored);
  return std::nullopt;
}

std::optional<std::string> CheckH8Image(const TFirmwareImage& image, uint16_t bankBase) {
  // A low-bank build written into the high bank (or the reverse) would not run.
  const uint16_t base = BigEndianWord(image, kH8BankBaseOffset);
  if (base != bankBase) return "bank base " + Hex(base) + " in the header, expected " + Hex(bankBase);
  const uint16_t stored = BigEndianWord(image, kH8HeaderCrcOffset);
  const uint16_t actual = FirmwareCrc(image.data + 2, image.size - 2);
  if (stored != actual) return "contents CRC " + Hex(actual) + " differs from the header's " + Hex(stored);
  return std::nullopt;
}

}  // namespace

int16_t AvrUsedLength(const TFirmwareImage& image) {
  if (!image || image.size < kAvrUsedLengthOffset + 2) return 0;
  return static_cast<int16_t>(LittleEndianWord(image, kAvrUsedLengthOffset));
}

std::optional<std::string> CheckFirmwareImage(const std::string& name, const TFirmwareImage& image) {
  const bool avr = name == kAvrImageName;
  const bool high = name == kHighBankImageName;
  if (!avr && !high && name != kLowBankImageName) return name + ": not a firmware image name";
  if (!image) return name + ": image missing";
  const size_t expectedSize = avr ? kAvrImageSize : kH8ImageSize;
  if (image.size != expectedSize)
    return name + ": size " + std::to_string(image.size) + " bytes, expected " + std::to_string(expectedSize);
  const auto fault = avr ? CheckAvrImage(image) : CheckH8Image(image, high ? kHighBankBase : kLowBankBase);
  if (fault) return name + ": " + *fault;
  return std::nullopt;
}

std::optional<std::string> CheckFirmwareImages(const TFirmwareLookup& find) {
  for (const char* name : {kAvrImageName, kHighBankImageName, kLowBankImageName})
    if (auto fault = CheckFirmwareImage(name, find(name))) return fault;
  return std::nullopt;
}

}  // namespace snimac
