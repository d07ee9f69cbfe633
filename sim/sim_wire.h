// The wire of the simulated bus (sim_d2xx.h) between one converter and its
// reader: the line settings the host chose, and one line for each direction
// on which bytes go out one after the other, each with its arrival time.
//
// - Each byte takes (1 start + data + parity + stop bits) / baud on the line,
//   10/9600 s (about 1042 us) at 9600 8N1, in both directions.
// - The host's bytes queue on the line towards the reader and reach it one by
//   one, each when its last bit is through; the reader learns the time from
//   them (sim_reader.h).
// - After a token addressed to it the reader needs `processingUs` before its
//   answer starts on the line (never before the line towards the host is
//   free); a byte from the reader becomes readable `latencyUs` after the
//   converter has received it.
// - Line settings other than the reader's (9600 baud, 8N1) lose the bytes in
//   both directions; their time on the line still passes.
// - Every byte goes through the fault model (sim_fault_model.h) as it is sent.
// No lock: the bus calls it under its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "link/d2xx.h"
#include "sim/sim_fault_model.h"

namespace snimac::sim {

class TSimReader;

struct TSimBusConfig {
  // Converter latency added to every byte received from the reader.
  int64_t latencyUs = 16000;
  // Reader's processing time from the end of a token to the start of its answer.
  int64_t processingUs = 2000;
  // The readers' line: 9600 baud, 8 data bits, 1 stop bit, no parity.
  uint32_t readerBaud = 9600;
};

struct TSimTimedByte {
  int64_t timeUs;
  uint8_t byte;
};

// A converter's line settings, as the host set them (a fresh handle: 9600 8N1).
struct TSimLineSettings {
  uint32_t baud = 9600;
  uint8_t wordLength = FT_BITS_8;
  uint8_t stopBits = FT_STOP_BITS_1;
  uint8_t parity = FT_PARITY_NONE;

  // One byte's time on the line.
  int64_t ByteTimeUs() const;
  // Those of a reader at `readerBaud`, 8N1.
  bool Matches(uint32_t readerBaud) const;
};

// One direction of the wire: bytes on their way, in arrival order.
class TSimLine {
 public:
  // Puts `count` bytes, each through `faults`, on the line one after the
  // other: the first starts at `startUs` or when the line is free, each takes
  // `byteUs` and arrives `delayUs` after its last bit. With `arrive` false
  // they take their time and are lost.
  void Send(const uint8_t* bytes, size_t count, int64_t startUs, int64_t byteUs, int64_t delayUs, bool arrive,
            TSimFaultModel& faults, TSimDirection direction);
  // Arrival time of the byte at `index`, nullopt when there is none.
  std::optional<int64_t> ArrivalUs(size_t index) const;
  // How many bytes, at most `most`, have arrived by `nowUs`.
  size_t Arrived(int64_t nowUs, size_t most) const;
  // Removes the first `count` bytes, copied into `out`.
  void Take(uint8_t* out, size_t count);
  // Removes the first byte when it has arrived by `nowUs`.
  std::optional<TSimTimedByte> PopArrived(int64_t nowUs);
  // Bytes on their way gone; the line's busy time stays.
  void Clear() { bytes_.clear(); }
  // Bytes on their way gone, and the line free.
  void Drop();
  // Bytes that have been put on the line to arrive, since construction.
  uint64_t Delivered() const { return delivered_; }

 private:
  int64_t freeUs_ = 0;  // busy until
  std::deque<TSimTimedByte> bytes_;
  uint64_t delivered_ = 0;
};

class TSimWire {
 public:
  // `config` and `faults` belong to the bus and outlive the wire.
  TSimWire(const TSimBusConfig& config, TSimFaultModel& faults) : config_(config), faults_(faults) {}

  // The host writes `count` bytes at `nowUs`.
  void Write(const uint8_t* bytes, size_t count, int64_t nowUs);
  // Runs the wire up to `nowUs`: bytes that have reached the reader go to it
  // (they are lost when `reader` is null), and its answers go out on the line
  // towards the host.
  void Run(int64_t nowUs, TSimReader* reader);
  // Everything on its way gone, both lines free (unplug, replug).
  void Drop();

  TSimLineSettings settings;
  TSimLine toReader;
  TSimLine toHost;

 private:
  const TSimBusConfig& config_;
  TSimFaultModel& faults_;
};

}  // namespace snimac::sim
