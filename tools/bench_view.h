// The front end of the benchmarks: no windows, every question answered with
// yes / OK, posted work and timers run on the simulation's clock. The owner
// sets `step` (one link pass and a Pump), which modal windows run too.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>

#include "app/main_frm.h"
#include "app/platform_services.h"
#include "app/timer_set.h"
#include "app/view/view.h"

namespace snimac::bench {

class TBenchView : public TView {
 public:
  explicit TBenchView(TClock& clock) : timers_(clock) {}

  void Post(std::function<void()> task) override { tasks_.push_back(std::move(task)); }
  void SetApplicationTitle(const std::string&) override {}
  void SetLabel(TLabel label, const std::string& text) override {
    if (label == TLabel::HwVersionLbl) version = text;
    if (label == TLabel::StatusLbl) status = text;
  }
  void AddGridRow(int, const std::string&, const std::string&) override {}
  void SelectGridRow(int) override {}
  bool AddTrayIcon() override { return true; }
  TTrayFailurePolicy TrayFailurePolicy() const override { return TTrayFailurePolicy::Fail; }
  void ShowMenuItem(const TTrayMenuItem&) override {}
  void CarryOut(TTrayAction) override {}
  void ShowDelivery(TDelivery, const std::string&) override {}
  TMessageResult ShowMessageBox(const std::string& text, const std::string&, TMessageButtons buttons) override {
    if (onMessageBox) onMessageBox(text, buttons);
    return buttons == TMessageButtons::YesNo ? TMessageResult::Yes : TMessageResult::Ok;
  }
  void ShowException(const std::string&) override {}
  void StartTimer(TTimerId id, int intervalMs, TTimerTick tick) override { timers_.Start(id, intervalMs, std::move(tick)); }
  void StopTimer(TTimerId id) override { timers_.Stop(id); }
  void ShowUpgradeWindow(bool) override {}
  void SetUpgradeProgressRange(int) override {}
  void SetUpgradeProgress(int) override {}
  void RunModal(const std::function<bool()>& closed) override {
    while (!closed()) step();
  }

  // Runs the posted work, then the timers that are due.
  void Pump() {
    while (!tasks_.empty()) {
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      task();
    }
    timers_.RunDue();
  }

  std::function<void()> step;
  // Sees every message box before it is answered.
  std::function<void(const std::string& text, TMessageButtons buttons)> onMessageBox;
  std::string version;  // the reader's version label
  std::string status;   // the status label

 private:
  std::deque<std::function<void()>> tasks_;
  TTimerSet timers_;
};

// The platform of a benchmark: the simulated bus on the simulation's clock, the
// link driven by hand, nothing written to disk.
inline TPlatformServices BenchPlatform(TD2xx& bus, TClock& clock, uint8_t latencyMs, TTypist* typist = nullptr) {
  TPlatformServices platform;
  platform.d2xx = &bus;
  platform.clock = &clock;
  platform.typist = typist;
  platform.manualLink = true;
  platform.simulatedReader = true;
  platform.defaultDbFileName = "unused.db";
  platform.defaultLogDir = "/nonexistent/";
  platform.latencyMs = latencyMs;
  return platform;
}

// One step of the program: a link pass, then the posted work and the timers.
inline void DriveByHand(TBenchView& ui, TMainFrm& frm) {
  ui.step = [&ui, &frm] {
    frm.Protocol->RunPass();
    ui.Pump();
  };
}

}  // namespace snimac::bench
