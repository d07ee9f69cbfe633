#include "platform/headless/headless_ui.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <iterator>
#include <string>
#include <thread>

#include "platform/headless/headless_texts.h"
#include "upgrade/upgrade_texts.h"

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
  RunLoop([] { return false; });
}

void THeadlessUi::RunModal(const std::function<bool()>& closed) { RunLoop(closed); }

void THeadlessUi::RunLoop(const std::function<bool()>& stop) {
  for (;;) {
    if (stop()) return;
    timers_.RunDue();
    if (stop()) return;
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

// A label set again to the text it shows is no news: printed once.
void THeadlessUi::SetLabel(TLabel label, const std::string& text) {
  std::string& shown = labels_[label];
  if (shown == text && !text.empty()) return;
  shown = text;
  PrintLine(out_, text);
}

void THeadlessUi::AddGridRow(int, const std::string& time, const std::string& text) {
  PrintLine(out_, headless_texts::kGridRow + time + " " + text);
}

// Typed texts show themselves (as lines, without a display).
void THeadlessUi::ShowDelivery(TDelivery where, const std::string& text) {
  switch (where) {
    case TDelivery::Typed: break;
    case TDelivery::Serial: PrintLine(out_, headless_texts::kToSerial + text); break;
    case TDelivery::Server: PrintLine(out_, headless_texts::kToServer + text); break;
    case TDelivery::File: PrintLine(out_, headless_texts::kToFile + text); break;
  }
}

TMessageResult THeadlessUi::ShowMessageBox(const std::string& text, const std::string& caption, TMessageButtons buttons) {
  PrintLine(err_, caption + ": " + text);
  if (buttons == TMessageButtons::Ok) return TMessageResult::Ok;
  const bool yesNo = buttons == TMessageButtons::YesNo;
  std::fprintf(err_, "%s ", yesNo ? headless_texts::kChoicesYesNo : headless_texts::kChoicesOkCancel);
  std::fflush(err_);
  const std::optional<std::string> answer = AwaitAnswer();
  const bool consent = answer && IsConsentAnswer(*answer);
  using namespace headless_texts;
  PrintLine(err_, consent ? (yesNo ? kYes : kOk) : (yesNo ? kNo : kCancel));
  if (yesNo) return consent ? TMessageResult::Yes : TMessageResult::No;
  return consent ? TMessageResult::Ok : TMessageResult::Cancel;
}

std::optional<std::string> THeadlessUi::AwaitAnswer() {
  if (!readAnswer_ || asking_) return std::nullopt;
  asking_ = true;
  std::optional<std::string> answer;
  std::atomic<bool> answered{false};
  {
    std::jthread reader([this, &answer, &answered](std::stop_token stop) {
      answer = readAnswer_(stop);
      answered = true;
      Post([] {});  // wakes the loop
    });
    RunLoop([&answered] { return answered.load(); });
  }  // a question still waiting at Quit is given up: its reader is stopped and joined here
  asking_ = false;
  return answered ? answer : std::nullopt;
}

void THeadlessUi::ShowUpgradeWindow(bool shown) {
  if (shown) PrintLine(out_, std::string(upgrade_texts::kCaption) + ": " + upgrade_texts::kInProgress);
  progressShown_ = -1;
}

// The progress as a percentage, one line each time it grows by ten.
void THeadlessUi::SetUpgradeProgress(int position) {
  const int percent = progressMaximum_ > 0 ? position * 100 / progressMaximum_ : 0;
  if (progressShown_ >= 0 && percent < progressShown_ + 10) return;
  progressShown_ = percent - percent % 10;
  PrintLine(out_, std::string(upgrade_texts::kCaption) + ": " + std::to_string(percent) + " %");
}

bool IsConsentAnswer(const std::string& answer) {
  std::string word;
  for (char c : answer) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return std::find(std::begin(headless_texts::kConsentAnswers), std::end(headless_texts::kConsentAnswers), word) !=
         std::end(headless_texts::kConsentAnswers);
}

void THeadlessUi::ShowException(const std::string& message) { PrintLine(err_, title_ + ": " + message); }

}  // namespace snimac
