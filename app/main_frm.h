// The main window as a portable object: the settings from the command line,
// the reader link and its endpoint, the outputs, the start-up that finds the
// reader and opens the link, and the teardown in its fixed order. The window
// itself is drawn by a front end behind TView: this object decides and tells
// the view; the front end forwards what the user does (tray, menu, grid).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/platform_services.h"
#include "app/view/view.h"
#include "cards/attendance.h"
#include "cards/log_grid.h"
#include "cards/reader_messages.h"
#include "cards/serial_port.h"
#include "link/dev_frm.h"
#include "link/proto_slave_dev.h"
#include "link/protocol.h"
#include "link/text_log.h"
#include "tray/tray_icon.h"
#include "tray/tray_menu.h"

namespace snimac {

class TMainFrm : public TDevFrm {
 public:
  TMainFrm(TView& ui, const TPlatformServices& platform);
  // Its timers first, then the endpoint (it withdraws from the link), then
  // the link thread is stopped and waited for, then the link is destroyed.
  ~TMainFrm() override;

  // Parses the options, finds the reader, opens the link and the outputs.
  // Throws TStartupError with the user's message on any failure; whatever
  // was created before stays with the window and goes with its teardown.
  bool StartUp(const std::vector<std::string>& args);

  // The reader's application peer. ProcessPacket runs on the UI thread;
  // GetNextPacket on the link thread, sharing only the atomics below.
  TProtoMessagePtr GetNextPacket() override;
  void ProcessPacket(const TProtoMessage& message) override;

  // Timer handlers (UI thread).
  void BlickTimerTimer();
  void VersionTimerTimer();
  void LogTimerTimer();
  void CheckFirmwareVersion();

  // Card handlers (UI thread).
  void HandleCardNumber(const uint8_t* bytes, int count, int format);
  void HandleCardUid(const uint8_t* bytes, int count);
  void HandleCardRecord(const uint8_t* uid, int uidCount, const uint8_t* blocks);

  // What the user does, forwarded by the front end (UI thread).
  void Restore1Click();
  void PoslatEnter1Click();
  bool PoslatEnter1Checked() const { return TrayPopup.PoslatEnter(); }
  void TrayIconMouse(TTrayMouse message);
  // A system command of the main window (WM_SYSCOMMAND's wParam).
  void SysCommand(std::uintptr_t command);
  // The desktop session asks whether it may end (always), then ends
  // (`ending`) or goes on; when it ends, pending reads are delivered and the
  // icon goes, for the process may be stopped without a teardown.
  bool QueryEndSession() const { return TrayIcon1.QueryEndSession(); }
  void EndSession(bool ending);
  // The user selected a grid row.
  void LogGridSelect(int row);

  // Settings (command line).
  TMode Mode = TMode::Grab;
  std::string ComPort;
  std::string DbFileName;
  std::vector<std::string> SerialWindows;
  bool LogEnabled = false;
  std::string LogDir;
  bool PmdpMode = false;
  int32_t PrefixKey = 0;
  uint32_t PrefixModifiers = 0;
  bool OfferUpgrade = false;

  // Shared with the link thread.
  std::atomic<bool> VersionPending{false};
  std::atomic<bool> FeedbackPending{false};
  std::atomic<TSignalState> SignalState{TSignalState::Idle};
  std::atomic<TBlockState> BlockState{TBlockState::NotStarted};
  std::atomic<int> BlockIndex{0};

  // Card data and version text (UI thread only).
  uint8_t BlockData[48] = {};
  uint8_t CardUid[11] = {};
  int CardUidLen = 0;
  std::string HwVersion;
  int HwVersionCount = 0;

  // Run-time objects, owned; released in the teardown order.
  std::unique_ptr<TProtocol> Protocol;
  std::unique_ptr<TSerialPort> SerialPort;
  // Attendance mode: the pending reads and the attendance file.
  std::unique_ptr<TAttendanceQueue> Attendance;
  std::string SerialNumber;  // of the reader in use

  TProtoSlaveDev* Endpoint() { return slave_.get(); }
  const TLogGrid& Grid() const { return grid_; }

  // The tray icon's and its menu's state (the front end draws what it is told).
  TTrayIcon TrayIcon1;
  TTrayMenu TrayPopup;

 private:
  void ApplyOptions(const TOptions& options);
  std::string ChooseDevice();
  void OpenSerialPort();
  void CreateLink(const std::string& serial);
  void ShowIdentity(const std::string& serial);
  void OpenDbFile();
  void ProcessCardEvent(const TCardEvent& event);
  void ProcessVersionFragment(const TVersionFragment& fragment);
  void ProcessBlockReply(const TBlockReply& reply);
  void ProcessSlaveWakes();
  // Timers belong to the UI thread: the link thread asks for a start by posting.
  void StartTimerFromLinkThread(TTimerId id);
  void StartTimer(TTimerId id);
  // Every card handler starts so: feedback and blink for the reader, a grid
  // row and, in attendance mode, a pending record. Returns the card text.
  std::string RecordCard(const uint8_t* bytes, int count, int format);
  void TypeText(const std::string& text);
  bool IsSerialWindow(const std::string& title) const;
  void ShowStatus(const std::string& text);
  void ShowFileError(const std::string& message);
  void ShowUnsavedReads();
  void AddGridRow(const TLogItem& item);
  void ShowDelivered(const TLogItem& item, TAttendanceQueue::TDelivery where);
  void ShowMenuItem(TMenuItem item);
  void CarryOut(const TTrayActions& actions);
  void OfferFirmwareUpgrade();
  void LogUpgrade(const std::string& line);

  TView& ui_;
  TPlatformServices platform_;
  std::unique_ptr<mqLog> linkLog_;  // outlives the link that writes to it
  std::unique_ptr<TProtoSlaveDev> slave_;
  TLogGrid grid_;
  std::string linkStatus_;  // the last status the link gave, shown again once a file error is over
};

}  // namespace snimac
