// The upgrade window as drawn: caption "Upgrade", a progress bar and the line
// "Probíhá aktualizace snímače.". Its close box goes to TUpgradeFrm::CloseRequested.
#pragma once

namespace snimac {

class TUpgradeView {
 public:
  virtual ~TUpgradeView() = default;
  virtual void ShowUpgradeWindow(bool shown) = 0;
  virtual void SetUpgradeProgressRange(int maximum) = 0;
  virtual void SetUpgradeProgress(int position) = 0;
};

}  // namespace snimac
