// UI-thread timers kept on a clock, for front ends without a toolkit timer
// (the console host, the virtual-clock test UI): the owner's loop asks when
// the next one is due and runs the due ones.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "app/view/ui_loop.h"
#include "link/clock.h"

namespace snimac {

class TTimerSet {
 public:
  explicit TTimerSet(TClock& clock) : clock_(clock) {}

  // Starting a running timer changes nothing.
  void Start(TTimerId id, int intervalMs, TTimerTick tick);
  void Stop(TTimerId id);
  bool Running(TTimerId id) const { return timers_.count(id) != 0; }
  // Steady time (us) at which the earliest timer is due; nothing when none runs.
  std::optional<int64_t> NextDueUs() const;
  // Fires every timer due by now, each once, earliest first; a tick may start
  // or stop timers. Returns how many fired.
  int RunDue();

 private:
  struct TTimer {
    int64_t intervalUs;
    int64_t dueUs;
    TTimerTick tick;
  };
  TClock& clock_;
  std::map<TTimerId, TTimer> timers_;
};

}  // namespace snimac
