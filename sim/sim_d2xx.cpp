#include "sim/sim_d2xx.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

namespace snimac::sim {

namespace {

constexpr int64_t kForever = std::numeric_limits<int64_t>::max();
// A read without time-out and with nothing on the way re-checks this often.
constexpr int64_t kIdleStepUs = 10000;
constexpr uint32_t kMaxBaud = 3000000;
constexpr uint8_t kStopBits2 = 2;

std::string Hex(const uint8_t* bytes, size_t count) {
  std::string s;
  s.reserve(count * 3);
  char buf[4];
  for (size_t i = 0; i < count; ++i) {
    std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
    s += buf;
  }
  return s;
}

void CopyText(const std::string& text, char* out) {
  const size_t n = std::min(text.size(), static_cast<size_t>(kFtStringSize - 1));
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

}  // namespace

TSimD2xx::TSimD2xx(TClock& clock, TSimBusConfig config) : clock_(clock), config_(config) {}

TSimD2xx::~TSimD2xx() = default;

FT_STATUS TSimD2xx::Lookup(FT_HANDLE handle, THandle** h) {
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (!handle || it == handles_.end()) return FT_INVALID_HANDLE;
  if (it->second.dead) return FT_IO_ERROR;
  *h = &it->second;
  return FT_OK;
}

void TSimD2xx::Run(TDevice& d, int64_t nowUs) { d.wire.Run(nowUs, d.silent ? nullptr : d.reader); }

// ---------------------------------------------------------------- TD2xx

FT_STATUS TSimD2xx::ListDevices(void* arg1, void* arg2, uint32_t flags) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  FT_STATUS status = FT_OK;
  const TD2xxCall call = TD2xxCall::ListDevices;
  char flagText[16];
  std::snprintf(flagText, sizeof flagText, "0x%08X", static_cast<unsigned>(flags));
  if (recorder_.Forced(call, &status)) return recorder_.Finish(call, status, t0, flagText);
  const std::vector<TDevice*> list = Listed();
  const uint32_t which = flags & (FT_OPEN_BY_SERIAL_NUMBER | FT_OPEN_BY_DESCRIPTION);
  if (flags & FT_LIST_NUMBER_ONLY) {
    if (!arg1) return recorder_.Finish(call, FT_INVALID_PARAMETER, t0, flagText);
    *static_cast<uint32_t*>(arg1) = static_cast<uint32_t>(list.size());
    return recorder_.Finish(call, FT_OK, t0, std::string(flagText) + " -> " + std::to_string(list.size()));
  }
  if (which != FT_OPEN_BY_SERIAL_NUMBER && which != FT_OPEN_BY_DESCRIPTION) {
    return recorder_.Finish(call, FT_INVALID_PARAMETER, t0, flagText);
  }
  auto text = [&](const TDevice* d) -> const std::string& {
    return which == FT_OPEN_BY_SERIAL_NUMBER ? d->serial : d->description;
  };
  if (flags & FT_LIST_BY_INDEX) {
    const uintptr_t index = reinterpret_cast<uintptr_t>(arg1);
    const std::string detail = std::string(flagText) + " #" + std::to_string(index);
    if (!arg2) return recorder_.Finish(call, FT_INVALID_PARAMETER, t0, detail);
    if (index >= list.size()) return recorder_.Finish(call, FT_DEVICE_NOT_FOUND, t0, detail);
    CopyText(text(list[index]), static_cast<char*>(arg2));
    return recorder_.Finish(call, FT_OK, t0, detail + " -> " + text(list[index]));
  }
  if (flags & FT_LIST_ALL) {
    // arg1: array of buffer pointers (one per device), arg2: the count.
    if (!arg1 || !arg2) return recorder_.Finish(call, FT_INVALID_PARAMETER, t0, flagText);
    char** buffers = static_cast<char**>(arg1);
    for (size_t i = 0; i < list.size(); ++i) {
      if (buffers[i]) CopyText(text(list[i]), buffers[i]);
    }
    *static_cast<uint32_t*>(arg2) = static_cast<uint32_t>(list.size());
    return recorder_.Finish(call, FT_OK, t0, std::string(flagText) + " -> " + std::to_string(list.size()));
  }
  return recorder_.Finish(call, FT_INVALID_PARAMETER, t0, flagText);
}

FT_STATUS TSimD2xx::OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::OpenEx;
  const std::string key = arg ? static_cast<const char*>(arg) : "";
  FT_STATUS status = FT_OK;
  if (recorder_.Forced(call, &status)) return recorder_.Finish(call, status, t0, key);
  if (!arg || !handle || (flags != FT_OPEN_BY_SERIAL_NUMBER && flags != FT_OPEN_BY_DESCRIPTION)) {
    return recorder_.Finish(call, FT_INVALID_PARAMETER, t0, key);
  }
  TDevice* d = FindDevice(key, flags == FT_OPEN_BY_DESCRIPTION);
  if (!d || !d->plugged) return recorder_.Finish(call, FT_DEVICE_NOT_FOUND, t0, key);
  if (d->openHandle) return recorder_.Finish(call, FT_DEVICE_NOT_OPENED, t0, key);
  // Fresh handle: default line settings and latency timer, no time-outs,
  // nothing stale to read.
  Run(*d, t0);
  d->wire.toHost.Clear();
  d->wire.settings = TSimLineSettings{};
  const uintptr_t id = nextHandle_++;
  handles_[id] = THandle{d};
  d->openHandle = id;
  *handle = reinterpret_cast<FT_HANDLE>(id);
  return recorder_.Finish(call, FT_OK, t0, key);
}

FT_STATUS TSimD2xx::SetBaudRate(FT_HANDLE handle, uint32_t baud) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::SetBaudRate;
  const std::string detail = std::to_string(baud);
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  if (recorder_.Forced(call, &status)) return recorder_.Finish(call, status, t0, detail);
  if ((status = Lookup(handle, &h)) != FT_OK) return recorder_.Finish(call, status, t0, detail);
  if (baud == 0 || baud > kMaxBaud) return recorder_.Finish(call, FT_INVALID_BAUD_RATE, t0, detail);
  Run(*h->device, t0);
  h->device->wire.settings.baud = baud;
  return recorder_.Finish(call, FT_OK, t0, detail);
}

FT_STATUS TSimD2xx::SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                           uint8_t parity) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::SetDataCharacteristics;
  const std::string detail = std::to_string(wordLength) + "," + std::to_string(stopBits) + "," + std::to_string(parity);
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  if (recorder_.Forced(call, &status)) return recorder_.Finish(call, status, t0, detail);
  if ((status = Lookup(handle, &h)) != FT_OK) return recorder_.Finish(call, status, t0, detail);
  if ((wordLength != 7 && wordLength != 8) || (stopBits != FT_STOP_BITS_1 && stopBits != kStopBits2) || parity > 4) {
    return recorder_.Finish(call, FT_INVALID_PARAMETER, t0, detail);
  }
  Run(*h->device, t0);
  TSimLineSettings& settings = h->device->wire.settings;
  settings.wordLength = wordLength;
  settings.stopBits = stopBits;
  settings.parity = parity;
  return recorder_.Finish(call, FT_OK, t0, detail);
}

FT_STATUS TSimD2xx::SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::SetFlowControl;
  char detail[32];
  std::snprintf(detail, sizeof detail, "0x%04X,%u,%u", flow, xon, xoff);
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  if (recorder_.Forced(call, &status)) return recorder_.Finish(call, status, t0, detail);
  if ((status = Lookup(handle, &h)) != FT_OK) return recorder_.Finish(call, status, t0, detail);
  return recorder_.Finish(call, FT_OK, t0, detail);  // the readers use no flow control; any setting is accepted
}

FT_STATUS TSimD2xx::SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::SetTimeouts;
  const std::string detail = std::to_string(readMs) + "," + std::to_string(writeMs);
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  if (recorder_.Forced(call, &status)) return recorder_.Finish(call, status, t0, detail);
  if ((status = Lookup(handle, &h)) != FT_OK) return recorder_.Finish(call, status, t0, detail);
  h->readTimeoutMs = readMs;
  h->writeTimeoutMs = writeMs;
  return recorder_.Finish(call, FT_OK, t0, detail);
}

FT_STATUS TSimD2xx::SetLatencyTimer(FT_HANDLE handle, uint8_t ms) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::SetLatencyTimer;
  const std::string detail = std::to_string(ms);
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  if (recorder_.Forced(call, &status)) return recorder_.Finish(call, status, t0, detail);
  if ((status = Lookup(handle, &h)) != FT_OK) return recorder_.Finish(call, status, t0, detail);
  if (ms < kMinLatencyMs) return recorder_.Finish(call, FT_INVALID_PARAMETER, t0, detail);
  Run(*h->device, t0);
  h->device->wire.SetLatency(ms, t0);
  return recorder_.Finish(call, FT_OK, t0, detail);
}

FT_STATUS TSimD2xx::Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::Write;
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  if (written) *written = 0;
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  auto detail = [&] { return recorder_.Recording() && bytes ? Hex(bytes, count) : std::string(); };
  if (recorder_.Forced(call, &status)) return recorder_.Finish(call, status, t0, detail());
  if ((status = Lookup(handle, &h)) != FT_OK) return recorder_.Finish(call, status, t0, detail());
  if ((!buffer && count) || !written) return recorder_.Finish(call, FT_INVALID_PARAMETER, t0, detail());
  TDevice& d = *h->device;
  Run(d, t0);
  const uint32_t n = recorder_.WriteCount(count);
  d.wire.Write(bytes, n, t0);
  *written = n;
  return recorder_.Finish(call, FT_OK, t0, detail());
}

FT_STATUS TSimD2xx::Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) {
  const int64_t t0 = clock_.NowUs();
  std::unique_lock<std::mutex> lock(mutex_);
  const TD2xxCall call = TD2xxCall::Read;
  if (received) *received = 0;
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  const std::string want = std::to_string(count);
  if (recorder_.Forced(call, &status)) return recorder_.Finish(call, status, t0, want);
  if ((status = Lookup(handle, &h)) != FT_OK) return recorder_.Finish(call, status, t0, want);
  if ((!buffer && count) || !received) return recorder_.Finish(call, FT_INVALID_PARAMETER, t0, want);
  const int64_t deadline = h->readTimeoutMs ? t0 + int64_t{h->readTimeoutMs} * 1000 : kForever;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  for (;;) {
    TDevice& d = *h->device;
    const int64_t now = clock_.NowUs();
    Run(d, now);
    const size_t ready = d.wire.Readable(now, count);
    if (ready >= count || now >= deadline) {
      d.wire.TakeReadable(out, ready);
      *received = static_cast<uint32_t>(ready);
      std::string detail = recorder_.Recording() ? want + "/" + std::to_string(ready) + " " + Hex(out, ready) : "";
      return recorder_.Finish(call, FT_OK, t0, std::move(detail));
    }
    // Sleep to the next wire event: a byte reaching the reader (it may answer),
    // one reaching the converter or its latency timer running out, or the time-out.
    int64_t next = deadline;
    if (std::optional<int64_t> t = d.wire.toReader.ArrivalUs(0)) next = std::min(next, *t);
    if (std::optional<int64_t> t = d.wire.NextReadableUs(now)) next = std::min(next, *t);
    if (next == kForever) next = now + kIdleStepUs;
    lock.unlock();
    clock_.SleepUntilUs(next);
    lock.lock();
    // The handle may have been closed, or its device unplugged, meanwhile.
    if ((status = Lookup(handle, &h)) != FT_OK) return recorder_.Finish(call, status, t0, want);
  }
}

FT_STATUS TSimD2xx::Close(FT_HANDLE handle) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::Close;
  FT_STATUS status = FT_OK;
  if (recorder_.Forced(call, &status)) return recorder_.Finish(call, status, t0, "");
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (!handle || it == handles_.end()) return recorder_.Finish(call, FT_INVALID_HANDLE, t0, "");
  TDevice* d = it->second.device;
  if (!it->second.dead && d->openHandle == it->first) {
    Run(*d, t0);
    d->openHandle = 0;
  }
  handles_.erase(it);
  return recorder_.Finish(call, FT_OK, t0, "");
}

}  // namespace snimac::sim
