// How an image is walked page by page into the loader.
#pragma once

#include <cstddef>
#include <cstdint>

#include "resources/firmware_image.h"
#include "upgrade/loader_commands.h"

namespace snimac {

// Bytes that complete a page beyond the image's end: the value of erased
// flash, so the tail of the last page reads as if it had never been written.
constexpr uint8_t kPageFiller = 0xFF;

struct TPage {
  uint8_t bytes[kLoaderPageSize];
};

// The page of `image` that starts at `offset`, filled with kPageFiller where
// it runs past the image's end.
TPage PageAt(const TFirmwareImage& image, size_t offset);

// Offset of the page written after the one at `offset`: the next page, except
// that on the AVR reader the erased pages between the used length
// (`skipFrom`, signed) and the last page are passed over. The walk ends when
// the result reaches the image size.
size_t NextPageOffset(size_t offset, bool avr, int skipFrom);

}  // namespace snimac
