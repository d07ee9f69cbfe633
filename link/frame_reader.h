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

// The longest frame on the wire: start, every byte of a full packet escaped, end.
constexpr int kLongestFrame = 2 + 2 * kMaxPacket;
// The most bytes one ReadFrameFrom consumes. Every byte restarts the read
// time-out, so without a bound a line that never falls quiet (a babbling
// device, a wrong speed) would keep the reader in one call for ever.
constexpr int kMaxBytesPerFrameRead = 2 * kLongestFrame;

// Returns the frame length (> 0) with the unstuffed packet in `buffer`, 0 when
// no complete frame arrived (the time-out passed, kMaxBytesPerFrameRead bytes
// brought none, or an over-long frame was dropped), -1 on a read error. Never
// stores more than kMaxPacket bytes.
int ReadFrameFrom(const TByteReader& read, uint8_t (&buffer)[kMaxPacket], int& length);

}  // namespace snimac
