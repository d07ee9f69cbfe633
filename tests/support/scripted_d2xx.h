// A D2XX stand-in for link unit tests: records every call and written frame,
// serves bytes queued by the test (or by a responder run after each write),
// and fails chosen calls with chosen status codes. Reads that find nothing
// advance the clock by the read time-out, as the driver would wait.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/clock.h"
#include "link/d2xx.h"

namespace snimac::test {

using TBytes = std::vector<uint8_t>;

class TScriptedD2xx : public TD2xx {
 public:
  explicit TScriptedD2xx(TClock& clock) : clock_(clock) {}

  struct TFailures {
    FT_STATUS openEx = FT_OK, baud = FT_OK, data = FT_OK, flow = FT_OK, timeouts = FT_OK, latency = FT_OK,
              write = FT_OK, read = FT_OK;
    int shortWriteBy = 0;  // the driver reports this many bytes fewer than asked
  } fail;

  std::vector<std::string> calls;   // "OpenEx:<serial>", "SetBaudRate:9600", "Close", ...
  std::vector<TBytes> writes;       // one entry per FT_Write
  std::deque<uint8_t> input;        // bytes the reader has sent
  // Runs after every successful write with the bytes written (e.g. to answer a token).
  std::function<void(const TBytes&)> responder;
  uint32_t readTimeoutMs = 0;
  int latencyMs = kConverterDefaultLatencyMs;  // as the last successful SetLatencyTimer left it
  int opens = 0;

  void Feed(const TBytes& bytes) { input.insert(input.end(), bytes.begin(), bytes.end()); }

  // The attached devices, for FT_ListDevices.
  struct TDevice {
    std::string description, serial;
    bool descriptionFails = false, serialFails = false;
  };
  std::vector<TDevice> devices;
  FT_STATUS countStatus = FT_OK;

  FT_STATUS ListDevices(void* arg1, void* arg2, uint32_t flags) override;
  FT_STATUS OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override;
  FT_STATUS SetBaudRate(FT_HANDLE, uint32_t baud) override;
  FT_STATUS SetDataCharacteristics(FT_HANDLE, uint8_t wordLength, uint8_t stopBits, uint8_t parity) override;
  FT_STATUS SetFlowControl(FT_HANDLE, uint16_t flow, uint8_t xon, uint8_t xoff) override;
  FT_STATUS SetTimeouts(FT_HANDLE, uint32_t readMs, uint32_t writeMs) override;
  FT_STATUS SetLatencyTimer(FT_HANDLE, uint8_t ms) override;
  FT_STATUS Write(FT_HANDLE, const void* buffer, uint32_t count, uint32_t* written) override;
  FT_STATUS Read(FT_HANDLE, void* buffer, uint32_t count, uint32_t* received) override;
  FT_STATUS Close(FT_HANDLE) override;

 private:
  TClock& clock_;
  int handleToken_ = 0;
};

}  // namespace snimac::test
