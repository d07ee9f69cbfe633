#include "sim/sim_wire.h"

#include <algorithm>
#include <vector>

#include "sim/sim_reader.h"

namespace snimac::sim {

namespace {

constexpr uint8_t kStopBits2 = 2;

}  // namespace

int64_t TSimLineSettings::ByteTimeUs() const {
  const int64_t bits = 1 + wordLength + (stopBits == kStopBits2 ? 2 : 1) + (parity ? 1 : 0);
  const int64_t rate = baud ? baud : 9600;
  return (bits * 1000000 + rate / 2) / rate;
}

bool TSimLineSettings::Matches(uint32_t readerBaud) const {
  return baud == readerBaud && wordLength == FT_BITS_8 && stopBits == FT_STOP_BITS_1 && parity == FT_PARITY_NONE;
}

// ---------------------------------------------------------------- line

void TSimLine::Send(const uint8_t* bytes, size_t count, int64_t startUs, int64_t byteUs, bool arrive,
                    TSimFaultModel& faults, TSimDirection direction) {
  int64_t t = std::max(startUs, freeUs_);
  std::vector<uint8_t> faulted;
  for (size_t i = 0; i < count; ++i) {
    faulted.clear();
    faults.Apply(bytes[i], direction, faulted);
    if (faulted.empty()) {
      t += byteUs;  // lost, but its time on the line passes
      continue;
    }
    for (uint8_t fb : faulted) {
      t += byteUs;
      if (!arrive) continue;
      bytes_.push_back({t, fb});
      ++delivered_;
    }
  }
  freeUs_ = t;
}

std::optional<int64_t> TSimLine::ArrivalUs(size_t index) const {
  if (index >= bytes_.size()) return std::nullopt;
  return bytes_[index].timeUs;
}

std::optional<size_t> TSimLine::ChunkEnd(int64_t nowUs, int64_t timerUs, int64_t* nextUs) const {
  for (size_t j = released_; j < bytes_.size(); ++j) {
    const int64_t at = bytes_[j].timeUs;
    if (at > nowUs) {  // not at the converter yet
      if (nextUs) *nextUs = at;
      return std::nullopt;
    }
    if (j + 1 - released_ == kConverterPacketBytes) return j + 1;  // a full packet goes at once
    const int64_t expiry = at + timerUs;
    if (j + 1 < bytes_.size() && bytes_[j + 1].timeUs < expiry) continue;  // the next byte restarts the timer
    if (expiry <= nowUs) return j + 1;
    if (nextUs) *nextUs = expiry;
    return std::nullopt;
  }
  return std::nullopt;
}

size_t TSimLine::HandedOver(int64_t nowUs, int64_t timerUs, size_t most) {
  while (const std::optional<size_t> end = ChunkEnd(nowUs, timerUs, nullptr)) released_ = *end;
  return std::min(released_, most);
}

std::optional<int64_t> TSimLine::NextHandOverUs(int64_t nowUs, int64_t timerUs) const {
  int64_t next = 0;
  if (ChunkEnd(nowUs, timerUs, &next)) return nowUs;
  if (released_ == bytes_.size()) return std::nullopt;
  return next;
}

void TSimLine::Take(uint8_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) out[i] = bytes_[i].byte;
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count));
  released_ -= std::min(released_, count);
}

std::optional<TSimTimedByte> TSimLine::PopArrived(int64_t nowUs) {
  if (bytes_.empty() || bytes_.front().timeUs > nowUs) return std::nullopt;
  const TSimTimedByte first = bytes_.front();
  bytes_.pop_front();
  return first;
}

void TSimLine::Clear() {
  bytes_.clear();
  released_ = 0;
}

void TSimLine::Drop() {
  Clear();
  freeUs_ = 0;
}

// ---------------------------------------------------------------- wire

void TSimWire::Write(const uint8_t* bytes, size_t count, int64_t nowUs) {
  toReader.Send(bytes, count, nowUs, settings.ByteTimeUs(), settings.Matches(config_.readerBaud), faults_,
                TSimDirection::ToReader);
}

void TSimWire::Run(int64_t nowUs, TSimReader* reader) {
  while (std::optional<TSimTimedByte> in = toReader.PopArrived(nowUs)) {
    if (!reader) continue;
    reader->OnByte(in->byte, in->timeUs);  // the reader's flash and restart times run on the wire's
    const std::vector<uint8_t> answer = reader->TakeOutput();
    if (answer.empty()) continue;
    // The answer goes out after the reader's processing time, byte by byte.
    toHost.Send(answer.data(), answer.size(), in->timeUs + config_.processingUs, settings.ByteTimeUs(),
                settings.Matches(config_.readerBaud), faults_, TSimDirection::ToHost);
  }
}

void TSimWire::SetLatency(uint8_t ms, int64_t nowUs) {
  Readable(nowUs, 0);  // the old timer hands over what it has by now
  settings.latencyMs = ms;
}

void TSimWire::Drop() {
  toReader.Drop();
  toHost.Drop();
}

}  // namespace snimac::sim
