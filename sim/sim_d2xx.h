// The simulated FTDI bus: the D2XX port (link/d2xx.h) over a wire model on a
// clock, with simulated readers (TSimReader) behind the converters.
//
// Its parts, without locks of their own:
// - the wire of each device (sim_wire.h): line settings, byte timing in both
//   directions, the converter's latency timer and the reader's processing time;
// - the fault model (sim_fault_model.h): lost, flipped and duplicated bytes;
// - the call recorder (sim_call_recorder.h): call counts, the call record,
//   forced failures and short writes.
//
// Write returns at once: its bytes queue on the line towards the reader.
// Bytes from the reader become readable as the converter's latency timer
// hands them over (SetLatencyTimer, 1 to 255 ms; 16 ms on a fresh handle).
// Read(n) returns as soon as n bytes are readable, or when the read time-out
// (SetTimeouts) has passed, with what has arrived by then (maybe nothing).
// It waits by sleeping on the clock (SleepUntilUs) from one wire event to the
// next, without holding the bus lock: on a virtual clock it only moves time
// forward; on a real clock it really waits. A read time-out of 0 waits
// without limit, as in D2XX.
//
// Status codes: FT_DEVICE_NOT_FOUND for an unknown or unplugged serial number
// or an index beyond the list; FT_DEVICE_NOT_OPENED when the device is already
// open; FT_INVALID_HANDLE for null, bogus or closed handles; FT_IO_ERROR for any
// call but Close on a handle whose device was unplugged (the handle stays dead
// after a replug; open again); FT_INVALID_PARAMETER / FT_INVALID_BAUD_RATE for
// bad arguments.
//
// Faults, seeded and deterministic for a given seed and sequence of calls:
// bytes on the wire (sim_fault_model.h), Unplug/Replug, a silent reader, and
// forced status codes for chosen D2XX calls.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/d2xx.h"
#include "sim/sim_call_recorder.h"
#include "sim/sim_fault_model.h"
#include "sim/sim_reader.h"
#include "sim/sim_wire.h"

namespace snimac::sim {

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
  FT_STATUS SetLatencyTimer(FT_HANDLE handle, uint8_t ms) override;
  FT_STATUS Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) override;
  FT_STATUS Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) override;
  FT_STATUS Close(FT_HANDLE handle) override;

 private:
  struct TDevice {
    TDevice(const TSimBusConfig& config, TSimFaultModel& faults) : wire(config, faults) {}
    std::string description;
    std::string serial;
    TSimReader* reader = nullptr;
    std::unique_ptr<TSimReader> owned;
    bool plugged = true;
    bool silent = false;
    uintptr_t openHandle = 0;      // 0 when not open
    TSimWire wire;
  };
  struct THandle {
    TDevice* device;
    bool dead = false;  // device unplugged while open
    uint32_t readTimeoutMs = 0;
    uint32_t writeTimeoutMs = 0;
  };

  TDevice& NewDevice(const std::string& description, const std::string& serial);
  TDevice* FindDevice(const std::string& key, bool byDescription);
  std::vector<TDevice*> Listed();
  // Validates a handle for a call other than Close. FT_OK with *h set.
  FT_STATUS Lookup(FT_HANDLE handle, THandle** h);
  // Runs the wire of one device up to `nowUs`.
  void Run(TDevice& d, int64_t nowUs);

  TClock& clock_;
  const TSimBusConfig config_;
  std::mutex mutex_;
  TSimFaultModel faults_;
  TSimCallRecorder recorder_;
  std::vector<std::unique_ptr<TDevice>> devices_;
  std::map<uintptr_t, THandle> handles_;
  uintptr_t nextHandle_ = 0x5100;
};

}  // namespace snimac::sim
