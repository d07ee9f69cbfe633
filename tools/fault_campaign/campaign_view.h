// The campaign's front end: runs posted work and the window's timers on the
// virtual clock when pumped, hands every grid row (a read) to the campaign,
// and remembers the status and every message box. Boxes are answered as a
// user who is away would leave them: OK, Cancel or No.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/timer_set.h"
#include "app/view/view.h"

namespace snimac::campaign {

class TCampaignView : public TView {
 public:
  explicit TCampaignView(TClock& clock) : timers_(clock) {}

  // Runs what is posted (also work posted meanwhile), then the timers due.
  void Pump();

  void Post(std::function<void()> task) override { tasks_.push_back(std::move(task)); }
  void SetApplicationTitle(const std::string&) override {}
  void SetLabel(TLabel label, const std::string& text) override;
  void AddGridRow(int, const std::string&, const std::string& text) override;
  void SelectGridRow(int) override {}
  bool AddTrayIcon() override { return true; }
  TTrayFailurePolicy TrayFailurePolicy() const override { return TTrayFailurePolicy::Fail; }
  void ShowMenuItem(const TTrayMenuItem&) override {}
  void CarryOut(TTrayAction) override {}
  void ShowDelivery(TDelivery, const std::string&) override {}
  TMessageResult ShowMessageBox(const std::string& text, const std::string& caption, TMessageButtons buttons) override;
  void ShowException(const std::string& message) override { boxes.push_back("exception: " + message); }
  void StartTimer(TTimerId id, int intervalMs, TTimerTick tick) override { timers_.Start(id, intervalMs, std::move(tick)); }
  void StopTimer(TTimerId id) override { timers_.Stop(id); }
  void ShowUpgradeWindow(bool) override {}
  void SetUpgradeProgressRange(int) override {}
  void SetUpgradeProgress(int) override {}
  // Runs `modalStep` until closed.
  void RunModal(const std::function<bool()>& closed) override;

  std::function<void(const std::string& text)> onRead;
  std::function<void()> modalStep;
  std::string status;
  std::vector<std::string> boxes;

 private:
  std::deque<std::function<void()>> tasks_;
  TTimerSet timers_;
};

}  // namespace snimac::campaign
