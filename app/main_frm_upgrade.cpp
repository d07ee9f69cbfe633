// The firmware upgrade as the main window offers it: once per run, when the
// reader's version is not the one carried, and only with images that pass
// their check (test images only to the simulated reader).
#include "app/main_frm.h"
#include "app/texts.h"
#include "app/upgrade_ui_on_view.h"
#include "resources/firmware_image.h"
#include "resources/image_check.h"
#include "upgrade/upgrade_frm.h"
#include "upgrade/upgrade_texts.h"

namespace snimac {

void TMainFrm::OfferFirmwareUpgrade() {
  if (const auto reason = CheckFirmwareImages()) {
    LogUpgrade("Upgrade not offered: " + *reason);
    return;
  }
  if (CarriesTestImages() && !platform_.simulatedReader) {
    LogUpgrade("Upgrade not offered: this build carries test images, which are never written to a real reader");
    return;
  }
  const std::string question = texts::kUpgradeQuestionHead + HwVersion + texts::kUpgradeQuestionTail;
  if (ui_.ShowMessageBox(question, upgrade_texts::kCaption, TMessageButtons::OkCancel) != TMessageResult::Ok) return;

  TUpgradeUiOnView upgradeUi(ui_);
  TUpgradeFrm upgrade(upgradeUi);
  upgradeUi.RouteCloseBox([&upgrade] { upgrade.CloseRequested(); });
  upgrade.AttachSlave(slave_.get());
  upgrade.ShowModal();
  slave_->SetForm(this);
  VersionPending = true;
  SignalState = TSignalState::OffToSend;
}

void TMainFrm::LogUpgrade(const std::string& line) {
  if (linkLog_) linkLog_->Put(std::make_unique<TTextMessage>(TLogLevel::Info, line, texts::kUpgradeLogSource));
}

}  // namespace snimac
