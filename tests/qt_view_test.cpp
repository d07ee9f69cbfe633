// The Qt front end's own machinery on real widgets (offscreen): posted work
// from other threads and timers inside a modal loop, the tray menu as drawn,
// the grid, the upgrade window and its close box, the message boxes, and the
// end of the run while a box is open.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/main_frm.h"
#include "platform/qt/message_box.h"
#include "platform/qt/qt_view.h"
#include "tests/support/qt/box_answerer.h"
#include "tray/tray_menu.h"
#include "tray/tray_texts.h"
#include "upgrade/upgrade_texts.h"

namespace snimac {
namespace {

using test::TBoxAnswerer;
using test::TSeenBox;

TEST(QtView, PostedWorkFromOtherThreadsAndTimersRunInTheModalLoop) {
  TQtView view;
  std::vector<int> order;
  std::atomic<int> posted{0};
  std::thread poster([&] {
    for (int i = 0; i < 500; ++i) {
      view.Post([&order, i] { order.push_back(i); });
      ++posted;
    }
  });
  int ticks = 0;
  view.StartTimer(TTimerId::BlickTimer, 10, [&] {
    // A tick that stops its own timer, as the blink does.
    if (++ticks == 3) view.StopTimer(TTimerId::BlickTimer);
  });
  view.StartTimer(TTimerId::BlickTimer, 10, [] { ADD_FAILURE() << "a running timer keeps its tick"; });
  bool enabledMeanwhile = true;
  view.Post([&] { enabledMeanwhile = view.MainWindow().isEnabled(); });
  // Work that opens a box of its own does not hold up the work behind it.
  int afterBox = 0;
  TBoxAnswerer answerer([&](const TSeenBox&) {
    return afterBox > 0 ? QMessageBox::Ok : QMessageBox::NoButton;  // answered only once the next task ran
  });
  view.Post([&] { view.ShowMessageBox("box", "caption", TMessageButtons::Ok); });
  view.Post([&] { ++afterBox; });

  bool timedOut = false;
  view.StartTimer(TTimerId::TimeoutTimer, 10000, [&] { timedOut = true; });
  view.RunModal([&] {
    return timedOut || (posted == 500 && order.size() == 500 && ticks >= 3 && !answerer.seen.empty() &&
                        !QApplication::activeModalWidget());
  });
  poster.join();
  view.StopTimer(TTimerId::TimeoutTimer);

  ASSERT_FALSE(timedOut);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(order[i], i);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(afterBox, 1);
  EXPECT_FALSE(enabledMeanwhile) << "the main window is disabled while a modal loop runs";
  EXPECT_TRUE(view.MainWindow().isEnabled());
}

std::vector<QAction*> Items(QMenu& menu) {
  std::vector<QAction*> items;
  for (QAction* action : menu.actions()) items.push_back(action);
  return items;
}

TEST(QtView, TrayMenuShowsVisibleItemsWithTickAndDefault) {
  TQtView view;
  TTrayMenu menu;  // the core's model: "Posílat Enter" ticked but hidden
  for (const TTrayMenuItem& item : menu.Items()) view.ShowMenuItem(item);
  auto drawn = view.BuildTrayMenu();
  auto items = Items(*drawn);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0]->text().toStdString(), tray_texts::kRestore);
  EXPECT_TRUE(items[0]->font().bold()) << "Obnovit is the default item, drawn bold";
  EXPECT_EQ(drawn->defaultAction(), items[0]);
  EXPECT_FALSE(items[0]->isCheckable());

  menu.ShowForMode(true);
  view.ShowMenuItem(menu.Item(TMenuItem::PoslatEnter1));
  drawn = view.BuildTrayMenu();
  items = Items(*drawn);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1]->text().toStdString(), tray_texts::kPoslatEnter);
  EXPECT_EQ(items[1]->toolTip().toStdString(), tray_texts::kPoslatEnterHint);
  EXPECT_TRUE(items[1]->isCheckable());
  EXPECT_TRUE(items[1]->isChecked());
  EXPECT_FALSE(items[1]->font().bold());

  menu.TogglePoslatEnter();
  view.ShowMenuItem(menu.Item(TMenuItem::PoslatEnter1));
  drawn = view.BuildTrayMenu();
  items = Items(*drawn);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_TRUE(items[1]->isCheckable()) << "an unticked switch is still a switch";
  EXPECT_FALSE(items[1]->isChecked());
}

TEST(QtView, MainWindowLabelsGridAndSelection) {
  TQtView view;
  TQtMainWindow& window = view.MainWindow();
  EXPECT_FALSE(window.isVisible()) << "hidden at start";
  EXPECT_EQ(window.windowTitle().toStdString(), "Snímač");
  EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "not resizable";

  view.SetLabel(TLabel::ComLbl, "Grab v1.15-QRX(SIM00001)");
  view.SetLabel(TLabel::StatusLbl, "Ready");
  view.SetLabel(TLabel::HwVersionLbl, "HW:MXT_A FW v4.0 Sep  1 2011");
  for (const TLabel label : {TLabel::ComLbl, TLabel::StatusLbl, TLabel::HwVersionLbl}) {
    const QLabel* drawn = window.Label(label);
    EXPECT_GE(drawn->width(), drawn->sizeHint().width()) << drawn->text().toStdString() << " is clipped";
  }
  EXPECT_EQ(window.Label(TLabel::HwVersionLbl)->text().toStdString(), "HW:MXT_A FW v4.0 Sep  1 2011");
  // A long status pushes the version to the right instead of running into it.
  view.SetLabel(TLabel::StatusLbl, "Nepodařilo se zapsat do souboru");
  EXPECT_GT(window.Label(TLabel::HwVersionLbl)->x(), window.Label(TLabel::StatusLbl)->geometry().right());

  QTableWidget* grid = window.Grid();
  ASSERT_EQ(grid->rowCount(), 1) << "the empty first row";
  EXPECT_EQ(grid->currentRow(), 0);
  view.AddGridRow(1, "06.12.2026 14:10", "04a1b2c3");
  view.AddGridRow(2, "06.12.2026 14:11", "2143baf0");
  view.SelectGridRow(2);
  ASSERT_EQ(grid->rowCount(), 3);
  EXPECT_EQ(grid->item(0, 0)->text().toStdString(), "");
  EXPECT_EQ(grid->item(1, 0)->text().toStdString(), "06.12.2026 14:10");
  EXPECT_EQ(grid->item(2, 1)->text().toStdString(), "2143baf0");
  EXPECT_EQ(grid->currentRow(), 2);
  const auto selected = grid->selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1) << "whole-row selection";
  EXPECT_EQ(selected[0].row(), 2);
}

TEST(QtView, UpgradeWindowShowsProgressAndItsCloseBoxAsksTheHandler) {
  TQtView view;
  TQtUpgradeWindow& window = view.UpgradeWindow();
  EXPECT_EQ(window.windowTitle().toStdString(), upgrade_texts::kCaption);
  EXPECT_EQ(window.Line().toStdString(), upgrade_texts::kInProgress);
  view.ShowUpgradeWindow(true);
  EXPECT_TRUE(window.isVisible());
  view.SetUpgradeProgressRange(17170);
  view.SetUpgradeProgress(4096);
  EXPECT_EQ(window.ProgressMaximum(), 17170);
  EXPECT_EQ(window.Progress(), 4096);

  int asked = 0;
  view.SetUpgradeCloseHandler([&] { ++asked; });
  EXPECT_FALSE(window.close());
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(window.isVisible()) << "only the handler closes the window";

  view.SetUpgradeCloseHandler({});
  window.close();
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(window.isVisible());
  view.ShowUpgradeWindow(false);
  EXPECT_FALSE(window.isVisible());
  view.ShowUpgradeWindow(true);
  EXPECT_EQ(window.Progress(), 0) << "shown again from the start";
  view.ShowUpgradeWindow(false);
}

// Each box: the text and caption as given, no icon, exactly the buttons asked
// for, and the answer of the button pressed.
TEST(QtView, MessageBoxesShowTheirTextAndButtonsAndAnswer) {
  struct TCase {
    TMessageButtons buttons;
    QMessageBox::StandardButtons expectButtons;
    QMessageBox::StandardButton press;
    TMessageResult expect;
  };
  const std::vector<TCase> cases = {
      {TMessageButtons::Ok, QMessageBox::Ok, QMessageBox::Ok, TMessageResult::Ok},
      {TMessageButtons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, TMessageResult::Ok},
      {TMessageButtons::OkCancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel, TMessageResult::Cancel},
      {TMessageButtons::YesNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, TMessageResult::Yes},
      {TMessageButtons::YesNo, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, TMessageResult::No},
  };
  TQtView view;
  const std::string text = "Aktualizace nebyla dokončena.\nUkončit <b>aktualizaci</b>?";
  for (const TCase& c : cases) {
    TBoxAnswerer answerer(c.press);
    EXPECT_EQ(view.ShowMessageBox(text, "Upgrade", c.buttons), c.expect);
    ASSERT_EQ(answerer.seen.size(), 1u);
    EXPECT_EQ(answerer.seen[0].caption, "Upgrade");
    EXPECT_EQ(answerer.seen[0].text, text) << "plain text, as given";
    EXPECT_EQ(answerer.seen[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(answerer.seen[0].buttons, c.expectButtons);
  }

  // The toolkit's box for an exception carries the application's title.
  view.SetApplicationTitle("Snímač karet");
  TBoxAnswerer answerer(QMessageBox::Ok);
  view.ShowException("bad_alloc");
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_EQ(answerer.seen[0].caption, "Snímač karet");
  EXPECT_EQ(answerer.seen[0].text, "bad_alloc");
  EXPECT_EQ(answerer.seen[0].icon, QMessageBox::Critical);

  // A box that ended without a button gives the cautious answer.
  EXPECT_EQ(MessageResultOf(0, TMessageButtons::YesNo), TMessageResult::No);
  EXPECT_EQ(MessageResultOf(0, TMessageButtons::OkCancel), TMessageResult::Cancel);
  EXPECT_EQ(MessageResultOf(0, TMessageButtons::Ok), TMessageResult::Ok);
}

// The end of the run (SIGTERM, the session's end) closes an open question
// with the cautious answer and ends the loop; a box at teardown, after the
// loop, is shown and answered again.
TEST(QtView, QuitEndsTheLoopAndTheOpenBoxButNotTheBoxesAfterIt) {
  TQtView view([] { return true; });
  TPlatformServices services;
  TMainFrm frm(view, services);  // not started: nothing runs but the loop
  std::optional<TMessageResult> answer;
  bool modalEnded = false;
  view.Post([&] {
    QTimer::singleShot(50, [&] { std::thread([&] { view.Post([&] { view.Quit(); }); }).join(); });
    answer = view.ShowMessageBox("Aktualizovat snímač?", "Upgrade", TMessageButtons::OkCancel);
  });
  view.Post([&] {
    view.RunModal([] { return false; });
    modalEnded = true;
  });
  view.RunMessageLoop(frm);
  EXPECT_EQ(answer, TMessageResult::Cancel);
  EXPECT_TRUE(modalEnded);

  TBoxAnswerer answerer(QMessageBox::Yes);
  EXPECT_EQ(view.ShowMessageBox("Tato čtení se nepodařilo uložit", "Chyba", TMessageButtons::YesNo), TMessageResult::Yes);
  EXPECT_EQ(answerer.seen.size(), 1u);
}

}  // namespace
}  // namespace snimac
