#include "tools/fault_campaign/fault_schedule.h"

#include <cmath>

namespace snimac::campaign {

namespace {

constexpr double kMeanQuietSeconds = 300;

}  // namespace

const char* LinkFaultName(TLinkFault fault) {
  switch (fault) {
    case TLinkFault::Noise: return "noise";
    case TLinkFault::Silence: return "silence";
    case TLinkFault::Unplug: return "unplug";
  }
  return "?";
}

int64_t TFaultSchedule::Seconds(double low, double high) {
  return static_cast<int64_t>(std::uniform_real_distribution<double>(low, high)(rng_) * 1e6);
}

int64_t TFaultSchedule::QuietSpell() {
  const double seconds = std::exponential_distribution<double>(1.0 / kMeanQuietSeconds)(rng_);
  return static_cast<int64_t>((5 + seconds) * 1e6);
}

TLinkEpisode TFaultSchedule::NextLink(int64_t afterUs) {
  TLinkEpisode e;
  e.startUs = afterUs + QuietSpell();
  const int kind = std::uniform_int_distribution<int>(0, 9)(rng_);
  if (kind < 5) {
    e.kind = TLinkFault::Noise;
    e.endUs = e.startUs + Seconds(5, 600);
    // Per-byte rates from one in ten thousand to one in thirty, log-uniform.
    auto rate = [this] { return std::pow(10.0, std::uniform_real_distribution<double>(-4.0, -1.5)(rng_)); };
    e.faults = {rate(), rate(), rate()};
    const int direction = std::uniform_int_distribution<int>(1, 3)(rng_);
    e.direction = static_cast<sim::TSimDirection>(direction);
  } else if (kind < 8) {
    e.kind = TLinkFault::Silence;
    e.endUs = e.startUs + Seconds(0.2, 90);
  } else {
    e.kind = TLinkFault::Unplug;
    e.endUs = e.startUs + Seconds(0.5, 120);
  }
  return e;
}

TOutputEpisode TFaultSchedule::NextOutput(int64_t afterUs) {
  TOutputEpisode e;
  e.startUs = afterUs + QuietSpell();
  e.endUs = e.startUs + Seconds(5, 1200);
  static const sim::TSimServerMode kModes[] = {sim::TSimServerMode::Down, sim::TSimServerMode::Unreachable,
                                               sim::TSimServerMode::Slow, sim::TSimServerMode::Garbage,
                                               sim::TSimServerMode::ClosesEarly};
  e.serverMode = kModes[std::uniform_int_distribution<int>(0, 4)(rng_)];
  // A full disk matters only while the server fails too: then reads go to the file.
  e.diskFull = std::uniform_int_distribution<int>(0, 2)(rng_) == 0;
  e.roomBytes = std::uniform_int_distribution<size_t>(0, 80)(rng_);
  return e;
}

}  // namespace snimac::campaign
