// Test firmware images: the documented layouts of the reader maker's images
// filled with deterministic pseudo-random "code". They let the simulated
// readers and the tests run a whole upgrade without the maker's images, and
// are never meant for a real reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snimac {

inline constexpr char kTestAvrVersionText[] = "MXT_A FW v4.0 Sep  1 2011";
inline constexpr char kTestH8VersionText[] = "MXT_H FW v4.0 Sep  1 2011";
// Where the NUL-terminated version texts stand. The AVR text follows the
// interrupt vectors as in the maker's image (the info block points at it);
// the H8 text follows a 64-byte jump table after the bank header.
inline constexpr size_t kTestAvrVersionOffset = 0x54;
inline constexpr size_t kTestH8VersionOffset = 0x0E + 0x40;
// Program bytes of the AVR image, as in the maker's image.
inline constexpr int16_t kTestAvrUsedLength = 16874;

// MXTA: program bytes, 0xFF after them, and the info block in the last page.
std::vector<uint8_t> MakeTestAvrImage();
// MXT_HI (bank base 0x8000) or MXT_LO (0x1000): the same code bytes for both
// banks after a header that differs.
std::vector<uint8_t> MakeTestH8Image(uint16_t bankBase);

}  // namespace snimac
