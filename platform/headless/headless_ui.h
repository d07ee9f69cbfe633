// The console front end: no windows. Label texts become lines on stdout (the
// identity line, every status), message boxes are printed on stderr and
// answered safely, and the UI thread is the process's main thread running
// posted work and timers until Quit.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>

#include "app/timer_set.h"
#include "app/ui_port.h"

namespace snimac {

class THeadlessUi : public TUiPort {
 public:
  THeadlessUi(std::FILE* out, std::FILE* err, TClock& clock) : out_(out), err_(err), timers_(clock), clock_(clock) {}

  void Post(std::function<void()> task) override;
  void SetApplicationTitle(const std::string& title) override { title_ = title; }
  void SetLabel(TLabel label, const std::string& text) override;
  void SetMenuItemVisible(TMenuItem, bool) override {}
  void SetMenuItemChecked(TMenuItem, bool) override {}
  TMessageResult MessageBox(const std::string& text, const std::string& caption, TMessageButtons buttons) override;
  void ShowException(const std::string& message) override;
  void StartTimer(TTimerId id, int intervalMs, TTimerTick tick) override { timers_.Start(id, intervalMs, std::move(tick)); }
  void StopTimer(TTimerId id) override { timers_.Stop(id); }

  // Runs posted work on the calling thread until Quit is called.
  void RunUntilQuit();
  // Any thread (a signal watcher, for example).
  void Quit();

 private:
  void PrintLine(std::FILE* to, const std::string& line);

  std::FILE* out_;
  std::FILE* err_;
  std::string title_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool quit_ = false;
  TTimerSet timers_;  // UI thread only
  TClock& clock_;
};

}  // namespace snimac
