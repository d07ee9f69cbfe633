// The UI thread as Qt runs it: work posted from any thread runs in order on
// the thread that created this object, one task per queued event so that a
// task that opens a nested loop (a message box, the upgrade window) does not
// hold up the tasks behind it; the windows' timers are QTimers.
#pragma once

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "app/view/ui_loop.h"

namespace snimac {

class TQtUiQueue : public QObject {
 public:
  TQtUiQueue();
  ~TQtUiQueue() override;

  // Any thread.
  void Post(std::function<void()> task);

  // UI thread. Starting a running timer changes nothing: it keeps its phase
  // and its tick.
  void StartTimer(TTimerId id, int intervalMs, TTimerTick tick);
  void StopTimer(TTimerId id);
  bool TimerRunning(TTimerId id) const;

 protected:
  bool event(QEvent* e) override;

 private:
  struct TTimer {
    std::unique_ptr<QTimer> timer;
    TTimerTick tick;
  };
  void RunNextTask();
  void Tick(TTimerId id);

  // The wake-up event is allocated under the lock: Qt frees it on the UI
  // thread after the lock was taken there, which orders the two for tools
  // that cannot see Qt's own synchronisation.
  std::mutex lock_;
  std::deque<std::function<void()>> tasks_;
  bool wakePending_ = false;
  std::map<TTimerId, TTimer> timers_;  // UI thread only
};

}  // namespace snimac
