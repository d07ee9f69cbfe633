// A front end for tests: remembers label texts, grid rows, menu states, tray
// actions, deliveries and message boxes, answers boxes from a script, and
// runs posted work and timers when asked. Timers run on the clock given (a
// virtual clock in scenarios).
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/timer_set.h"
#include "app/view/view.h"
#include "sim/virtual_clock.h"

namespace snimac::test {

class TFakeUi : public TView {
 public:
  TFakeUi() : timers(ownClock) {}
  explicit TFakeUi(TClock& clock) : timers(clock) {}

  void Post(std::function<void()> task) override {
    std::lock_guard<std::mutex> guard(lock);
    tasks.push_back(std::move(task));
  }
  // Runs what is posted, including work posted meanwhile; returns how much ran.
  int RunPosted() {
    int n = 0;
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard<std::mutex> guard(lock);
        if (tasks.empty()) return n;
        task = std::move(tasks.front());
        tasks.pop_front();
      }
      task();
      ++n;
    }
  }
  void SetApplicationTitle(const std::string& t) override { title = t; }
  void SetLabel(TLabel label, const std::string& text) override {
    labels[label] = text;
    labelHistory.push_back(text);
  }
  void AddGridRow(int row, const std::string& time, const std::string& text) override {
    gridRows.push_back(std::to_string(row) + "|" + time + "|" + text);
  }
  void SelectGridRow(int row) override { selectedRow = row; }
  bool AddTrayIcon() override { return trayAvailable; }
  TTrayFailurePolicy TrayFailurePolicy() const override { return trayPolicy; }
  void ShowMenuItem(const TTrayMenuItem& item) override {
    menuVisible[item.id] = item.visible;
    menuChecked[item.id] = item.checked;
  }
  void CarryOut(TTrayAction action) override { trayActions.push_back(action); }
  void ShowDelivery(TDelivery where, const std::string& text) override { deliveries.emplace_back(where, text); }
  TMessageResult ShowMessageBox(const std::string& text, const std::string& caption, TMessageButtons buttons) override {
    boxes.push_back(caption + "|" + text);
    if (boxShown) boxShown();
    if (!answers.empty()) {
      const TMessageResult r = answers.front();
      answers.pop_front();
      return r;
    }
    return buttons == TMessageButtons::Ok ? TMessageResult::Ok : TMessageResult::Cancel;
  }
  void ShowException(const std::string& message) override { boxes.push_back(title + "|" + message); }
  void StartTimer(TTimerId id, int intervalMs, TTimerTick tick) override {
    if (!timers.Running(id)) timerStarts[id]++;
    timers.Start(id, intervalMs, std::move(tick));
  }
  void StopTimer(TTimerId id) override { timers.Stop(id); }
  // Posted work first, then the timers due on the clock.
  int Pump() { return RunPosted() + timers.RunDue(); }
  void ShowUpgradeWindow(bool shown) override { upgradeWindowShown = shown; }
  void SetUpgradeProgressRange(int maximum) override { progressMaximum = maximum; }
  void SetUpgradeProgress(int position) override { progress.push_back(position); }
  // Runs `modalStep` (by default the posted work and timers) until closed.
  void RunModal(const std::function<bool()>& closed) override {
    ++modalRuns;
    for (long step = 0; !closed() && step < maxModalSteps; ++step) {
      if (modalStep) {
        modalStep();
      } else {
        Pump();
      }
    }
  }

  std::mutex lock;
  std::deque<std::function<void()>> tasks;
  std::string title;
  std::map<TLabel, std::string> labels;
  std::vector<std::string> labelHistory;
  std::map<TMenuItem, bool> menuVisible;
  std::map<TMenuItem, bool> menuChecked;
  std::vector<std::string> gridRows;  // "row|time|text"
  int selectedRow = 0;
  bool trayAvailable = true;
  TTrayFailurePolicy trayPolicy = TTrayFailurePolicy::Fail;
  std::vector<TTrayAction> trayActions;
  std::vector<std::pair<TDelivery, std::string>> deliveries;
  std::vector<std::string> boxes;
  std::deque<TMessageResult> answers;
  std::function<void()> boxShown;  // called while a message box is open
  std::map<TTimerId, int> timerStarts;
  bool upgradeWindowShown = false;
  int progressMaximum = 100;
  std::vector<int> progress;
  int modalRuns = 0;
  std::function<void()> modalStep;
  long maxModalSteps = 10000000;
  sim::TVirtualClock ownClock;
  TTimerSet timers;
};

}  // namespace snimac::test
