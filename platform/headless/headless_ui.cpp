#include "platform/headless/headless_ui.h"

#include <algorithm>
#include <chrono>

namespace snimac {

// Notifying under the lock: the UI thread may return from RunUntilQuit and
// destroy this object as soon as it can take the lock.
void THeadlessUi::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> guard(lock_);
  tasks_.push_back(std::move(task));
  wake_.notify_one();
}

void THeadlessUi::Quit() {
  std::lock_guard<std::mutex> guard(lock_);
  quit_ = true;
  wake_.notify_one();
}

void THeadlessUi::RunUntilQuit() {
  for (;;) {
    timers_.RunDue();
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> guard(lock_);
      auto ready = [this] { return quit_ || !tasks_.empty(); };
      if (const auto due = timers_.NextDueUs()) {
        wake_.wait_for(guard, std::chrono::microseconds(std::max<int64_t>(0, *due - clock_.NowUs())), ready);
      } else {
        wake_.wait(guard, ready);
      }
      if (quit_) return;
      if (tasks_.empty()) continue;  // a timer is due
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
  }
}

void THeadlessUi::PrintLine(std::FILE* to, const std::string& line) {
  std::fprintf(to, "%s\n", line.c_str());
  std::fflush(to);
}

void THeadlessUi::SetLabel(TLabel, const std::string& text) { PrintLine(out_, text); }

TMessageResult THeadlessUi::MessageBox(const std::string& text, const std::string& caption, TMessageButtons buttons) {
  PrintLine(err_, caption + ": " + text);
  switch (buttons) {
    case TMessageButtons::Ok: return TMessageResult::Ok;
    case TMessageButtons::OkCancel: return TMessageResult::Cancel;
    case TMessageButtons::YesNo: return TMessageResult::No;
  }
  return TMessageResult::Cancel;
}

void THeadlessUi::ShowException(const std::string& message) { PrintLine(err_, title_ + ": " + message); }

}  // namespace snimac
