#include "platform/win32/ui/ui_queue.h"

namespace snimac {

namespace {

constexpr UINT kRunPosted = WM_APP + 0x100;

// Timer identifiers of the window: 0 is not a valid one.
UINT_PTR TimerOf(TTimerId id) { return static_cast<UINT_PTR>(id) + 1; }

}  // namespace

TWin32UiQueue::TWin32UiQueue(HINSTANCE instance) {
  TWindowShape shape;
  shape.className = L"SnimacUiQueue";
  shape.parent = HWND_MESSAGE;
  Create(instance, shape);
}

// One wake-up message stands for all work queued until it is handled, so
// that a burst from the link thread cannot fill the thread's message queue.
void TWin32UiQueue::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> guard(lock_);
  tasks_.push_back(std::move(task));
  if (wakePending_) return;
  wakePending_ = PostMessageW(Handle(), kRunPosted, 0, 0) != FALSE;
}

// A task may open a modal loop; work posted meanwhile runs in that loop,
// still in order, because every task leaves the queue before it runs.
void TWin32UiQueue::RunPosted() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    wakePending_ = false;
  }
  for (;;) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

void TWin32UiQueue::StartTimer(TTimerId id, int intervalMs, TTimerTick tick) {
  if (TimerRunning(id)) return;
  timers_[id] = std::make_shared<TTimerTick>(std::move(tick));
  SetTimer(Handle(), TimerOf(id), static_cast<UINT>(intervalMs), nullptr);
}

void TWin32UiQueue::StopTimer(TTimerId id) {
  if (timers_.erase(id) == 0) return;
  KillTimer(Handle(), TimerOf(id));
}

void TWin32UiQueue::Tick(UINT_PTR timer) {
  for (const auto& [id, tick] : timers_) {
    if (TimerOf(id) != timer) continue;
    const std::shared_ptr<TTimerTick> running = tick;
    (*running)();
    return;
  }
}

LRESULT TWin32UiQueue::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kRunPosted:
      RunPosted();
      return 0;
    case WM_TIMER:
      Tick(wParam);
      return 0;
    default:
      return TWindowBase::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace snimac
