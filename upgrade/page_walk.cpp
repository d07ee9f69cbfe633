#include "upgrade/page_walk.h"

namespace snimac {

TPage PageAt(const TFirmwareImage& image, size_t offset) {
  TPage page;
  for (size_t i = 0; i < kLoaderPageSize; ++i) {
    const size_t at = offset + i;
    page.bytes[i] = at < image.size ? image.data[at] : kPageFiller;
  }
  return page;
}

size_t NextPageOffset(size_t offset, bool avr, int skipFrom) {
  const size_t next = offset + kLoaderPageSize;
  // The comparison is signed: a negative used length skips from page 1 on.
  if (avr && skipFrom <= static_cast<long long>(next) && next < kAvrLastPageOffset) return kAvrLastPageOffset;
  return next;
}

}  // namespace snimac
