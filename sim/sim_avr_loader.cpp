#include "sim/sim_avr_loader.h"

#include <vector>

namespace snimac::sim {

TSimAvrLoader::TSimAvrLoader(const TSimLoaderConfig& config, const std::string& version)
    : TSimLoader(config, TSimFlash(kFlashSize, {})) {
  flash_.PutText(kVersionOffset, version);
  // The old program is shorter than the flash: what lies between its end and
  // the last page (its info block) is erased, as a loader leaves it.
  const std::vector<uint8_t> erased(kLastPage - kOldProgramEnd, 0xFF);
  flash_.Program(kOldProgramEnd, erased.data(), erased.size());
}

TSimLoader::TIdentityMatch TSimAvrLoader::MatchIdentity(uint32_t identity, uint32_t own) const {
  // The master flips bit 31 for the loader, and for "any reader" clears it.
  const bool forApplication = identity == kAnyIdentity || identity == (own & ~kLoaderFlag);
  const bool forLoader = identity == (kAnyIdentity & ~kLoaderFlag) || identity == (own | kLoaderFlag);
  if (forApplication) return loaderRunning_ ? TIdentityMatch::SwitchesProgram : TIdentityMatch::Accepted;
  if (forLoader) return loaderRunning_ ? TIdentityMatch::Accepted : TIdentityMatch::SwitchesProgram;
  return TIdentityMatch::Refused;
}

bool TSimAvrLoader::SwitchProgram() {
  TSimLoader::PowerOn();  // the other program starts with nothing in hand
  loaderRunning_ = !loaderRunning_;
  return !(loaderRunning_ ? config_.loaderNeverAnswers : config_.applicationNeverAnswersAgain);
}

void TSimAvrLoader::PowerOn() {
  TSimLoader::PowerOn();
  loaderRunning_ = false;
}

uint8_t TSimAvrLoader::WritePage(uint32_t address, const uint8_t* page) {
  if (address % kPageSize != 0 || !flash_.Contains(address, kPageSize)) return kRefused;
  flash_.Program(address, page, kPageSize);
  return kDone;
}

}  // namespace snimac::sim
