// The simulated FTDI bus: the D2XX port (link/d2xx.h) over a wire model on a
// clock, with simulated readers (TSimReader) behind the converters.
//
// Wire model, per device:
// - Each byte takes (1 start + data + parity + stop bits) / baud on the line,
//   10/9600 s (about 1042 us) at 9600 8N1, in both directions; a direction
//   sends one byte after the other.
// - Write returns at once: its bytes queue on the line towards the reader and
//   reach it one by one, each when its last bit is through.
// - After a token addressed to it the reader needs `processingUs` before its
//   answer starts on the line (never before the line towards the host is free).
// - The reader learns the time from its bytes: each reaches it with its
//   arrival time, so its flash times and restarts run on the bus's clock.
// - A byte from the reader becomes readable `latencyUs` after it has been
//   received by the converter (the converter's latency timer).
// - Read(n) returns as soon as n bytes are readable, or when the read time-out
//   (SetTimeouts) has passed, with what has arrived by then (maybe nothing).
//   It waits by sleeping on the clock (SleepUntilUs) from one wire event to
//   the next, without holding the bus lock: on a virtual clock it only moves
//   time forward; on a real clock it really waits. A read time-out of 0 waits
//   without limit, as in D2XX.
// - The line settings must match the reader's (9600 baud, 8N1); bytes sent with
//   other settings are lost in both directions.
//
// Status codes: FT_DEVICE_NOT_FOUND for an unknown or unplugged serial number
// or an index beyond the list; FT_DEVICE_NOT_OPENED when the device is already
// open; FT_INVALID_HANDLE for null, bogus or closed handles; FT_IO_ERROR for any
// call but Close on a handle whose device was unplugged (the handle stays dead
// after a replug; open again); FT_INVALID_PARAMETER / FT_INVALID_BAUD_RATE for
// bad arguments.
//
// Faults, seeded and deterministic for a given seed and sequence of calls: each
// byte, in the chosen directions, may be lost, get one bit flipped, or be
// duplicated (probabilities per byte, checked in that order). Unplug/Replug,
// a silent reader, and forced status codes for chosen D2XX calls.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/d2xx.h"
#include "sim/sim_reader.h"

namespace snimac::sim {

struct TSimBusConfig {
  // Converter latency added to every byte received from the reader.
  int64_t latencyUs = 16000;
  // Reader's processing time from the end of a token to the start of its answer.
  int64_t processingUs = 2000;
  // The readers' line: 9600 baud, 8 data bits, 1 stop bit, no parity.
  uint32_t readerBaud = 9600;
};

enum class TSimDirection { ToReader = 1, ToHost = 2, Both = 3 };

// Per-byte fault probabilities (0..1).
struct TSimFaults {
  double lose = 0;       // the byte never arrives (its line time still passes)
  double flip = 0;       // one random bit of the byte is inverted
  double duplicate = 0;  // the byte arrives twice
};

struct TSimFaultCounts {
  uint64_t lost = 0;
  uint64_t flipped = 0;
  uint64_t duplicated = 0;
};

// The D2XX calls, for recording and forced failures.
enum class TD2xxCall {
  ListDevices,
  OpenEx,
  SetBaudRate,
  SetDataCharacteristics,
  SetFlowControl,
  SetTimeouts,
  Write,
  Read,
  Close,
};
constexpr int kD2xxCallCount = 9;
// "FT_ListDevices", "FT_OpenEx", ... "FT_Close".
const char* D2xxCallName(TD2xxCall call);

// One recorded call.
struct TSimCallRecord {
  TD2xxCall call;
  FT_STATUS status;
  int64_t timeUs;      // clock time when the call was made
  std::string detail;  // arguments/results, e.g. "9600", "100,100", "C0 81", "1/1 C0"
};

class TSimD2xx : public TD2xx {
 public:
  explicit TSimD2xx(TClock& clock, TSimBusConfig config = {});
  ~TSimD2xx() override;
  TSimD2xx(const TSimD2xx&) = delete;
  TSimD2xx& operator=(const TSimD2xx&) = delete;

  // ---- Devices (listed in the order added) ----
  // A reader owned by the bus, made from `config`. Returns it.
  TSimReader& AddDevice(const std::string& description, const std::string& serial,
                        TSimReaderConfig config = {});
  // A reader owned by the caller (must outlive the bus), or none (nullptr: a
  // converter with nothing behind it).
  void AddDevice(const std::string& description, const std::string& serial, TSimReader* reader);
  // The reader behind a device, or nullptr.
  TSimReader* Reader(const std::string& serial);
  // The device vanishes: bytes in flight are lost, handles are dead (FT_IO_ERROR),
  // it is no longer listed and cannot be opened. False for an unknown serial.
  bool Unplug(const std::string& serial);
  // The device comes back (listed, can be opened). With resetReader the reader
  // is power-cycled (address and link state gone), as a real replug does.
  bool Replug(const std::string& serial, bool resetReader = true);
  // The reader stops hearing and answering (bytes to it are lost), the
  // device stays. False for an unknown serial.
  bool SetSilent(const std::string& serial, bool silent);
  bool IsOpen(const std::string& serial);

  // ---- Faults ----
  void SetSeed(uint32_t seed);
  void SetFaults(TSimFaults faults, TSimDirection direction = TSimDirection::Both);
  TSimFaultCounts FaultCounts();
  // The next `times` calls of `call` (-1: every call until cleared) do nothing
  // and return `status`.
  void FailCall(TD2xxCall call, FT_STATUS status, int times = -1);
  void ClearFailures();
  // The next `times` Writes put only the first `count` bytes on the line and
  // report that count (a short write).
  void ShortWrite(uint32_t count, int times = 1);

  // ---- Recording ----
  void SetRecording(bool on);
  std::vector<TSimCallRecord> Calls();
  void ClearCalls();
  // Calls of each kind since construction (always counted).
  uint64_t CallCount(TD2xxCall call);
  // Bytes put on the line towards the reader / received from it (after faults).
  uint64_t BytesToReader(const std::string& serial);
  uint64_t BytesToHost(const std::string& serial);

  const TSimBusConfig& Config() const { return config_; }
  TClock& Clock() { return clock_; }

  // ---- TD2xx ----
  FT_STATUS ListDevices(void* arg1, void* arg2, uint32_t flags) override;
  FT_STATUS OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override;
  FT_STATUS SetBaudRate(FT_HANDLE handle, uint32_t baud) override;
  FT_STATUS SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                   uint8_t parity) override;
  FT_STATUS SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
  FT_STATUS SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) override;
  FT_STATUS Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) override;
  FT_STATUS Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) override;
  FT_STATUS Close(FT_HANDLE handle) override;

 private:
  struct TTimedByte {
    int64_t timeUs;
    uint8_t byte;
  };
  struct TDevice {
    std::string description;
    std::string serial;
    TSimReader* reader = nullptr;
    std::unique_ptr<TSimReader> owned;
    bool plugged = true;
    bool silent = false;
    uintptr_t openHandle = 0;      // 0 when not open
    uint32_t baud = 9600;
    uint8_t wordLength = 8, stopBits = 0, parity = 0;
    int64_t toReaderFreeUs = 0;    // line towards the reader busy until
    int64_t toHostFreeUs = 0;      // line towards the host busy until
    std::deque<TTimedByte> toReader;  // arrival at the reader
    std::deque<TTimedByte> toHost;    // readable by the host
    uint64_t bytesToReader = 0;
    uint64_t bytesToHost = 0;
  };
  struct THandle {
    TDevice* device;
    bool dead = false;  // device unplugged while open
    uint32_t readTimeoutMs = 0;
    uint32_t writeTimeoutMs = 0;
  };
  struct TFailure {
    FT_STATUS status = FT_OK;
    int times = 0;
  };

  TDevice* FindDevice(const std::string& key, bool byDescription);
  std::vector<TDevice*> Listed();
  // Validates a handle for a call other than Close. FT_OK with *h set.
  FT_STATUS Lookup(FT_HANDLE handle, THandle** h);
  bool Forced(TD2xxCall call, FT_STATUS* status);
  FT_STATUS Finish(TD2xxCall call, FT_STATUS status, int64_t timeUs, std::string detail);
  int64_t ByteTimeUs(const TDevice& d) const;
  bool LineMatches(const TDevice& d) const;
  // Puts a byte through the fault model; appends 0, 1 or 2 bytes to `out`.
  void ApplyFaults(uint8_t byte, bool toReader, std::vector<uint8_t>& out);
  // Runs the wire of one device up to `nowUs`.
  void Advance(TDevice& d, int64_t nowUs);
  void Drop(TDevice& d);

  TClock& clock_;
  const TSimBusConfig config_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<TDevice>> devices_;
  std::map<uintptr_t, THandle> handles_;
  uintptr_t nextHandle_ = 0x5100;
  std::mt19937 rng_{1};
  TSimFaults toReaderFaults_, toHostFaults_;
  TSimFaultCounts faultCounts_;
  TFailure failures_[kD2xxCallCount];
  uint32_t shortWriteCount_ = 0;
  int shortWriteTimes_ = 0;
  bool recording_ = false;
  std::vector<TSimCallRecord> calls_;
  uint64_t callCounts_[kD2xxCallCount] = {};
};

}  // namespace snimac::sim
