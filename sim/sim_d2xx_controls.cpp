// TSimD2xx's controls for tests and tools: devices behind the converters,
// plugging, silent readers, faults and the call record, each under the bus lock.
#include "sim/sim_d2xx.h"

#include <utility>

namespace snimac::sim {

// ---------------------------------------------------------------- devices

TSimReader& TSimD2xx::AddDevice(const std::string& description, const std::string& serial,
                                TSimReaderConfig config) {
  auto owned = std::make_unique<TSimReader>(std::move(config));
  TSimReader& reader = *owned;
  std::lock_guard<std::mutex> guard(mutex_);
  TDevice& d = NewDevice(description, serial);
  d.reader = owned.get();
  d.owned = std::move(owned);
  return reader;
}

void TSimD2xx::AddDevice(const std::string& description, const std::string& serial, TSimReader* reader) {
  std::lock_guard<std::mutex> guard(mutex_);
  NewDevice(description, serial).reader = reader;
}

TSimD2xx::TDevice& TSimD2xx::NewDevice(const std::string& description, const std::string& serial) {
  auto d = std::make_unique<TDevice>(config_, faults_);
  d->description = description;
  d->serial = serial;
  devices_.push_back(std::move(d));
  return *devices_.back();
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

bool TSimD2xx::Unplug(const std::string& serial) {
  std::lock_guard<std::mutex> guard(mutex_);
  TDevice* d = FindDevice(serial, false);
  if (!d) return false;
  d->plugged = false;
  d->wire.Drop();
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
    d->wire.Drop();
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
  return d ? d->wire.toReader.Delivered() : 0;
}

uint64_t TSimD2xx::BytesToHost(const std::string& serial) {
  std::lock_guard<std::mutex> guard(mutex_);
  TDevice* d = FindDevice(serial, false);
  return d ? d->wire.toHost.Delivered() : 0;
}

// ---------------------------------------------------------------- faults, recording

void TSimD2xx::SetSeed(uint32_t seed) {
  std::lock_guard<std::mutex> guard(mutex_);
  faults_.Seed(seed);
}

void TSimD2xx::SetFaults(TSimFaults faults, TSimDirection direction) {
  std::lock_guard<std::mutex> guard(mutex_);
  faults_.Set(faults, direction);
}

TSimFaultCounts TSimD2xx::FaultCounts() {
  std::lock_guard<std::mutex> guard(mutex_);
  return faults_.Counts();
}

void TSimD2xx::FailCall(TD2xxCall call, FT_STATUS status, int times) {
  std::lock_guard<std::mutex> guard(mutex_);
  recorder_.Fail(call, status, times);
}

void TSimD2xx::ClearFailures() {
  std::lock_guard<std::mutex> guard(mutex_);
  recorder_.ClearFailures();
}

void TSimD2xx::ShortWrite(uint32_t count, int times) {
  std::lock_guard<std::mutex> guard(mutex_);
  recorder_.ShortWrite(count, times);
}

void TSimD2xx::SetRecording(bool on) {
  std::lock_guard<std::mutex> guard(mutex_);
  recorder_.SetRecording(on);
}

std::vector<TSimCallRecord> TSimD2xx::Calls() {
  std::lock_guard<std::mutex> guard(mutex_);
  return recorder_.Calls();
}

void TSimD2xx::ClearCalls() {
  std::lock_guard<std::mutex> guard(mutex_);
  recorder_.ClearCalls();
}

uint64_t TSimD2xx::CallCount(TD2xxCall call) {
  std::lock_guard<std::mutex> guard(mutex_);
  return recorder_.CallCount(call);
}

}  // namespace snimac::sim
