// Faults of the simulated wire (sim_d2xx.h), byte by byte: each byte, in the
// chosen directions, may be lost, get one bit flipped, or be duplicated
// (probabilities per byte, checked in that order). Seeded and deterministic
// for a given seed and sequence of bytes. No lock: the bus calls it under its
// own.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace snimac::sim {

enum class TSimDirection { ToReader = 1, ToHost = 2, Both = 3 };

// Per-byte fault probabilities (0..1).
struct TSimFaults {
  double lose = 0;       // the byte never arrives (its line time still passes)
  double flip = 0;       // one random bit of the byte is inverted
  double duplicate = 0;  // the byte arrives twice
};

struct TSimFaultCounts {
  uint64_t lost = 0;
  uint64_t flipped = 0;
  uint64_t duplicated = 0;
};

class TSimFaultModel {
 public:
  void Seed(uint32_t seed) { rng_.seed(seed); }
  void Set(TSimFaults faults, TSimDirection direction);
  const TSimFaultCounts& Counts() const { return counts_; }
  // Puts a byte going in `direction` (ToReader or ToHost) through the faults;
  // appends 0, 1 or 2 bytes to `out`.
  void Apply(uint8_t byte, TSimDirection direction, std::vector<uint8_t>& out);

 private:
  std::mt19937 rng_{1};
  TSimFaults toReader_, toHost_;
  TSimFaultCounts counts_;
};

}  // namespace snimac::sim
