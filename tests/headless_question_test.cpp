// The console host's question waits for the terminal as a modal box waits
// for its button: posted work (link notifications) and timers (attendance,
// blink) go on meanwhile, and ending the program gives the question up.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "platform/headless/headless_ui.h"
#include "tests/support/steady_clock.h"

namespace snimac::test {
namespace {

using namespace std::chrono_literals;

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

// Waits (at most 5 s) for `done` or a stop request; true when `done`.
template <typename Pred>
bool WaitFor(const std::stop_token& stop, Pred done) {
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (!done()) {
    if (stop.stop_requested() || std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

struct TQuestionRig {
  TSteadyClock clock;
  TFile out{std::tmpfile()};
  TFile err{std::tmpfile()};
  THeadlessUi::TAnswerReader reader;
  THeadlessUi ui{out.get(), err.get(), clock, [this](std::stop_token stop) { return reader(std::move(stop)); }};
};

// The user answers only after work posted meanwhile has run and a timer has
// ticked twice: a question that stopped the loop would never see that.
TEST(HeadlessQuestion, PostedWorkAndTimersRunWhileTheQuestionWaits) {
  TQuestionRig rig;
  std::atomic<bool> posted{false};
  std::atomic<int> ticks{0};
  rig.ui.StartTimer(TTimerId::LogTimer, 10, [&] { ++ticks; });
  rig.reader = [&](std::stop_token stop) -> std::optional<std::string> {
    rig.ui.Post([&] { posted = true; });  // a link notification, from another thread
    if (!WaitFor(stop, [&] { return posted && ticks >= 2; })) return std::nullopt;
    return "ano\n";
  };
  EXPECT_EQ(rig.ui.ShowMessageBox("Aktualizovat?", "Upgrade", TMessageButtons::OkCancel), TMessageResult::Ok);
  EXPECT_TRUE(posted);
  EXPECT_GE(ticks, 2);
}

// Ctrl+C while the question waits: the question ends with no, its reader is
// told to give up, and the loop is left for the teardown.
TEST(HeadlessQuestion, QuitGivesTheWaitingQuestionUpWithNo) {
  TQuestionRig rig;
  std::atomic<bool> gaveUp{false};
  rig.reader = [&](std::stop_token stop) -> std::optional<std::string> {
    WaitFor(stop, [] { return false; });
    gaveUp = stop.stop_requested();
    return std::nullopt;
  };
  std::thread signal([&] {
    std::this_thread::sleep_for(50ms);
    rig.ui.Quit();
  });
  EXPECT_EQ(rig.ui.ShowMessageBox("Aktualizovat?", "Upgrade", TMessageButtons::YesNo), TMessageResult::No);
  signal.join();
  EXPECT_TRUE(gaveUp);
}

}  // namespace
}  // namespace snimac::test
