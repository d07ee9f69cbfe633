// What the main window tells its view: the grid rows and the selection that
// follows them, where every read went, and the tray's decisions for what the
// user does over the icon, its menu and the window. Against the simulated
// reader on a virtual clock, with the test front end.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/process_entry.h"
#include "tests/support/reader_scenario.h"

namespace snimac::test {
namespace {

namespace fs = std::filesystem;
using TActions = std::vector<TTrayAction>;
using TDeliveries = std::vector<std::pair<TDelivery, std::string>>;

fs::path FreshDir(const std::string& name) {
  return fs::temp_directory_path() /
         (name + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
}

std::string FileContent(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MainWindowView, GridRowsAreDrawnAndTheSelectionFollowsOnlyFromTheLastRow) {
  TScenario s({});
  auto read = [&](uint8_t byte) {
    const size_t before = s.typist.typed.size();
    s.reader->PresentCard(0x81, {byte});
    ASSERT_TRUE(s.RunUntil([&] { return s.typist.typed.size() == before + 1; }));
  };
  read(0x01);
  read(0x02);
  ASSERT_EQ(s.ui.gridRows.size(), 2u);
  EXPECT_EQ(s.ui.gridRows[0], "1|06.12.2026 14:10|01");
  EXPECT_EQ(s.ui.gridRows[1].substr(0, 2), "2|");
  EXPECT_EQ(s.ui.selectedRow, 2);

  s.frm->LogGridSelect(1);  // the user looks at an older read
  EXPECT_EQ(s.ui.selectedRow, 1);
  read(0x03);
  EXPECT_EQ(s.ui.gridRows.size(), 3u);
  EXPECT_EQ(s.ui.selectedRow, 1);  // stays where the user put it

  s.frm->LogGridSelect(7);  // no such row
  EXPECT_EQ(s.ui.selectedRow, 1);
  s.frm->LogGridSelect(3);
  read(0x04);
  EXPECT_EQ(s.ui.selectedRow, 4);
}

TEST(MainWindowView, EveryReadSaysWhereItWent) {
  TScenario grab({"-ser", "Pokladna"});
  grab.reader->PresentCard(0x81, {0x12, 0x34});
  ASSERT_TRUE(grab.RunUntil([&] { return grab.ui.deliveries.size() == 1; }));
  grab.typist.title = "Pokladna";
  grab.reader->PresentCard(0x81, {0x56});
  ASSERT_TRUE(grab.RunUntil([&] { return grab.ui.deliveries.size() == 2; }));
  EXPECT_EQ(grab.ui.deliveries, (TDeliveries{{TDelivery::Typed, "1234"}, {TDelivery::Serial, "56"}}));
  EXPECT_EQ(grab.serial->written, "56\r\n");

  const fs::path dir = FreshDir("snimac-view-");
  const std::string db = (dir / "vestibar.db").string();
  {
    TScenario attendance({"-net", "-db", db}, "evid reader");
    attendance.reader->PresentCard(0x81, {0x12, 0x34, 0xAB, 0x0F});
    ASSERT_TRUE(attendance.RunUntil([&] { return !attendance.ui.deliveries.empty(); }, 30000));
    EXPECT_EQ(attendance.ui.deliveries, (TDeliveries{{TDelivery::File, "06/12/2026-14:10 1234ab0f"}}));
  }
  fs::remove_all(dir);
}

TEST(MainWindowView, TrayDecisionsReachTheView) {
  TScenario s({});
  const struct {
    const char* what;
    std::function<void(TMainFrm&)> input;
    TActions actions;
  } cases[] = {
      {"Obnovit", [](TMainFrm& f) { f.Restore1Click(); },
       {TTrayAction::RestoreWindow, TTrayAction::ShowTaskbarEntry, TTrayAction::BringToForeground}},
      {"double-click", [](TMainFrm& f) { f.TrayIconMouse(TTrayMouse::MiddleDoubleClick); },
       {TTrayAction::RestoreWindow, TTrayAction::ShowTaskbarEntry, TTrayAction::BringToForeground}},
      {"right button up", [](TMainFrm& f) { f.TrayIconMouse(TTrayMouse::RightUp); },
       {TTrayAction::BringActiveFormToForeground, TTrayAction::ShowMenuAtCursor}},
      {"left click", [](TMainFrm& f) { f.TrayIconMouse(TTrayMouse::LeftUp); }, {}},
      {"minimise box", [](TMainFrm& f) { f.SysCommand(0xF020); },
       {TTrayAction::MinimizeWindow, TTrayAction::HideTaskbarEntry}},
      {"restore from the system menu", [](TMainFrm& f) { f.SysCommand(0xF122); },
       {TTrayAction::RestoreWindow, TTrayAction::ShowTaskbarEntry, TTrayAction::BringToForeground}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    s.ui.trayActions.clear();
    c.input(*s.frm);
    EXPECT_EQ(s.ui.trayActions, c.actions);
  }

  // "Posílat Enter": the tick the view draws is the one typing follows.
  s.frm->PoslatEnter1Click();
  EXPECT_FALSE(s.ui.menuChecked[TMenuItem::PoslatEnter1]);
  s.reader->PresentCard(0x81, {0x01});
  ASSERT_TRUE(s.RunUntil([&] { return !s.typist.typed.empty(); }));
  EXPECT_FALSE(s.typist.lastOptions.PressEnter);

  s.ui.trayActions.clear();
  s.frm.reset();
  EXPECT_EQ(s.ui.trayActions, TActions{TTrayAction::RemoveIcon});
}

TEST(MainWindowView, TheEndOfTheSessionWritesPendingReadsAndRemovesTheIconOnce) {
  const fs::path dir = FreshDir("snimac-session-");
  const std::string db = (dir / "vestibar.db").string();
  {
    TScenario s({"-net", "-db", db}, "evid reader");
    s.reader->PresentCard(0x81, {0x12, 0x34, 0xAB, 0x0F});
    ASSERT_TRUE(s.RunUntil([&] { return s.ui.gridRows.size() == 1; }));
    ASSERT_TRUE(s.ui.deliveries.empty());  // the five-second cycle has not come yet

    EXPECT_TRUE(s.frm->QueryEndSession());
    s.frm->EndSession(false);  // cancelled: the program goes on as it was
    EXPECT_TRUE(s.ui.trayActions.empty());
    EXPECT_EQ(FileContent(db), "");

    s.frm->EndSession(true);
    EXPECT_EQ(FileContent(db), "06/12/2026-14:10 1234ab0f\r\n");
    EXPECT_EQ(s.ui.trayActions, TActions{TTrayAction::RemoveIcon});
    s.frm.reset();
    EXPECT_EQ(s.ui.trayActions, TActions{TTrayAction::RemoveIcon});
  }
  fs::remove_all(dir);
}

TEST(MainWindowView, ARefusedTrayIconFailsOrLeavesTheWindowShownByPolicy) {
  TScenario s({});
  s.frm.reset();
  s.ui.trayAvailable = false;
  s.ui.boxes.clear();

  s.ui.trayPolicy = TTrayFailurePolicy::Fail;
  bool looped = false;
  EXPECT_EQ(RunApplication(s.ui, s.platform, {}, [&](TMainFrm&) { looped = true; }), TRunResult::StartupFailed);
  EXPECT_FALSE(looped);
  EXPECT_EQ(s.ui.boxes, (std::vector<std::string>{"Snímač karet|Cannot Create System Shell Notification Icon"}));

  s.ui.trayPolicy = TTrayFailurePolicy::ShowWindowInstead;
  s.ui.trayActions.clear();
  s.ui.labelHistory.clear();
  EXPECT_EQ(RunApplication(s.ui, s.platform, {}, [&](TMainFrm&) { looped = true; }), TRunResult::Finished);
  EXPECT_TRUE(looped);
  EXPECT_EQ(s.ui.trayActions, (TActions{TTrayAction::ShowMainWindow, TTrayAction::BringToForeground}));
  ASSERT_FALSE(s.ui.labelHistory.empty());
  EXPECT_EQ(s.ui.labelHistory.front(), "Oblast oznámení není k dispozici: okno programu zůstává zobrazené");
}

}  // namespace
}  // namespace snimac::test
