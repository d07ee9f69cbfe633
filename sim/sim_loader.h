// The loader of a simulated reader: the flash-writing commands both reader
// families share, and the hooks where they differ (sim_h8_loader.h,
// sim_avr_loader.h). Written from the loader's command table, independent of
// the upgrade's code. No lock and no clock of its own: the reader calls it
// under its lock and tells it the time.
//
// Commands (payload of a numbered message; numbers high byte first):
//   16 sel           info query    answered at once: 88 sel value (family)
//   12 c1 c2         unlock        arms the next erase or page write when c1 c2
//                                  is the unlock code; any other unlock disarms
//   15 ch cl blk     block erase   answered 87 00 blk result
//   13 off data...   page data     0..8 bytes into the 128-byte page buffer at
//                                  `off` (nothing when they would not fit)
//   14 ch cl ah al   page write    answered 87 ah al result
//   19               restart       family (the H8 reader restarts)
// ch cl: CRC-16/MCRF4XX (Crc16Block from 0xFFFF, not inverted) over the block
// byte, or over ah al and the 128 buffered bytes. Malformed commands are
// recorded and otherwise ignored.
//
// Results: 0 done; 1 refused (not armed, erase check wrong, the block or page
// may not be written); 2 the page is not erased; 3 the page's check does not
// match (the master sends the whole page again). Every erase or page write
// uses up the arming. A result that touched the flash comes after the erase
// or page-write time; refusals come at once. The loader does one thing at a
// time, so its answers never overtake each other. The flash already holds
// the new bytes while the result is on its way.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_flash.h"
#include "sim/sim_loader_config.h"

namespace snimac::sim {

class TSimLoader {
 public:
  static constexpr uint32_t kPageSize = 128;
  static constexpr uint32_t kAnyIdentity = 0xFFFFFFFFu;

  // How an address assignment's identity concerns the reader.
  enum class TIdentityMatch {
    Refused,          // not for this reader
    Accepted,         // for the program that runs now
    SwitchesProgram,  // for the reader's other program (AVR: application / loader)
  };

  // Result codes of 87 index result.
  static constexpr uint8_t kDone = 0;
  static constexpr uint8_t kRefused = 1;
  static constexpr uint8_t kNotErased = 2;
  static constexpr uint8_t kBadPageCheck = 3;

  // The plain rule: the reader's own identity, or any.
  static TIdentityMatch MatchPlain(uint32_t identity, uint32_t own);

  virtual ~TSimLoader() = default;
  TSimLoader(const TSimLoader&) = delete;
  TSimLoader& operator=(const TSimLoader&) = delete;

  // ---- The reader's programs ----
  virtual TIdentityMatch MatchIdentity(uint32_t identity, uint32_t own) const { return MatchPlain(identity, own); }
  // Starts the other program; false when it never answers (a fault).
  virtual bool SwitchProgram() { return true; }
  // The card application runs (AVR: not while the loader does).
  virtual bool ApplicationRunning() const { return true; }
  // Power-on: the page buffer, the arming and answers on their way are gone.
  virtual void PowerOn();
  // The restart command was received since the last call.
  bool TakeRestartRequest();
  // What the restart command does when the reader comes back (H8: the other bank runs).
  virtual void Restart() {}
  // The running application's version text in flash, if it has one.
  virtual std::optional<std::string> VersionText() const = 0;
  // H8: the running bank.
  virtual std::optional<TSimBank> RunningBank() const { return std::nullopt; }
  // AVR: the loader answers instead of the application.
  virtual bool LoaderRunning() const { return false; }

  // ---- Messages ----
  // A message from the master at `nowUs`. True when it is a loader command
  // (recorded; carried out when the running program takes it), false for
  // anything else.
  bool Handle(const std::vector<uint8_t>& m, int64_t nowUs);
  // The answers due by `nowUs`, in order.
  std::vector<std::vector<uint8_t>> TakeDueReplies(int64_t nowUs);
  void AddFault(TSimLoaderFault fault) { faults_.push_back(std::move(fault)); }
  void ClearFaults() { faults_.clear(); }

  // ---- Observers ----
  const TSimFlash& Flash() const { return flash_; }
  const std::vector<uint32_t>& PagesWritten() const { return pagesWritten_; }
  const std::vector<int>& BlocksErased() const { return blocksErased_; }
  const std::vector<std::vector<uint8_t>>& Commands() const { return commands_; }
  const std::vector<uint8_t>& LastUnlock() const { return lastUnlock_; }

 protected:
  TSimLoader(const TSimLoaderConfig& config, TSimFlash flash);

  // The running program takes erase, page data, unlock, page write and
  // restart (AVR: only the loader does). Info queries are always answered.
  virtual bool TakesLoaderCommands() const { return true; }
  // The value after 88 09; empty: the reply is 88 09 alone.
  virtual std::vector<uint8_t> BankInfo() const = 0;
  virtual uint32_t DefaultReportedAddress() const = 0;
  // Erases `block` when the family allows it; the result code.
  virtual uint8_t Erase(uint8_t block) = 0;
  // Writes one page at `address` when the family allows it; the result code.
  virtual uint8_t WritePage(uint32_t address, const uint8_t* page) = 0;
  virtual bool RestartsOnCommand() const { return false; }

  const TSimLoaderConfig config_;
  TSimFlash flash_;

 private:
  struct TPending {
    int64_t readyUs;
    std::vector<uint8_t> reply;
  };

  void InfoQuery(const std::vector<uint8_t>& m, int64_t nowUs);
  void Unlock(const std::vector<uint8_t>& m);
  void PageData(const std::vector<uint8_t>& m);
  void BlockErase(const std::vector<uint8_t>& m, int64_t nowUs);
  void PageWrite(const std::vector<uint8_t>& m, int64_t nowUs);
  bool TakeArming();
  // The fault that hits this command, used up by one; nullopt: none.
  std::optional<TSimLoaderFault> HitBy(TSimLoaderOp op, uint32_t target);
  // Answer after `durationUs` of work, behind whatever is still on its way.
  void Schedule(std::vector<uint8_t> reply, int64_t nowUs, int64_t durationUs);
  // An erase or page write hit by `fault`.
  void Faulted(const TSimLoaderFault& fault, std::vector<uint8_t> result, int64_t nowUs, int64_t durationUs);

  std::vector<TSimLoaderFault> faults_;
  std::vector<uint8_t> page_;
  bool armed_ = false;
  bool restartRequested_ = false;
  int64_t busyUntilUs_ = 0;
  std::deque<TPending> pending_;
  std::vector<uint32_t> pagesWritten_;
  std::vector<int> blocksErased_;
  std::vector<std::vector<uint8_t>> commands_;
  std::vector<uint8_t> lastUnlock_;
};

}  // namespace snimac::sim
