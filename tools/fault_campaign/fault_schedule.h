// The random faults of one run, drawn from its seed: episodes on the link
// (a noisy line, a silent reader, an unplugged reader) and on the outputs
// (a misbehaving attendance server, maybe with a full disk), each after a quiet spell.
// Episodes of one kind never overlap; link and output episodes may.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

#include "sim/sim_attendance_server.h"
#include "sim/sim_fault_model.h"

namespace snimac::campaign {

enum class TLinkFault { Noise, Silence, Unplug };
const char* LinkFaultName(TLinkFault fault);

struct TLinkEpisode {
  TLinkFault kind = TLinkFault::Noise;
  int64_t startUs = 0;
  int64_t endUs = 0;
  sim::TSimFaults faults;  // Noise
  sim::TSimDirection direction = sim::TSimDirection::Both;
};

// The server misbehaves; the disk may be full as well.
struct TOutputEpisode {
  int64_t startUs = 0;
  int64_t endUs = 0;
  sim::TSimServerMode serverMode = sim::TSimServerMode::Down;
  bool diskFull = false;
  size_t roomBytes = 0;  // what still fits on the full disk
};

class TFaultSchedule {
 public:
  explicit TFaultSchedule(uint32_t seed) : rng_(seed) {}
  // The next episode, starting after a quiet spell from `afterUs`.
  TLinkEpisode NextLink(int64_t afterUs);
  TOutputEpisode NextOutput(int64_t afterUs);

 private:
  int64_t Seconds(double low, double high);
  int64_t QuietSpell();

  std::mt19937 rng_;
};

}  // namespace snimac::campaign
