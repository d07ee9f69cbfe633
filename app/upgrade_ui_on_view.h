// The upgrade window's needs met by the view port: its boxes carry the
// caption "Upgrade", its timer is the view's TimeoutTimer.
#pragma once

#include "app/view/view.h"
#include "upgrade/upgrade_ui.h"

namespace snimac {

class TUpgradeUiOnView : public TUpgradeUi {
 public:
  explicit TUpgradeUiOnView(TView& view) : view_(view) {}
  // The close box is routed no further than this object lives.
  ~TUpgradeUiOnView() override { view_.SetUpgradeCloseHandler({}); }

  // The window's close box asks `closeRequested` from now on.
  void RouteCloseBox(std::function<void()> closeRequested) { view_.SetUpgradeCloseHandler(std::move(closeRequested)); }

  void Post(std::function<void()> task) override { view_.Post(std::move(task)); }
  void ShowWindow(bool shown) override { view_.ShowUpgradeWindow(shown); }
  void SetProgressRange(int maximum) override { view_.SetUpgradeProgressRange(maximum); }
  void SetProgress(int position) override { view_.SetUpgradeProgress(position); }
  void Tell(const std::string& text) override;
  bool Ask(const std::string& question) override;
  void StartTimeoutTimer(int intervalMs, std::function<void()> tick) override {
    view_.StartTimer(TTimerId::TimeoutTimer, intervalMs, std::move(tick));
  }
  void StopTimeoutTimer() override { view_.StopTimer(TTimerId::TimeoutTimer); }
  void RunModal(const std::function<bool()>& closed) override { view_.RunModal(closed); }

 private:
  TView& view_;
};

}  // namespace snimac
