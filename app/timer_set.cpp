#include "app/timer_set.h"

namespace snimac {

void TTimerSet::Start(TTimerId id, int intervalMs, TTimerTick tick) {
  if (Running(id)) return;
  const int64_t interval = static_cast<int64_t>(intervalMs) * 1000;
  timers_[id] = TTimer{interval, clock_.NowUs() + interval, std::move(tick)};
}

void TTimerSet::Stop(TTimerId id) { timers_.erase(id); }

std::optional<int64_t> TTimerSet::NextDueUs() const {
  std::optional<int64_t> next;
  for (const auto& [id, t] : timers_) {
    if (!next || t.dueUs < *next) next = t.dueUs;
  }
  return next;
}

int TTimerSet::RunDue() {
  int fired = 0;
  const int64_t now = clock_.NowUs();
  for (;;) {
    // The earliest timer due by `now` (ticks may change the set).
    auto due = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->second.dueUs <= now && (due == timers_.end() || it->second.dueUs < due->second.dueUs)) due = it;
    }
    if (due == timers_.end()) return fired;
    // Next due time first: a tick that stops its own timer removes it for good.
    due->second.dueUs += due->second.intervalUs;
    if (due->second.dueUs <= now) due->second.dueUs = now + due->second.intervalUs;  // missed ticks are not caught up
    TTimerTick tick = due->second.tick;
    tick();
    ++fired;
  }
}

}  // namespace snimac
