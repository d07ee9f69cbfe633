// Finds frames in the received byte stream, one byte at a time, so that it
// stops exactly at a frame's end and never consumes bytes of the next frame.
#pragma once

#include <cstdint>
#include <functional>

#include "link/packet.h"

namespace snimac {

// Reads one byte: returns 1 with the byte, 0 when the read time-out passed
// with nothing, -1 on a driver error.
using TByteReader = std::function<int(uint8_t& byte)>;

// Returns the frame length (> 0) with the unstuffed packet in `buffer`, 0 when
// no complete frame arrived within the time-out, -1 on a read error. Never
// stores more than kMaxPacket bytes: a longer frame is dropped and the hunt
// for the next start byte resumes.
int ReadFrameFrom(const TByteReader& read, uint8_t (&buffer)[kMaxPacket], int& length);

}  // namespace snimac
