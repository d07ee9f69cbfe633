// The upgrade window as drawn: caption "Upgrade", a progress bar and the line
// "Probíhá aktualizace snímače.". Its close box goes to TUpgradeFrm::CloseRequested.
#pragma once

#include <functional>

namespace snimac {

class TUpgradeView {
 public:
  virtual ~TUpgradeView() = default;
  virtual void ShowUpgradeWindow(bool shown) = 0;
  virtual void SetUpgradeProgressRange(int maximum) = 0;
  virtual void SetUpgradeProgress(int position) = 0;
  // Where the window's close box goes while an upgrade runs (its
  // CloseRequested); an empty function when none does. A front end whose
  // upgrade window has no close box has nothing to route.
  virtual void SetUpgradeCloseHandler(std::function<void()> closeRequested) { (void)closeRequested; }
};

}  // namespace snimac
