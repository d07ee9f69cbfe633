// The H8 reader's loader: the application runs from one of two banks and
// writes the other one, then restarts into it.
//
// Flash, 64 KiB, in erase blocks as the loader numbers them:
//   0..3  0x0000..0x0FFF  1 KiB each, the loader itself: never erased or written
//   4     0x1000..0x7FFF  the low bank
//   5     0x8000..0xBFFF  the high bank, first half
//   6     0xC000..0xFFFF  the high bank, second half
// At power-on every byte holds old firmware (nothing is erased) and the
// running bank holds the version text at bank base + 0x200.
//
// - Info 0x09: 88 09 and the running bank's base, 0x1000 or 0x8000.
// - Erase: blocks of the bank that does not run (4, or 5 and 6); any other
//   block is refused (result 1).
// - Page write: a 128-byte aligned page inside the bank that does not run
//   (result 1 otherwise), all erased (result 2 otherwise).
// - Restart command: the reader acknowledges it, goes quiet and comes back
//   power-cycled (the reader does the timing) running the other bank, when
//   pages have been written there since it last ran or was erased; else the
//   same bank again, so that a restart command sent twice does not bring the
//   old program back. The version text is the NUL-terminated text containing
//   "FW v" in the running bank, from the byte after the last NUL or other
//   non-printable byte before it, as a C string in a table of strings; without
//   one the reader keeps the text it had.
#pragma once

#include "sim/sim_loader.h"

namespace snimac::sim {

class TSimH8Loader : public TSimLoader {
 public:
  static constexpr uint32_t kFlashSize = 0x10000;
  static constexpr uint32_t kLowBank = 0x1000;
  static constexpr uint32_t kHighBank = 0x8000;
  static constexpr uint32_t kVersionOffset = 0x200;

  TSimH8Loader(const TSimLoaderConfig& config, const std::string& version);

  void Restart() override;
  std::optional<std::string> VersionText() const override;
  std::optional<TSimBank> RunningBank() const override { return running_; }

 protected:
  std::vector<uint8_t> BankInfo() const override;
  uint32_t DefaultReportedAddress() const override { return 0x2400; }
  uint8_t Erase(uint8_t block) override;
  uint8_t WritePage(uint32_t address, const uint8_t* page) override;
  bool RestartsOnCommand() const override { return true; }

 private:
  // [begin, end) of a bank.
  static uint32_t Begin(TSimBank bank) { return bank == TSimBank::Low ? kLowBank : kHighBank; }
  static uint32_t End(TSimBank bank) { return bank == TSimBank::Low ? kHighBank : kFlashSize; }
  TSimBank Idle() const { return running_ == TSimBank::Low ? TSimBank::High : TSimBank::Low; }

  TSimBank running_;
  bool idleWritten_ = false;  // pages written into the other bank since it last ran or was erased
};

}  // namespace snimac::sim
