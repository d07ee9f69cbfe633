// The AVR reader: an application and a resident loader. The application
// answers at the reader's identity and at 0xFFFFFFFF; an address assignment
// carrying the loader flag (the identity with bit 31 set, 0x7FFFFFFF for any
// reader) starts the loader, which then answers instead, and an assignment
// without the flag starts the application again. Each switch starts the link
// from scratch: the program that answers has never heard the old one's
// packets. The switch back reads the version text at 0x54 of the flash as it
// is then; without a text there the reader keeps the one it had.
//
// Flash: 0x7000 bytes for the application, old firmware at power-on with the
// version text at 0x54. The loader writes 128-byte aligned pages anywhere in
// it, erasing each page as it writes it (block erase is refused, result 1);
// pages beyond 0x6FFF are refused. The application ignores loader commands
// except info queries (0x09: 88 09 alone); the loader answers info queries
// too but knows no application messages. Power-on starts the application.
#pragma once

#include "sim/sim_loader.h"

namespace snimac::sim {

class TSimAvrLoader : public TSimLoader {
 public:
  static constexpr uint32_t kFlashSize = 0x7000;
  static constexpr uint32_t kVersionOffset = 0x54;
  static constexpr uint32_t kOldProgramEnd = 0x3000;  // end of the program shipped in the reader
  static constexpr uint32_t kLastPage = 0x6F80;       // the page with the info block
  static constexpr uint32_t kLoaderFlag = 0x80000000u;

  TSimAvrLoader(const TSimLoaderConfig& config, const std::string& version);

  TIdentityMatch MatchIdentity(uint32_t identity, uint32_t own) const override;
  bool SwitchProgram() override;
  bool ApplicationRunning() const override { return !loaderRunning_; }
  void PowerOn() override;
  std::optional<std::string> VersionText() const override { return flash_.TextAt(kVersionOffset); }
  bool LoaderRunning() const override { return loaderRunning_; }

 protected:
  bool TakesLoaderCommands() const override { return loaderRunning_; }
  std::vector<uint8_t> BankInfo() const override { return {}; }
  uint32_t DefaultReportedAddress() const override { return 0xA000; }
  uint8_t Erase(uint8_t) override { return kRefused; }
  uint8_t WritePage(uint32_t address, const uint8_t* page) override;

 private:
  bool loaderRunning_ = false;
};

}  // namespace snimac::sim
