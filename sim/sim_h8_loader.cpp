#include "sim/sim_h8_loader.h"

namespace snimac::sim {

namespace {

std::vector<TSimFlash::TBlock> H8Blocks() {
  return {{0x0000, 0x0400}, {0x0400, 0x0800}, {0x0800, 0x0C00}, {0x0C00, 0x1000},
          {0x1000, 0x8000}, {0x8000, 0xC000}, {0xC000, 0x10000}};
}

}  // namespace

TSimH8Loader::TSimH8Loader(const TSimLoaderConfig& config, const std::string& version)
    : TSimLoader(config, TSimFlash(kFlashSize, H8Blocks())), running_(config.runningBank) {
  // A string among the firmware's others: a NUL ends the one before it.
  const uint8_t endOfPrevious = 0;
  flash_.Program(Begin(running_) + kVersionOffset - 1, &endOfPrevious, 1);
  flash_.PutText(Begin(running_) + kVersionOffset, version);
}

void TSimH8Loader::Restart() {
  if (!idleWritten_) return;
  running_ = Idle();
  idleWritten_ = false;
}

std::optional<std::string> TSimH8Loader::VersionText() const {
  return flash_.FindText(Begin(running_), End(running_), "FW v");
}

std::vector<uint8_t> TSimH8Loader::BankInfo() const {
  const uint32_t base = Begin(running_);
  return {static_cast<uint8_t>(base >> 8), static_cast<uint8_t>(base & 0xFF)};
}

uint8_t TSimH8Loader::Erase(uint8_t block) {
  const std::optional<TSimFlash::TBlock> b = flash_.Block(block);
  if (!b || b->begin < Begin(Idle()) || b->end > End(Idle())) return kRefused;
  flash_.EraseBlock(block);
  idleWritten_ = false;
  return kDone;
}

uint8_t TSimH8Loader::WritePage(uint32_t address, const uint8_t* page) {
  if (address % kPageSize != 0 || address < Begin(Idle()) || address + kPageSize > End(Idle())) return kRefused;
  if (!flash_.IsErased(address, kPageSize)) return kNotErased;
  flash_.Program(address, page, kPageSize);
  idleWritten_ = true;
  return kDone;
}

}  // namespace snimac::sim
