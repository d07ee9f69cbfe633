#include "link/frame_reader.h"

namespace snimac {

int ReadFrameFrom(const TByteReader& read, uint8_t (&buffer)[kMaxPacket], int& length) {
  length = 0;
  for (;;) {
    // Hunt for the start byte; anything before it is noise.
    uint8_t byte = 0;
    int r = read(byte);
    if (r <= 0) return r;
    if (byte != kFrameStart) continue;

    bool escape = false;
    int count = 0;
    bool overlong = false;
    while (!overlong) {
      r = read(byte);
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
      if (count == kMaxPacket) {
        overlong = true;  // no valid frame is this long: drop it, hunt again
        break;
      }
      buffer[count++] = byte;
      if (count == 1 && (byte & kTokenFlag) != 0) {
        length = 1;
        return 1;
      }
    }
  }
}

}  // namespace snimac
