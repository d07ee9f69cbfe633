// The attendance harness's input, shared with the seed generator: cards read
// and LogTimer cycles; while a cycle runs, the server and the file take their
// behaviour from the input as well.
//
// op := byte % kAttendanceOpCount, then its arguments:
//   kAddRead   three time bytes, a length byte and the text (printable ASCII,
//              as the card texts are)
//   kCycle     one LogTimer cycle
// Inside a cycle, in the order the queue calls them:
//   connect    byte % 3: kConnects, kRefused, kConnectTimesOut
//   write      byte: bit 0 (kRefuseWrite) the line cannot be sent
//   reply      chunks (length byte, bytes) until a line is decided; a chunk of
//              length 0 is the server closing, the end of the input a time-out
//   append     byte: bit 0 (kFailAppend) the file refuses the line
//   flush      byte: bit 0 (kFailFlush) the flush fails
// The end of the input is the program's end (FlushAtExit).
#pragma once

#include <cstdint>

namespace snimac::fuzz {

enum TAttendanceOperation : uint8_t { kAddRead, kCycle, kAttendanceOpCount };

enum TConnectPlan : uint8_t { kConnects, kRefused, kConnectTimesOut };

constexpr uint8_t kRefuseWrite = 0x01;
constexpr uint8_t kFailAppend = 0x01;
constexpr uint8_t kFailFlush = 0x01;

}  // namespace snimac::fuzz
