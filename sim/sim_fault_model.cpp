#include "sim/sim_fault_model.h"

namespace snimac::sim {

namespace {

bool Includes(TSimDirection set, TSimDirection one) { return (static_cast<int>(set) & static_cast<int>(one)) != 0; }

}  // namespace

void TSimFaultModel::Set(TSimFaults faults, TSimDirection direction) {
  if (Includes(direction, TSimDirection::ToReader)) toReader_ = faults;
  if (Includes(direction, TSimDirection::ToHost)) toHost_ = faults;
}

void TSimFaultModel::Apply(uint8_t byte, TSimDirection direction, std::vector<uint8_t>& out) {
  const TSimFaults& f = direction == TSimDirection::ToReader ? toReader_ : toHost_;
  if (f.lose <= 0 && f.flip <= 0 && f.duplicate <= 0) {
    out.push_back(byte);
    return;
  }
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  if (f.lose > 0 && chance(rng_) < f.lose) {
    ++counts_.lost;
    return;
  }
  if (f.flip > 0 && chance(rng_) < f.flip) {
    ++counts_.flipped;
    byte ^= static_cast<uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(rng_));
  }
  out.push_back(byte);
  if (f.duplicate > 0 && chance(rng_) < f.duplicate) {
    ++counts_.duplicated;
    out.push_back(byte);
  }
}

}  // namespace snimac::sim
