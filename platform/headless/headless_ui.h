// The console front end: no windows. Label texts become lines on stdout (the
// identity line, every status, the upgrade's progress), and so does every
// read with where it went; message boxes are printed on stderr, and a
// question is answered from the terminal when there is one (anything but a
// clear yes, and no terminal at all, mean no). There is no tray. The UI
// thread is the process's main thread running posted work and timers; like
// a modal box, a question keeps running them while it waits for its answer.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include "app/timer_set.h"
#include "app/view/view.h"

namespace snimac {

class THeadlessUi : public TView {
 public:
  // Reads one answer line from the user, on a thread of its own, until the
  // stop token says the question is given up; nothing when there is no
  // terminal, the input has ended, or the question was given up.
  using TAnswerReader = std::function<std::optional<std::string>(std::stop_token)>;

  THeadlessUi(std::FILE* out, std::FILE* err, TClock& clock, TAnswerReader readAnswer = {})
      : out_(out), err_(err), readAnswer_(std::move(readAnswer)), timers_(clock), clock_(clock) {}

  void Post(std::function<void()> task) override;
  void SetApplicationTitle(const std::string& title) override { title_ = title; }
  void SetLabel(TLabel label, const std::string& text) override;
  void AddGridRow(int row, const std::string& time, const std::string& text) override;
  void SelectGridRow(int) override {}
  // A console has no notification area, and needs none: the program is
  // seen and ended at its terminal.
  bool AddTrayIcon() override { return true; }
  TTrayFailurePolicy TrayFailurePolicy() const override { return TTrayFailurePolicy::ShowWindowInstead; }
  void ShowMenuItem(const TTrayMenuItem&) override {}
  void CarryOut(TTrayAction) override {}
  void ShowDelivery(TDelivery where, const std::string& text) override;
  TMessageResult ShowMessageBox(const std::string& text, const std::string& caption, TMessageButtons buttons) override;
  void ShowException(const std::string& message) override;
  void StartTimer(TTimerId id, int intervalMs, TTimerTick tick) override { timers_.Start(id, intervalMs, std::move(tick)); }
  void StopTimer(TTimerId id) override { timers_.Stop(id); }
  void ShowUpgradeWindow(bool shown) override;
  void SetUpgradeProgressRange(int maximum) override { progressMaximum_ = maximum; }
  void SetUpgradeProgress(int position) override;
  void RunModal(const std::function<bool()>& closed) override;

  // Runs posted work on the calling thread until Quit is called.
  void RunUntilQuit();
  // Any thread (a signal watcher, for example).
  void Quit();

 private:
  void PrintLine(std::FILE* to, const std::string& line);
  // The answer to the question on stderr, read while posted work and timers
  // run; nothing at Quit, and for a question asked while another one waits
  // (the terminal answers one at a time).
  std::optional<std::string> AwaitAnswer();
  // Runs posted work and timers until `stop` or Quit.
  void RunLoop(const std::function<bool()>& stop);

  std::FILE* out_;
  std::FILE* err_;
  TAnswerReader readAnswer_;
  bool asking_ = false;  // a question waits for its answer (UI thread)
  std::string title_;
  int progressMaximum_ = 100;
  int progressShown_ = -1;  // last percentage printed
  std::map<TLabel, std::string> labels_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool quit_ = false;
  TTimerSet timers_;  // UI thread only
  TClock& clock_;
};

// A clear yes: "y", "yes", "a", "ano" or "ok" in any case, blanks around ignored.
bool IsConsentAnswer(const std::string& answer);

}  // namespace snimac
