// The simulated bus's bookkeeping of D2XX calls (sim_d2xx.h): every call is
// counted, recorded with its status, time and arguments while recording is
// on, and may be forced to fail: the next calls of a kind return a chosen
// status and do nothing, the next Writes put only part of their bytes on the
// line. No lock: the bus calls it under its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/d2xx.h"

namespace snimac::sim {

// The D2XX calls, for recording and forced failures.
enum class TD2xxCall {
  ListDevices,
  OpenEx,
  SetBaudRate,
  SetDataCharacteristics,
  SetFlowControl,
  SetTimeouts,
  SetLatencyTimer,
  Write,
  Read,
  Close,
};
constexpr int kD2xxCallCount = 10;
// "FT_ListDevices", "FT_OpenEx", ... "FT_Close".
const char* D2xxCallName(TD2xxCall call);

// One recorded call.
struct TSimCallRecord {
  TD2xxCall call;
  FT_STATUS status;
  int64_t timeUs;      // clock time when the call was made
  std::string detail;  // arguments/results, e.g. "9600", "100,100", "C0 81", "1/1 C0"
};

class TSimCallRecorder {
 public:
  // ---- Every call, in this order ----
  // Counts the call; true when it is forced to fail, with the status in *status.
  bool Forced(TD2xxCall call, FT_STATUS* status);
  // Records the call when recording is on; returns `status`.
  FT_STATUS Finish(TD2xxCall call, FT_STATUS status, int64_t timeUs, std::string detail);

  // ---- Forced failures ----
  // The next `times` calls of `call` (-1: every call until cleared) return `status`.
  void Fail(TD2xxCall call, FT_STATUS status, int times);
  // Forced failures and short writes cleared.
  void ClearFailures();
  // The next `times` Writes put only the first `count` bytes on the line.
  void ShortWrite(uint32_t count, int times);
  // How many of `count` bytes a Write puts on the line.
  uint32_t WriteCount(uint32_t count);

  // ---- Recording ----
  void SetRecording(bool on) { recording_ = on; }
  bool Recording() const { return recording_; }
  const std::vector<TSimCallRecord>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  uint64_t CallCount(TD2xxCall call) const { return callCounts_[static_cast<int>(call)]; }

 private:
  struct TFailure {
    FT_STATUS status = FT_OK;
    int times = 0;
  };

  TFailure failures_[kD2xxCallCount];
  uint32_t shortWriteCount_ = 0;
  int shortWriteTimes_ = 0;
  bool recording_ = false;
  std::vector<TSimCallRecord> calls_;
  uint64_t callCounts_[kD2xxCallCount] = {};
};

}  // namespace snimac::sim
