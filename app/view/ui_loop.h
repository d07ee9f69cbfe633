// The UI thread as the windows use it: posted work (from any thread), the
// windows' timers and modal loops. Everything but Post runs on the UI thread.
#pragma once

#include <functional>

#include "link/ui_thread.h"

namespace snimac {

// The windows' timers; each fires on the UI thread.
enum class TTimerId { LogTimer, BlickTimer, VersionTimer, TimeoutTimer };
using TTimerTick = std::function<void()>;

class TUiLoop : public TUiThread {
 public:
  // Starts a timer that calls `tick` every `intervalMs` until stopped.
  // Starting a running timer changes nothing: it keeps its phase and tick.
  virtual void StartTimer(TTimerId id, int intervalMs, TTimerTick tick) = 0;
  virtual void StopTimer(TTimerId id) = 0;
  // A modal loop: dispatches posted work and timers until `closed` is true.
  virtual void RunModal(const std::function<bool()>& closed) = 0;
};

}  // namespace snimac
