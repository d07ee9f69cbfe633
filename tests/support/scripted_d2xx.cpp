#include "tests/support/scripted_d2xx.h"

#include <algorithm>

namespace snimac::test {

FT_STATUS TScriptedD2xx::ListDevices(void* arg1, void* arg2, uint32_t flags) {
  if (flags == FT_LIST_NUMBER_ONLY) {
    if (countStatus != FT_OK) return countStatus;
    *static_cast<uint32_t*>(arg1) = static_cast<uint32_t>(devices.size());
    return FT_OK;
  }
  const auto index = reinterpret_cast<uintptr_t>(arg1);
  if (index >= devices.size()) return FT_DEVICE_NOT_FOUND;
  const TDevice& d = devices[index];
  const bool wantsSerial = (flags & FT_OPEN_BY_SERIAL_NUMBER) != 0;
  if (wantsSerial ? d.serialFails : d.descriptionFails) return FT_OTHER_ERROR;
  const std::string& text = wantsSerial ? d.serial : d.description;
  calls.push_back(std::string("List:") + std::to_string(index) + (wantsSerial ? ":serial" : ":description"));
  text.copy(static_cast<char*>(arg2), kFtStringSize - 1);
  static_cast<char*>(arg2)[std::min<size_t>(text.size(), kFtStringSize - 1)] = '\0';
  return FT_OK;
}

FT_STATUS TScriptedD2xx::OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
  calls.push_back("OpenEx:" + std::string(static_cast<const char*>(arg)) + ":" + std::to_string(flags));
  if (fail.openEx != FT_OK) return fail.openEx;
  ++opens;
  latencyMs = kConverterDefaultLatencyMs;
  *handle = &handleToken_;
  return FT_OK;
}

FT_STATUS TScriptedD2xx::SetBaudRate(FT_HANDLE, uint32_t baud) {
  calls.push_back("SetBaudRate:" + std::to_string(baud));
  return fail.baud;
}

FT_STATUS TScriptedD2xx::SetDataCharacteristics(FT_HANDLE, uint8_t wordLength, uint8_t stopBits, uint8_t parity) {
  calls.push_back("SetDataCharacteristics:" + std::to_string(wordLength) + "," + std::to_string(stopBits) + "," +
                  std::to_string(parity));
  return fail.data;
}

FT_STATUS TScriptedD2xx::SetFlowControl(FT_HANDLE, uint16_t flow, uint8_t xon, uint8_t xoff) {
  calls.push_back("SetFlowControl:" + std::to_string(flow) + "," + std::to_string(xon) + "," + std::to_string(xoff));
  return fail.flow;
}

FT_STATUS TScriptedD2xx::SetTimeouts(FT_HANDLE, uint32_t readMs, uint32_t writeMs) {
  if (calls.empty() || calls.back() != "SetTimeouts:" + std::to_string(readMs) + "," + std::to_string(writeMs))
    calls.push_back("SetTimeouts:" + std::to_string(readMs) + "," + std::to_string(writeMs));
  if (fail.timeouts != FT_OK) return fail.timeouts;
  readTimeoutMs = readMs;
  return FT_OK;
}

FT_STATUS TScriptedD2xx::SetLatencyTimer(FT_HANDLE, uint8_t ms) {
  calls.push_back("SetLatencyTimer:" + std::to_string(ms));
  if (fail.latency != FT_OK) return fail.latency;
  latencyMs = ms;
  return FT_OK;
}

FT_STATUS TScriptedD2xx::Write(FT_HANDLE, const void* buffer, uint32_t count, uint32_t* written) {
  if (fail.write != FT_OK) return fail.write;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  TBytes frame(bytes, bytes + count);
  writes.push_back(frame);
  *written = count - static_cast<uint32_t>(fail.shortWriteBy);
  if (responder) responder(frame);
  return FT_OK;
}

FT_STATUS TScriptedD2xx::Read(FT_HANDLE, void* buffer, uint32_t count, uint32_t* received) {
  if (fail.read != FT_OK) return fail.read;
  auto* out = static_cast<uint8_t*>(buffer);
  uint32_t n = 0;
  while (n < count && !input.empty()) {
    out[n++] = input.front();
    input.pop_front();
  }
  if (n == 0) clock_.SleepMs(readTimeoutMs);
  *received = n;
  return FT_OK;
}

FT_STATUS TScriptedD2xx::Close(FT_HANDLE) {
  calls.push_back("Close");
  return FT_OK;
}

}  // namespace snimac::test
