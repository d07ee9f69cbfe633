// The image bytes built into the program. The definitions are generated at
// build time by make_firmware_images (see the README, section "Reader
// firmware images").
#pragma once

#include <cstddef>
#include <cstdint>

namespace snimac {

struct TEmbeddedFirmware {
  const char* name;
  const uint8_t* data;
  size_t size;
};

inline constexpr size_t kEmbeddedFirmwareCount = 3;
extern const TEmbeddedFirmware kEmbeddedFirmware[kEmbeddedFirmwareCount];
// True when the images were generated for tests, not taken from the maker.
extern const bool kEmbeddedFirmwareIsTest;

}  // namespace snimac
