// The frame reader on any byte stream the converter may deliver: noise, cut
// and over-long frames, stray escapes. Every frame found is checked against
// the encoder: encoding the packet again and reading it back gives the same
// bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_check.h"
#include "fuzz/null_log.h"
#include "fuzz/stream_d2xx.h"
#include "link/frame_reader.h"
#include "link/packet.h"
#include "link/protocol.h"
#include "sim/virtual_clock.h"

namespace snimac::fuzz {
namespace {

// The frame of `packet` read back with the frame reader.
void CheckRoundTrip(const uint8_t* packet, int length) {
  TRawPacket p;
  for (int i = 0; i < length; ++i) p.PushByte(packet[i]);
  uint8_t wire[kFrameBufferSize];
  const int wireLength = EncodeFrame(p, wire);
  FUZZ_CHECK(wireLength <= kLongestFrame);
  int pos = 0;
  const TByteReader read = [&](uint8_t& byte) {
    if (pos == wireLength) return 0;
    byte = wire[pos++];
    return 1;
  };
  uint8_t again[kMaxPacket];
  int againLength = 0;
  FUZZ_CHECK(ReadFrameFrom(read, again, againLength) == length);
  FUZZ_CHECK(againLength == length && std::memcmp(again, packet, static_cast<size_t>(length)) == 0);
  FUZZ_CHECK(pos == wireLength);  // nothing of a following frame is consumed
}

}  // namespace
}  // namespace snimac::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace snimac;
  sim::TVirtualClock clock;
  fuzz::TStreamD2xx port(clock);
  fuzz::TNullLog log;
  TProtocol link(port, clock, &log, TThreadWatch::Forever(), TProtocol::TStart::Manual);
  FUZZ_CHECK(link.Open("FUZZ", "9600,n,8,1"));
  port.SetStream(data, size);

  // Read frames until the stream is used up and a read finds nothing.
  for (;;) {
    const size_t before = port.Consumed();
    uint8_t frame[kMaxPacket];
    int length = -1;
    const int r = link.ReadFrame(frame, length);
    const size_t consumed = port.Consumed() - before;
    FUZZ_CHECK(consumed <= static_cast<size_t>(kMaxBytesPerFrameRead));
    FUZZ_CHECK(r >= 0);  // the stream port never fails
    FUZZ_CHECK(consumed > 0 || port.Exhausted());
    if (r == 0) {
      FUZZ_CHECK(length == 0);
      if (consumed == 0) break;
      continue;
    }
    FUZZ_CHECK(r == length && length <= kMaxPacket);
    if ((frame[0] & kTokenFlag) != 0) {
      FUZZ_CHECK(length == 1);  // a token is its address byte alone
    } else {
      fuzz::CheckRoundTrip(frame, length);
    }
  }
  FUZZ_CHECK(link.Close());
  return 0;
}
