// The UI thread's queue of posted work and its timers, behind a hidden
// message-only window: Post may come from any thread and wakes the thread
// with a private window message; timers are the system's (SetTimer), so
// both go on inside every modal loop (message boxes, menus, the upgrade).
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "app/view/ui_loop.h"
#include "platform/win32/ui/window_base.h"

namespace snimac {

class TWin32UiQueue : private TWindowBase {
 public:
  // On the UI thread, which then runs the work and the ticks.
  explicit TWin32UiQueue(HINSTANCE instance);

  // Any thread; the work runs on the UI thread in the order posted.
  void Post(std::function<void()> task);
  // Starting a running timer changes nothing (phase and tick stay).
  void StartTimer(TTimerId id, int intervalMs, TTimerTick tick);
  void StopTimer(TTimerId id);
  bool TimerRunning(TTimerId id) const { return timers_.count(id) != 0; }

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void RunPosted();
  void Tick(UINT_PTR timer);

  std::mutex lock_;
  std::deque<std::function<void()>> tasks_;  // lock_
  bool wakePending_ = false;                 // lock_: a wake-up message is on its way
  // UI thread only. Shared, so that a tick that stops its own timer does not
  // destroy the function it is running in.
  std::map<TTimerId, std::shared_ptr<TTimerTick>> timers_;
};

}  // namespace snimac
