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
//   free).
// - The converter holds the bytes it receives from the reader and hands them
//   to the host together: when its latency timer runs out after the last of
//   them with no further byte, or at once when a USB packet's worth
//   (kConverterPacketBytes) has collected. The timer is the host's setting
//   (FT_SetLatencyTimer), kConverterDefaultLatencyMs on a fresh handle.
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

// Bytes the converter sends the host in one USB packet (64 bytes, two of
// which are its modem status).
constexpr size_t kConverterPacketBytes = 62;

struct TSimBusConfig {
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
  uint8_t latencyMs = kConverterDefaultLatencyMs;

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
  // `byteUs` and arrives with its last bit. With `arrive` false they take
  // their time and are lost.
  void Send(const uint8_t* bytes, size_t count, int64_t startUs, int64_t byteUs, bool arrive, TSimFaultModel& faults,
            TSimDirection direction);
  // Arrival time of the byte at `index`, nullopt when there is none.
  std::optional<int64_t> ArrivalUs(size_t index) const;
  // The converter at the end of the line: runs its latency timer `timerUs`
  // up to `nowUs` and returns how many bytes, at most `most`, it has handed
  // over to the host.
  size_t HandedOver(int64_t nowUs, int64_t timerUs, size_t most);
  // After HandedOver(nowUs, ...): when the converter may hand over more (a
  // byte reaching it, or its timer running out); nullopt: it holds nothing.
  std::optional<int64_t> NextHandOverUs(int64_t nowUs, int64_t timerUs) const;
  // Removes the first `count` bytes (handed over), copied into `out`.
  void Take(uint8_t* out, size_t count);
  // Removes the first byte when it has arrived by `nowUs`.
  std::optional<TSimTimedByte> PopArrived(int64_t nowUs);
  // Bytes on their way gone; the line's busy time stays.
  void Clear();
  // Bytes on their way gone, and the line free.
  void Drop();
  // Bytes that have been put on the line to arrive, since construction.
  uint64_t Delivered() const { return delivered_; }

 private:
  // Where the chunk that the converter holds from index `released_` on ends
  // once handed over by `nowUs`; nullopt while it is still held, with
  // *nextUs (when given) the moment that can change that, if any.
  std::optional<size_t> ChunkEnd(int64_t nowUs, int64_t timerUs, int64_t* nextUs) const;

  int64_t freeUs_ = 0;  // busy until
  std::deque<TSimTimedByte> bytes_;
  size_t released_ = 0;  // the first bytes_ the converter has handed over
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
  // The host's side of the converter, on its latency timer: how many bytes
  // (at most `most`) are readable at `nowUs`, when more may be, taking them.
  size_t Readable(int64_t nowUs, size_t most) { return toHost.HandedOver(nowUs, LatencyUs(), most); }
  std::optional<int64_t> NextReadableUs(int64_t nowUs) const { return toHost.NextHandOverUs(nowUs, LatencyUs()); }
  void TakeReadable(uint8_t* out, size_t count) { toHost.Take(out, count); }
  // A new latency timer from `nowUs` on: what the old one has handed over by then stays readable.
  void SetLatency(uint8_t ms, int64_t nowUs);

  TSimLineSettings settings;
  TSimLine toReader;
  TSimLine toHost;

 private:
  int64_t LatencyUs() const { return int64_t{settings.latencyMs} * 1000; }

  const TSimBusConfig& config_;
  TSimFaultModel& faults_;
};

}  // namespace snimac::sim
