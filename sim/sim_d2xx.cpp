#include "sim/sim_d2xx.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
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

const char* D2xxCallName(TD2xxCall call) {
  switch (call) {
    case TD2xxCall::ListDevices: return "FT_ListDevices";
    case TD2xxCall::OpenEx: return "FT_OpenEx";
    case TD2xxCall::SetBaudRate: return "FT_SetBaudRate";
    case TD2xxCall::SetDataCharacteristics: return "FT_SetDataCharacteristics";
    case TD2xxCall::SetFlowControl: return "FT_SetFlowControl";
    case TD2xxCall::SetTimeouts: return "FT_SetTimeouts";
    case TD2xxCall::Write: return "FT_Write";
    case TD2xxCall::Read: return "FT_Read";
    case TD2xxCall::Close: return "FT_Close";
  }
  return "?";
}

TSimD2xx::TSimD2xx(TClock& clock, TSimBusConfig config) : clock_(clock), config_(config) {}

TSimD2xx::~TSimD2xx() = default;

// ---------------------------------------------------------------- devices

TSimReader& TSimD2xx::AddDevice(const std::string& description, const std::string& serial,
                                TSimReaderConfig config) {
  auto owned = std::make_unique<TSimReader>(std::move(config));
  TSimReader& reader = *owned;
  std::lock_guard<std::mutex> guard(mutex_);
  auto d = std::make_unique<TDevice>();
  d->description = description;
  d->serial = serial;
  d->reader = owned.get();
  d->owned = std::move(owned);
  devices_.push_back(std::move(d));
  return reader;
}

void TSimD2xx::AddDevice(const std::string& description, const std::string& serial, TSimReader* reader) {
  std::lock_guard<std::mutex> guard(mutex_);
  auto d = std::make_unique<TDevice>();
  d->description = description;
  d->serial = serial;
  d->reader = reader;
  devices_.push_back(std::move(d));
}

TSimD2xx::TDevice* TSimD2xx::FindDevice(const std::string& key, bool byDescription) {
  for (auto& d : devices_) {
    if ((byDescription ? d->description : d->serial) == key) return d.get();
  }
  return nullptr;
}

std::vector<TSimD2xx::TDevice*> TSimD2xx::Listed() {
  std::vector<TDevice*> list;
  for (auto& d : devices_) {
    if (d->plugged) list.push_back(d.get());
  }
  return list;
}

TSimReader* TSimD2xx::Reader(const std::string& serial) {
  std::lock_guard<std::mutex> guard(mutex_);
  TDevice* d = FindDevice(serial, false);
  return d ? d->reader : nullptr;
}

void TSimD2xx::Drop(TDevice& d) {
  d.toReader.clear();
  d.toHost.clear();
  d.toReaderFreeUs = 0;
  d.toHostFreeUs = 0;
}

bool TSimD2xx::Unplug(const std::string& serial) {
  std::lock_guard<std::mutex> guard(mutex_);
  TDevice* d = FindDevice(serial, false);
  if (!d) return false;
  d->plugged = false;
  Drop(*d);
  if (d->openHandle) {
    handles_.at(d->openHandle).dead = true;
    d->openHandle = 0;
  }
  return true;
}

bool TSimD2xx::Replug(const std::string& serial, bool resetReader) {
  std::lock_guard<std::mutex> guard(mutex_);
  TDevice* d = FindDevice(serial, false);
  if (!d) return false;
  if (!d->plugged) {
    d->plugged = true;
    Drop(*d);
    if (resetReader && d->reader) d->reader->PowerCycle();
  }
  return true;
}

bool TSimD2xx::SetSilent(const std::string& serial, bool silent) {
  std::lock_guard<std::mutex> guard(mutex_);
  TDevice* d = FindDevice(serial, false);
  if (!d) return false;
  d->silent = silent;
  return true;
}

bool TSimD2xx::IsOpen(const std::string& serial) {
  std::lock_guard<std::mutex> guard(mutex_);
  TDevice* d = FindDevice(serial, false);
  return d && d->openHandle != 0;
}

uint64_t TSimD2xx::BytesToReader(const std::string& serial) {
  std::lock_guard<std::mutex> guard(mutex_);
  TDevice* d = FindDevice(serial, false);
  return d ? d->bytesToReader : 0;
}

uint64_t TSimD2xx::BytesToHost(const std::string& serial) {
  std::lock_guard<std::mutex> guard(mutex_);
  TDevice* d = FindDevice(serial, false);
  return d ? d->bytesToHost : 0;
}

// ---------------------------------------------------------------- faults, recording

void TSimD2xx::SetSeed(uint32_t seed) {
  std::lock_guard<std::mutex> guard(mutex_);
  rng_.seed(seed);
}

void TSimD2xx::SetFaults(TSimFaults faults, TSimDirection direction) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (static_cast<int>(direction) & static_cast<int>(TSimDirection::ToReader)) toReaderFaults_ = faults;
  if (static_cast<int>(direction) & static_cast<int>(TSimDirection::ToHost)) toHostFaults_ = faults;
}

TSimFaultCounts TSimD2xx::FaultCounts() {
  std::lock_guard<std::mutex> guard(mutex_);
  return faultCounts_;
}

void TSimD2xx::FailCall(TD2xxCall call, FT_STATUS status, int times) {
  std::lock_guard<std::mutex> guard(mutex_);
  failures_[static_cast<int>(call)] = {status, times};
}

void TSimD2xx::ClearFailures() {
  std::lock_guard<std::mutex> guard(mutex_);
  for (TFailure& f : failures_) f = {};
  shortWriteTimes_ = 0;
}

void TSimD2xx::ShortWrite(uint32_t count, int times) {
  std::lock_guard<std::mutex> guard(mutex_);
  shortWriteCount_ = count;
  shortWriteTimes_ = times;
}

void TSimD2xx::SetRecording(bool on) {
  std::lock_guard<std::mutex> guard(mutex_);
  recording_ = on;
}

std::vector<TSimCallRecord> TSimD2xx::Calls() {
  std::lock_guard<std::mutex> guard(mutex_);
  return calls_;
}

void TSimD2xx::ClearCalls() {
  std::lock_guard<std::mutex> guard(mutex_);
  calls_.clear();
}

uint64_t TSimD2xx::CallCount(TD2xxCall call) {
  std::lock_guard<std::mutex> guard(mutex_);
  return callCounts_[static_cast<int>(call)];
}

bool TSimD2xx::Forced(TD2xxCall call, FT_STATUS* status) {
  ++callCounts_[static_cast<int>(call)];
  TFailure& f = failures_[static_cast<int>(call)];
  if (f.times == 0) return false;
  if (f.times > 0) --f.times;
  *status = f.status;
  return true;
}

FT_STATUS TSimD2xx::Finish(TD2xxCall call, FT_STATUS status, int64_t timeUs, std::string detail) {
  if (recording_) calls_.push_back({call, status, timeUs, std::move(detail)});
  return status;
}

FT_STATUS TSimD2xx::Lookup(FT_HANDLE handle, THandle** h) {
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (!handle || it == handles_.end()) return FT_INVALID_HANDLE;
  if (it->second.dead) return FT_IO_ERROR;
  *h = &it->second;
  return FT_OK;
}

// ---------------------------------------------------------------- wire

int64_t TSimD2xx::ByteTimeUs(const TDevice& d) const {
  const int64_t bits = 1 + d.wordLength + (d.stopBits == kStopBits2 ? 2 : 1) + (d.parity ? 1 : 0);
  const int64_t baud = d.baud ? d.baud : 9600;
  return (bits * 1000000 + baud / 2) / baud;
}

bool TSimD2xx::LineMatches(const TDevice& d) const {
  return d.baud == config_.readerBaud && d.wordLength == FT_BITS_8 && d.stopBits == FT_STOP_BITS_1 &&
         d.parity == FT_PARITY_NONE;
}

void TSimD2xx::ApplyFaults(uint8_t byte, bool toReader, std::vector<uint8_t>& out) {
  const TSimFaults& f = toReader ? toReaderFaults_ : toHostFaults_;
  if (f.lose <= 0 && f.flip <= 0 && f.duplicate <= 0) {
    out.push_back(byte);
    return;
  }
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  if (f.lose > 0 && chance(rng_) < f.lose) {
    ++faultCounts_.lost;
    return;
  }
  if (f.flip > 0 && chance(rng_) < f.flip) {
    ++faultCounts_.flipped;
    byte ^= static_cast<uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(rng_));
  }
  out.push_back(byte);
  if (f.duplicate > 0 && chance(rng_) < f.duplicate) {
    ++faultCounts_.duplicated;
    out.push_back(byte);
  }
}

void TSimD2xx::Advance(TDevice& d, int64_t nowUs) {
  std::vector<uint8_t> faulted;
  while (!d.toReader.empty() && d.toReader.front().timeUs <= nowUs) {
    const TTimedByte tb = d.toReader.front();
    d.toReader.pop_front();
    if (!d.reader || d.silent) continue;
    d.reader->OnByte(tb.byte, tb.timeUs);  // the reader's flash and restart times run on the wire's
    std::vector<uint8_t> answer = d.reader->TakeOutput();
    if (answer.empty()) continue;
    // The answer goes out after the reader's processing time, byte by byte.
    const int64_t byteUs = ByteTimeUs(d);
    const bool matches = LineMatches(d);
    int64_t t = std::max(tb.timeUs + config_.processingUs, d.toHostFreeUs);
    for (uint8_t b : answer) {
      faulted.clear();
      ApplyFaults(b, false, faulted);
      if (faulted.empty()) {
        t += byteUs;  // lost, but its time on the line passes
        continue;
      }
      for (uint8_t fb : faulted) {
        t += byteUs;
        if (!matches) continue;
        d.toHost.push_back({t + config_.latencyUs, fb});
        ++d.bytesToHost;
      }
    }
    d.toHostFreeUs = t;
  }
}

// ---------------------------------------------------------------- TD2xx

FT_STATUS TSimD2xx::ListDevices(void* arg1, void* arg2, uint32_t flags) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  FT_STATUS status = FT_OK;
  const TD2xxCall call = TD2xxCall::ListDevices;
  char flagText[16];
  std::snprintf(flagText, sizeof flagText, "0x%08X", static_cast<unsigned>(flags));
  if (Forced(call, &status)) return Finish(call, status, t0, flagText);
  const std::vector<TDevice*> list = Listed();
  const uint32_t which = flags & (FT_OPEN_BY_SERIAL_NUMBER | FT_OPEN_BY_DESCRIPTION);
  if (flags & FT_LIST_NUMBER_ONLY) {
    if (!arg1) return Finish(call, FT_INVALID_PARAMETER, t0, flagText);
    *static_cast<uint32_t*>(arg1) = static_cast<uint32_t>(list.size());
    return Finish(call, FT_OK, t0, std::string(flagText) + " -> " + std::to_string(list.size()));
  }
  if (which != FT_OPEN_BY_SERIAL_NUMBER && which != FT_OPEN_BY_DESCRIPTION) {
    return Finish(call, FT_INVALID_PARAMETER, t0, flagText);
  }
  auto text = [&](const TDevice* d) -> const std::string& {
    return which == FT_OPEN_BY_SERIAL_NUMBER ? d->serial : d->description;
  };
  if (flags & FT_LIST_BY_INDEX) {
    const uintptr_t index = reinterpret_cast<uintptr_t>(arg1);
    const std::string detail = std::string(flagText) + " #" + std::to_string(index);
    if (!arg2) return Finish(call, FT_INVALID_PARAMETER, t0, detail);
    if (index >= list.size()) return Finish(call, FT_DEVICE_NOT_FOUND, t0, detail);
    CopyText(text(list[index]), static_cast<char*>(arg2));
    return Finish(call, FT_OK, t0, detail + " -> " + text(list[index]));
  }
  if (flags & FT_LIST_ALL) {
    // arg1: array of buffer pointers (one per device), arg2: the count.
    if (!arg1 || !arg2) return Finish(call, FT_INVALID_PARAMETER, t0, flagText);
    char** buffers = static_cast<char**>(arg1);
    for (size_t i = 0; i < list.size(); ++i) {
      if (buffers[i]) CopyText(text(list[i]), buffers[i]);
    }
    *static_cast<uint32_t*>(arg2) = static_cast<uint32_t>(list.size());
    return Finish(call, FT_OK, t0, std::string(flagText) + " -> " + std::to_string(list.size()));
  }
  return Finish(call, FT_INVALID_PARAMETER, t0, flagText);
}

FT_STATUS TSimD2xx::OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::OpenEx;
  const std::string key = arg ? static_cast<const char*>(arg) : "";
  FT_STATUS status = FT_OK;
  if (Forced(call, &status)) return Finish(call, status, t0, key);
  if (!arg || !handle || (flags != FT_OPEN_BY_SERIAL_NUMBER && flags != FT_OPEN_BY_DESCRIPTION)) {
    return Finish(call, FT_INVALID_PARAMETER, t0, key);
  }
  TDevice* d = FindDevice(key, flags == FT_OPEN_BY_DESCRIPTION);
  if (!d || !d->plugged) return Finish(call, FT_DEVICE_NOT_FOUND, t0, key);
  if (d->openHandle) return Finish(call, FT_DEVICE_NOT_OPENED, t0, key);
  // Fresh handle: default line settings, no time-outs, nothing stale to read.
  Advance(*d, t0);
  d->toHost.clear();
  d->baud = 9600;
  d->wordLength = FT_BITS_8;
  d->stopBits = FT_STOP_BITS_1;
  d->parity = FT_PARITY_NONE;
  const uintptr_t id = nextHandle_++;
  handles_[id] = THandle{d};
  d->openHandle = id;
  *handle = reinterpret_cast<FT_HANDLE>(id);
  return Finish(call, FT_OK, t0, key);
}

FT_STATUS TSimD2xx::SetBaudRate(FT_HANDLE handle, uint32_t baud) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::SetBaudRate;
  const std::string detail = std::to_string(baud);
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  if (Forced(call, &status)) return Finish(call, status, t0, detail);
  if ((status = Lookup(handle, &h)) != FT_OK) return Finish(call, status, t0, detail);
  if (baud == 0 || baud > kMaxBaud) return Finish(call, FT_INVALID_BAUD_RATE, t0, detail);
  Advance(*h->device, t0);
  h->device->baud = baud;
  return Finish(call, FT_OK, t0, detail);
}

FT_STATUS TSimD2xx::SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                           uint8_t parity) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::SetDataCharacteristics;
  const std::string detail = std::to_string(wordLength) + "," + std::to_string(stopBits) + "," + std::to_string(parity);
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  if (Forced(call, &status)) return Finish(call, status, t0, detail);
  if ((status = Lookup(handle, &h)) != FT_OK) return Finish(call, status, t0, detail);
  if ((wordLength != 7 && wordLength != 8) || (stopBits != FT_STOP_BITS_1 && stopBits != kStopBits2) || parity > 4) {
    return Finish(call, FT_INVALID_PARAMETER, t0, detail);
  }
  Advance(*h->device, t0);
  h->device->wordLength = wordLength;
  h->device->stopBits = stopBits;
  h->device->parity = parity;
  return Finish(call, FT_OK, t0, detail);
}

FT_STATUS TSimD2xx::SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::SetFlowControl;
  char detail[32];
  std::snprintf(detail, sizeof detail, "0x%04X,%u,%u", flow, xon, xoff);
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  if (Forced(call, &status)) return Finish(call, status, t0, detail);
  if ((status = Lookup(handle, &h)) != FT_OK) return Finish(call, status, t0, detail);
  return Finish(call, FT_OK, t0, detail);  // the readers use no flow control; any setting is accepted
}

FT_STATUS TSimD2xx::SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::SetTimeouts;
  const std::string detail = std::to_string(readMs) + "," + std::to_string(writeMs);
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  if (Forced(call, &status)) return Finish(call, status, t0, detail);
  if ((status = Lookup(handle, &h)) != FT_OK) return Finish(call, status, t0, detail);
  h->readTimeoutMs = readMs;
  h->writeTimeoutMs = writeMs;
  return Finish(call, FT_OK, t0, detail);
}

FT_STATUS TSimD2xx::Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::Write;
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  if (written) *written = 0;
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  auto detail = [&] { return recording_ && bytes ? Hex(bytes, count) : std::string(); };
  if (Forced(call, &status)) return Finish(call, status, t0, detail());
  if ((status = Lookup(handle, &h)) != FT_OK) return Finish(call, status, t0, detail());
  if ((!buffer && count) || !written) return Finish(call, FT_INVALID_PARAMETER, t0, detail());
  TDevice& d = *h->device;
  Advance(d, t0);
  uint32_t n = count;
  if (shortWriteTimes_ != 0) {
    if (shortWriteTimes_ > 0) --shortWriteTimes_;
    n = std::min(count, shortWriteCount_);
  }
  const int64_t byteUs = ByteTimeUs(d);
  const bool matches = LineMatches(d);
  int64_t t = std::max(t0, d.toReaderFreeUs);
  std::vector<uint8_t> faulted;
  for (uint32_t i = 0; i < n; ++i) {
    faulted.clear();
    ApplyFaults(bytes[i], true, faulted);
    if (faulted.empty()) {
      t += byteUs;
      continue;
    }
    for (uint8_t fb : faulted) {
      t += byteUs;
      if (!matches) continue;
      d.toReader.push_back({t, fb});
      ++d.bytesToReader;
    }
  }
  d.toReaderFreeUs = t;
  *written = n;
  return Finish(call, FT_OK, t0, detail());
}

FT_STATUS TSimD2xx::Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) {
  const int64_t t0 = clock_.NowUs();
  std::unique_lock<std::mutex> lock(mutex_);
  const TD2xxCall call = TD2xxCall::Read;
  if (received) *received = 0;
  FT_STATUS status = FT_OK;
  THandle* h = nullptr;
  const std::string want = std::to_string(count);
  if (Forced(call, &status)) return Finish(call, status, t0, want);
  if ((status = Lookup(handle, &h)) != FT_OK) return Finish(call, status, t0, want);
  if ((!buffer && count) || !received) return Finish(call, FT_INVALID_PARAMETER, t0, want);
  const int64_t deadline = h->readTimeoutMs ? t0 + int64_t{h->readTimeoutMs} * 1000 : kForever;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  for (;;) {
    TDevice& d = *h->device;
    const int64_t now = clock_.NowUs();
    Advance(d, now);
    size_t ready = 0;
    while (ready < d.toHost.size() && ready < count && d.toHost[ready].timeUs <= now) ++ready;
    if (ready >= count || now >= deadline) {
      for (size_t i = 0; i < ready; ++i) out[i] = d.toHost[i].byte;
      d.toHost.erase(d.toHost.begin(), d.toHost.begin() + static_cast<std::ptrdiff_t>(ready));
      *received = static_cast<uint32_t>(ready);
      return Finish(call, FT_OK, t0, recording_ ? want + "/" + std::to_string(ready) + " " + Hex(out, ready) : "");
    }
    // Sleep to the next wire event: a byte reaching the reader (it may answer),
    // the next byte becoming readable, or the time-out.
    int64_t next = deadline;
    if (!d.toReader.empty()) next = std::min(next, d.toReader.front().timeUs);
    if (ready < d.toHost.size()) next = std::min(next, d.toHost[ready].timeUs);
    if (next == kForever) next = now + kIdleStepUs;
    lock.unlock();
    clock_.SleepUntilUs(next);
    lock.lock();
    // The handle may have been closed, or its device unplugged, meanwhile.
    if ((status = Lookup(handle, &h)) != FT_OK) return Finish(call, status, t0, want);
  }
}

FT_STATUS TSimD2xx::Close(FT_HANDLE handle) {
  const int64_t t0 = clock_.NowUs();
  std::lock_guard<std::mutex> guard(mutex_);
  const TD2xxCall call = TD2xxCall::Close;
  FT_STATUS status = FT_OK;
  if (Forced(call, &status)) return Finish(call, status, t0, "");
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (!handle || it == handles_.end()) return Finish(call, FT_INVALID_HANDLE, t0, "");
  TDevice* d = it->second.device;
  if (!it->second.dead && d->openHandle == it->first) {
    Advance(*d, t0);
    d->openHandle = 0;
  }
  handles_.erase(it);
  return Finish(call, FT_OK, t0, "");
}

}  // namespace snimac::sim
