// The main window as a portable object: the settings from the command line,
// the reader link and its endpoint, the outputs, the start-up that finds the
// reader and opens the link, and the teardown in its fixed order. The window
// itself is drawn by a front end behind TUiPort.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/platform_services.h"
#include "app/ui_port.h"
#include "cards/serial_port.h"
#include "link/dev_frm.h"
#include "link/proto_slave_dev.h"
#include "link/protocol.h"
#include "link/text_log.h"

namespace snimac {

class TMainFrm : public TDevFrm {
 public:
  TMainFrm(TUiPort& ui, const TPlatformServices& platform);
  // Endpoint first (it withdraws from the link), then the link thread is
  // stopped and waited for, then the link is destroyed.
  ~TMainFrm() override;

  // Parses the options, finds the reader, opens the link and the outputs.
  // Throws TStartupError with the user's message on any failure; whatever
  // was created before stays with the window and goes with its teardown.
  bool StartUp(const std::vector<std::string>& args);

  TProtoMessagePtr GetNextPacket() override;
  void ProcessPacket(const TProtoMessage& message) override;

  // Settings (command line).
  int32_t Mode = 0;
  std::string ComPort;
  std::string DbFileName;
  std::vector<std::string> SerialWindows;
  bool LogEnabled = false;
  std::string LogDir;
  bool PmdpMode = false;
  int32_t PrefixKey = 0;
  uint32_t PrefixModifiers = 0;
  bool OfferUpgrade = false;

  // Run-time objects, owned; released in the teardown order.
  std::unique_ptr<TProtocol> Protocol;
  std::unique_ptr<TSerialPort> SerialPort;
  std::FILE* DbFile = nullptr;
  std::string SerialNumber;  // of the reader in use

  TProtoSlaveDev* Endpoint() { return slave_.get(); }

 private:
  void ApplyOptions(const TOptions& options);
  std::string ChooseDevice();
  void OpenSerialPort();
  void CreateLink(const std::string& serial);
  void ShowIdentity(const std::string& serial);
  void OpenDbFile();

  TUiPort& ui_;
  TPlatformServices platform_;
  std::unique_ptr<mqLog> linkLog_;  // outlives the link that writes to it
  std::unique_ptr<TProtoSlaveDev> slave_;
};

}  // namespace snimac
