// The upgrade window: reflashes the reader through the main window's
// endpoint, lent to it for the time of the upgrade. The procedure asks the
// reader which family it is (H8 with two banks, or AVR with a resident
// loader), then erases (H8), writes the image page by page, and restarts the
// reader. GetNextPacket runs on the link thread, everything else on the UI
// thread; the fields both touch are guarded by one lock that is never held
// across a message box or a call into the endpoint.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/dev_frm.h"
#include "link/proto_slave_dev.h"
#include "resources/firmware_image.h"
#include "upgrade/upgrade_ui.h"

namespace snimac {

class TUpgradeFrm : public TDevFrm {
 public:
  enum TState : int8_t {
    QueryBank = 0,
    WaitBank = 1,
    QueryAddress = 2,
    WaitAddress = 3,
    WaitLoader = 4,
    WaitApplication = 5,
    SendRestart = 6,
    WaitRestart = 7,
    Finished = 8,
    NextErase = 9,
    UnlockErase = 10,
    SendErase = 11,
    WaitErase = 12,
    SendData = 13,
    UnlockWrite = 14,
    SendWrite = 15,
    WaitWrite = 16,
  };

  // Its time-out timer runs from creation.
  explicit TUpgradeFrm(TUpgradeUi& ui);
  ~TUpgradeFrm() override;

  // Borrows the endpoint: its messages and requests come here from now on.
  bool AttachSlave(TProtoSlaveDev* slave);
  // Shows the window and runs the procedure until the window closes.
  void ShowModal();

  void FormShow();
  TProtoMessagePtr GetNextPacket() override;
  void ProcessPacket(const TProtoMessage& message) override;
  void TimeoutTimerTimer();
  // The user's close box: asks first unless the procedure is over.
  void CloseRequested();
  // True when the window may close (asks the user unless finished).
  bool FormClose();

  bool Closed() const { return closed_; }
  int8_t CurrentState();

 private:
  // Work decided under the lock and done after it is released.
  struct TAfter {
    bool restartTimeout = false;
    int slaveRestart = -1;  // -1 none, 0 normal, 1 loader
    int progressMaximum = -1;
    std::string fatal;      // the error code text
    bool fatalInLoader = false;
    bool complete = false;
    bool reminder = false;
  };

  void HandleInfoReply(const TProtoMessage& message, TAfter& after);
  void HandleLoaderResult(uint16_t index, uint8_t result, TAfter& after);
  void HandleWakes(TAfter& after);
  void SelectImage(TAfter& after);
  void SearchErase();
  void FinishImage(TAfter& after);
  void Fail(TAfter& after, std::string code);
  void Perform(TAfter& after);
  void RestartTimeout();
  void Close();

  TUpgradeUi& ui_;
  std::mutex lock_;
  // Procedure fields (lock_).
  int8_t State = QueryBank;
  uint32_t ReportedAddress = 0;
  uint32_t BankBase = 0xDEAD;
  TFirmwareImage Image;
  int ImageSize = 0;
  int Offset = 0;
  int PageOffset = 0;
  int WriteBase = 0;
  bool EraseMarks[7] = {};
  int EraseBlock = 0;
  int ErrorBudget = 0;
  int EraseTimeoutBudget = 0;
  bool AvrMode = false;
  int SkipFrom = 0;
  // UI thread only.
  TProtoSlaveDev* slave_ = nullptr;
  bool closed_ = false;
  bool reminderOpen_ = false;
};

}  // namespace snimac
