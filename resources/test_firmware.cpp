#include "resources/test_firmware.h"

#include <cstring>

#include "resources/firmware_image.h"

namespace snimac {
namespace {

// Fixed seeds: the same images on every build, so the tests' expectations hold.
constexpr uint32_t kAvrSeed = 0x4D585441;  // "MXTA"
constexpr uint32_t kH8Seed = 0x4D585448;   // "MXTH"

// Fills [from, to) from a linear congruential generator, taking the high byte
// of each state: the low bits of such a generator repeat quickly.
void FillCode(std::vector<uint8_t>& image, size_t from, size_t to, uint32_t seed) {
  uint32_t state = seed;
  for (size_t at = from; at < to; ++at) {
    state = state * 1664525u + 1013904223u;
    image[at] = static_cast<uint8_t>(state >> 24);
  }
}

void PutText(std::vector<uint8_t>& image, size_t at, const char* text) {
  std::memcpy(image.data() + at, text, std::strlen(text) + 1);
}

void PutLittleEndian(std::vector<uint8_t>& image, size_t at, uint16_t word) {
  image[at] = static_cast<uint8_t>(word & 0xFF);
  image[at + 1] = static_cast<uint8_t>(word >> 8);
}

void PutBigEndian(std::vector<uint8_t>& image, size_t at, uint16_t word) {
  image[at] = static_cast<uint8_t>(word >> 8);
  image[at + 1] = static_cast<uint8_t>(word & 0xFF);
}

}  // namespace

std::vector<uint8_t> MakeTestAvrImage() {
  std::vector<uint8_t> image(kAvrImageSize, 0xFF);
  const auto used = static_cast<size_t>(kTestAvrUsedLength);
  FillCode(image, 0, used, kAvrSeed);
  PutText(image, kTestAvrVersionOffset, kTestAvrVersionText);
  const uint16_t info[5] = {0x0FAC, static_cast<uint16_t>(kTestAvrUsedLength), FirmwareCrc(image.data(), used), 0x0001,
                            static_cast<uint16_t>(kTestAvrVersionOffset)};
  for (size_t i = 0; i < 5; ++i) PutLittleEndian(image, kAvrInfoBlockOffset + 2 * i, info[i]);
  return image;
}

std::vector<uint8_t> MakeTestH8Image(uint16_t bankBase) {
  std::vector<uint8_t> image(kH8ImageSize);
  FillCode(image, kH8HeaderSize, image.size(), kH8Seed);
  // The text stands as one of the firmware's strings: the one before it ends
  // right there, so a reader looking for it finds exactly this text.
  image[kTestH8VersionOffset - 1] = 0;
  PutText(image, kTestH8VersionOffset, kTestH8VersionText);
  const uint16_t header[7] = {0,  // CRC, below
                              0,
                              0x0050,
                              bankBase,
                              static_cast<uint16_t>(bankBase + kH8ImageSize),
                              static_cast<uint16_t>(bankBase + 0x31FE),
                              static_cast<uint16_t>(bankBase + 0x3BC6)};
  for (size_t i = 0; i < 7; ++i) PutBigEndian(image, 2 * i, header[i]);
  PutBigEndian(image, kH8HeaderCrcOffset, FirmwareCrc(image.data() + 2, image.size() - 2));
  return image;
}

}  // namespace snimac
