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

void TSimLine::Send(const uint8_t* bytes, size_t count, int64_t startUs, int64_t byteUs, int64_t delayUs,
                    bool arrive, TSimFaultModel& faults, TSimDirection direction) {
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
      bytes_.push_back({t + delayUs, fb});
      ++delivered_;
    }
  }
  freeUs_ = t;
}

std::optional<int64_t> TSimLine::ArrivalUs(size_t index) const {
  if (index >= bytes_.size()) return std::nullopt;
  return bytes_[index].timeUs;
}

size_t TSimLine::Arrived(int64_t nowUs, size_t most) const {
  size_t n = 0;
  while (n < bytes_.size() && n < most && bytes_[n].timeUs <= nowUs) ++n;
  return n;
}

void TSimLine::Take(uint8_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) out[i] = bytes_[i].byte;
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count));
}

std::optional<TSimTimedByte> TSimLine::PopArrived(int64_t nowUs) {
  if (bytes_.empty() || bytes_.front().timeUs > nowUs) return std::nullopt;
  const TSimTimedByte first = bytes_.front();
  bytes_.pop_front();
  return first;
}

void TSimLine::Drop() {
  bytes_.clear();
  freeUs_ = 0;
}

// ---------------------------------------------------------------- wire

void TSimWire::Write(const uint8_t* bytes, size_t count, int64_t nowUs) {
  toReader.Send(bytes, count, nowUs, settings.ByteTimeUs(), 0, settings.Matches(config_.readerBaud), faults_,
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
                config_.latencyUs, settings.Matches(config_.readerBaud), faults_, TSimDirection::ToHost);
  }
}

void TSimWire::Drop() {
  toReader.Drop();
  toHost.Drop();
}

}  // namespace snimac::sim
