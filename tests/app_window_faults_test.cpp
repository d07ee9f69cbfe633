// The main window's status and teardown when the attendance file fails:
// on a virtual clock against the simulated reader. /dev/full opens and
// refuses every write; Windows has no such device.
#include <gtest/gtest.h>

#include <memory>

#include "app/main_frm.h"
#include "tests/support/reader_scenario.h"

namespace snimac::test {
namespace {

// An attendance server that confirms every read while `up` says so.
class TSwitchedServer : public TLineClient {
 public:
  explicit TSwitchedServer(const bool& up) : up_(up) {}
  TConnectResult Connect(const std::string&, uint16_t, std::chrono::milliseconds) override {
    connected_ = up_;
    return up_ ? TConnectResult::Connected : TConnectResult::Failed;
  }
  bool WriteLine(const std::string&, std::chrono::milliseconds) override { return connected_; }
  TLineRead ReadLine(std::chrono::milliseconds, size_t) override {
    return connected_ ? TLineRead{TLineStatus::Line, "OK"} : TLineRead{};
  }
  void Disconnect() override { connected_ = false; }
  bool Connected() const override { return connected_; }

 private:
  const bool& up_;
  bool connected_ = false;
};

constexpr const char* kFileError = "Chyba zápisu do souboru '/dev/full'";

struct TServerSwitch {
  bool serverUp = false;
};

// Attendance mode writing to /dev/full, with the server down: a read shows
// the file error. (The switch is a base, so that it exists before the window.)
struct TFailingFileScenario : TServerSwitch, TScenario {
  TFailingFileScenario()
      : TScenario({"-net", "-db", "/dev/full"}, "evid reader", {}, [this](TPlatformServices& services) {
          services.makeLineClient = [this] { return std::make_unique<TSwitchedServer>(serverUp); };
        }) {}
  bool ShowsTheFileError() {
    if (!RunUntil([&] { return Ready(); })) return false;
    reader->PresentCard(0x81, {0x12});
    return RunUntil([&] { return ui.labels[TLabel::StatusLbl] == kFileError; }, 8000);
  }
};

// The server confirms what the file refused: the queue is empty, the error
// is over, and the link's status shows again (and later ones too).
TEST(WindowFaults, AFileErrorGivesWayWhenTheServerTakesEveryRead) {
#ifdef _WIN32
  GTEST_SKIP() << "no device that opens but refuses every write";
#endif
  TFailingFileScenario s;
  ASSERT_TRUE(s.ShowsTheFileError());
  s.serverUp = true;
  EXPECT_TRUE(s.RunUntil([&] { return s.Ready(); }, 6000)) << s.ui.labels[TLabel::StatusLbl];
  EXPECT_TRUE(s.frm->Attendance->LogItems().empty());
  s.bus.SetSilent("A1B2", true);
  EXPECT_TRUE(s.RunUntil([&] { return s.ui.labels[TLabel::StatusLbl] == "Nekomunikuje"; }));
}

// The teardown shows the reads it could not save; by then the window's
// timers are stopped, so a front end that dispatches events inside the box
// cannot tick the window being taken apart.
TEST(WindowFaults, TheTeardownStopsTheTimersBeforeItReleasesAnything) {
#ifdef _WIN32
  GTEST_SKIP() << "no device that opens but refuses every write";
#endif
  TFailingFileScenario s;
  ASSERT_TRUE(s.ShowsTheFileError());
  s.reader->PresentCard(0x81, {0x34});  // the blink's timer runs as well
  ASSERT_TRUE(s.RunUntil([&] { return s.ui.timers.Running(TTimerId::BlickTimer); }));
  const size_t boxesBefore = s.ui.boxes.size();
  int timersInTheBox = -1;
  s.ui.boxShown = [&] {
    timersInTheBox = 0;
    for (const TTimerId id : {TTimerId::LogTimer, TTimerId::BlickTimer, TTimerId::VersionTimer}) {
      timersInTheBox += s.ui.timers.Running(id);
    }
  };
  s.frm.reset();
  ASSERT_EQ(s.ui.boxes.size(), boxesBefore + 1);  // the unsaved reads
  EXPECT_EQ(timersInTheBox, 0);
  EXPECT_FALSE(s.ui.timers.NextDueUs().has_value());
}

}  // namespace
}  // namespace snimac::test
