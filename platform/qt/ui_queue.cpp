#include "platform/qt/ui_queue.h"

#include <QCoreApplication>
#include <QEvent>

namespace snimac {

namespace {
const QEvent::Type kRunTaskEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}  // namespace

TQtUiQueue::TQtUiQueue() = default;

// Tasks still queued are dropped with the queue; Qt drops its events for it.
TQtUiQueue::~TQtUiQueue() = default;

void TQtUiQueue::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> guard(lock_);
  tasks_.push_back(std::move(task));
  if (wakePending_) return;
  wakePending_ = true;
  QCoreApplication::postEvent(this, new QEvent(kRunTaskEvent));
}

bool TQtUiQueue::event(QEvent* e) {
  if (e->type() != kRunTaskEvent) return QObject::event(e);
  RunNextTask();
  return true;
}

// One task per event; the next event is queued before the task runs.
void TQtUiQueue::RunNextTask() {
  std::function<void()> task;
  {
    std::lock_guard<std::mutex> guard(lock_);
    wakePending_ = false;
    if (tasks_.empty()) return;
    task = std::move(tasks_.front());
    tasks_.pop_front();
    if (!tasks_.empty()) {
      wakePending_ = true;
      QCoreApplication::postEvent(this, new QEvent(kRunTaskEvent));
    }
  }
  task();
}

void TQtUiQueue::StartTimer(TTimerId id, int intervalMs, TTimerTick tick) {
  TTimer& entry = timers_[id];
  if (!entry.timer) {
    entry.timer = std::make_unique<QTimer>();
    entry.timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(entry.timer.get(), &QTimer::timeout, this, [this, id] { Tick(id); });
  }
  if (entry.timer->isActive()) return;
  entry.tick = std::move(tick);
  entry.timer->start(intervalMs);
}

void TQtUiQueue::StopTimer(TTimerId id) {
  const auto found = timers_.find(id);
  if (found != timers_.end() && found->second.timer) found->second.timer->stop();
}

bool TQtUiQueue::TimerRunning(TTimerId id) const {
  const auto found = timers_.find(id);
  return found != timers_.end() && found->second.timer && found->second.timer->isActive();
}

// The tick may stop or restart its own timer: it runs from a copy.
void TQtUiQueue::Tick(TTimerId id) {
  const TTimerTick tick = timers_[id].tick;
  if (tick) tick();
}

}  // namespace snimac
