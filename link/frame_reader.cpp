#include "link/frame_reader.h"

namespace snimac {

int ReadFrameFrom(const TByteReader& read, uint8_t (&buffer)[kMaxPacket], int& length) {
  length = 0;
  int budget = kMaxBytesPerFrameRead;
  uint8_t byte = 0;
  // Hunt for the start byte; anything before it is noise.
  do {
    if (budget-- == 0) return 0;
    const int r = read(byte);
    if (r <= 0) return r;
  } while (byte != kFrameStart);

  bool escape = false;
  int count = 0;
  for (;;) {
    if (budget-- == 0) return 0;  // a frame still open at the bound is lost
    const int r = read(byte);
    if (r <= 0) return r;  // a frame cut off by the time-out is lost
    if (byte == kFrameEnd) {
      length = count;
      return count;
    }
    if (byte == kFrameEscape) {
      escape = true;
      continue;
    }
    if (escape) {
      byte ^= 0x20;
      escape = false;
    }
    // No valid frame is this long: drop it and let the caller end its turn
    // rather than hunt on through whatever follows.
    if (count == kMaxPacket) return 0;
    buffer[count++] = byte;
    if (count == 1 && (byte & kTokenFlag) != 0) {
      length = 1;
      return 1;
    }
  }
}

}  // namespace snimac
