#include "sim/sim_call_recorder.h"

#include <algorithm>
#include <utility>

namespace snimac::sim {

const char* D2xxCallName(TD2xxCall call) {
  switch (call) {
    case TD2xxCall::ListDevices: return "FT_ListDevices";
    case TD2xxCall::OpenEx: return "FT_OpenEx";
    case TD2xxCall::SetBaudRate: return "FT_SetBaudRate";
    case TD2xxCall::SetDataCharacteristics: return "FT_SetDataCharacteristics";
    case TD2xxCall::SetFlowControl: return "FT_SetFlowControl";
    case TD2xxCall::SetTimeouts: return "FT_SetTimeouts";
    case TD2xxCall::SetLatencyTimer: return "FT_SetLatencyTimer";
    case TD2xxCall::Write: return "FT_Write";
    case TD2xxCall::Read: return "FT_Read";
    case TD2xxCall::Close: return "FT_Close";
  }
  return "?";
}

bool TSimCallRecorder::Forced(TD2xxCall call, FT_STATUS* status) {
  ++callCounts_[static_cast<int>(call)];
  TFailure& f = failures_[static_cast<int>(call)];
  if (f.times == 0) return false;
  if (f.times > 0) --f.times;
  *status = f.status;
  return true;
}

FT_STATUS TSimCallRecorder::Finish(TD2xxCall call, FT_STATUS status, int64_t timeUs, std::string detail) {
  if (recording_) calls_.push_back({call, status, timeUs, std::move(detail)});
  return status;
}

void TSimCallRecorder::Fail(TD2xxCall call, FT_STATUS status, int times) {
  failures_[static_cast<int>(call)] = {status, times};
}

void TSimCallRecorder::ClearFailures() {
  for (TFailure& f : failures_) f = {};
  shortWriteTimes_ = 0;
}

void TSimCallRecorder::ShortWrite(uint32_t count, int times) {
  shortWriteCount_ = count;
  shortWriteTimes_ = times;
}

uint32_t TSimCallRecorder::WriteCount(uint32_t count) {
  if (shortWriteTimes_ == 0) return count;
  if (shortWriteTimes_ > 0) --shortWriteTimes_;
  return std::min(count, shortWriteCount_);
}

}  // namespace snimac::sim
