// The Qt program in the test process: a real TMainFrm and its link thread
// against the simulated reader (real clock), drawn by the Qt view. The
// window follows the core (labels, rows, the selection), the tray's
// decisions are carried out (restore, minimise to the tray, the menu), and
// the upgrade is offered, shown and closed through the boxes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTableWidget>
#include <QTimer>

#include <chrono>
#include <string>

#include "app/texts.h"
#include "tests/support/qt/box_answerer.h"
#include "tests/support/qt/qt_rig.h"
#include "tray/tray_texts.h"
#include "upgrade/upgrade_texts.h"

namespace snimac {
namespace {

using test::TBoxAnswerer;
using test::TQtRig;
using test::TSeenBox;

// Chooses `caption` in the tray menu as soon as it is open.
void ChooseInTrayMenuWhenOpen(const std::string& caption) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, caption] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* action : menu->actions()) {
      if (action->text().toStdString() != caption) continue;
      menu->setActiveAction(action);
      QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
      QApplication::sendEvent(menu, &enter);
    }
    poll->deleteLater();
  });
  poll->start(5);
}

TEST(QtMainWindow, FollowsTheReaderAndCarriesOutTheTray) {
  TQtRig rig;
  rig.Start();
  TQtMainWindow& window = rig.view->MainWindow();
  QTableWidget* grid = window.Grid();
  EXPECT_FALSE(window.isVisible()) << "the program starts in the tray";
  EXPECT_TRUE(rig.view->Tray().Added());

  ASSERT_TRUE(rig.RunUntil(
      [&] { return rig.LabelText(TLabel::HwVersionLbl) == "HW:MXT_A FW v4.0 Sep  1 2011"; }));
  EXPECT_EQ(rig.LabelText(TLabel::ComLbl), "Grab v1.15-QRX(A1B2)");
  EXPECT_EQ(rig.LabelText(TLabel::StatusLbl), texts::kStatusReady);
  EXPECT_EQ(rig.view->BuildTrayMenu()->actions().size(), 2) << "grab mode shows Posílat Enter";

  // Reads are rows below the empty first one; the selection follows them.
  rig.reader->PresentCard(0x01, {0x04, 0xA1, 0xB2, 0xC3});
  ASSERT_TRUE(rig.RunUntil([&] { return grid->rowCount() == 2 && rig.typist.typed.size() == 1; }));
  EXPECT_FALSE(rig.Cell(1, 1).empty());
  EXPECT_EQ(rig.Cell(1, 1), rig.frm->Grid().Cell(1, 1));
  EXPECT_EQ(rig.Cell(1, 0), rig.frm->Grid().Cell(1, 0));
  EXPECT_EQ(rig.typist.typed[0], rig.Cell(1, 1));
  rig.reader->PresentCard(0x01, {0x21, 0x43, 0xBA, 0xF0});
  ASSERT_TRUE(rig.RunUntil([&] { return grid->rowCount() == 3; }));
  EXPECT_EQ(grid->currentRow(), 2);

  // The user's selection goes to the core; it no longer follows new reads.
  rig.view->Post([&] { grid->setCurrentCell(1, 1); });
  ASSERT_TRUE(rig.RunUntil([&] { return rig.frm->Grid().Selected() == 1; }));
  rig.reader->PresentCard(0x01, {0x04, 0xA1, 0xB2, 0xC3});
  ASSERT_TRUE(rig.RunUntil([&] { return grid->rowCount() == 4; }));
  EXPECT_EQ(grid->currentRow(), 1);
  EXPECT_EQ(grid->selectionModel()->selectedRows().size(), 1);

  // A double-click on the icon brings the window; minimising takes it off the
  // taskbar; "Obnovit" brings it back.
  rig.view->Post([&] { emit rig.view->Tray().Icon().activated(QSystemTrayIcon::DoubleClick); });
  ASSERT_TRUE(rig.RunUntil([&] { return window.isVisible() && !window.isMinimized(); }));
  rig.view->Post([&] { window.showMinimized(); });
  ASSERT_TRUE(rig.RunUntil([&] { return !window.isVisible(); }));
  ChooseInTrayMenuWhenOpen(tray_texts::kRestore);
  rig.view->Post([&] { emit rig.view->Tray().Icon().activated(QSystemTrayIcon::Context); });
  ASSERT_TRUE(rig.RunUntil([&] { return window.isVisible() && !window.isMinimized(); }));

  // "Posílat Enter" in the menu flips the switch, and the menu shows it.
  ChooseInTrayMenuWhenOpen(tray_texts::kPoslatEnter);
  rig.view->Post([&] { emit rig.view->Tray().Icon().activated(QSystemTrayIcon::Context); });
  ASSERT_TRUE(rig.RunUntil([&] { return !rig.frm->PoslatEnter1Checked(); }));
  EXPECT_FALSE(rig.view->BuildTrayMenu()->actions().at(1)->isChecked());

  // Closing the window ends the message loop; the icon goes with the window.
  const auto before = std::chrono::steady_clock::now();
  rig.view->Post([&] { window.close(); });
  rig.RunUntil([] { return false; }, 10000);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5)) << "the close ended the loop";
  EXPECT_FALSE(window.isVisible());
  rig.frm.reset();
  EXPECT_FALSE(rig.view->Tray().Added());
}

TEST(QtMainWindow, AttendanceModeHidesTheEnterSwitch) {
  TQtRig rig(true, "Snimac evid reader");
  rig.Start({"-net"});
  const auto menu = rig.view->BuildTrayMenu();
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_EQ(menu->actions()[0]->text().toStdString(), tray_texts::kRestore);
}

// A desktop without a notification area: the window is up from the start
// and minimising leaves it on the taskbar.
TEST(QtMainWindow, WithoutANotificationAreaTheWindowStaysInReach) {
  TQtRig rig(false);
  rig.Start();
  TQtMainWindow& window = rig.view->MainWindow();
  EXPECT_FALSE(rig.view->Tray().Added());
  EXPECT_TRUE(window.isVisible());
  rig.view->Post([&] { window.showMinimized(); });
  bool settled = false;
  QTimer::singleShot(300, [&] { settled = true; });
  rig.RunUntil([&] { return settled; });
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.isMinimized());
}

// An old reader: the question, the upgrade window with its progress, and its
// close box asking before it ends the upgrade.
TEST(QtMainWindow, UpgradeIsOfferedShownAndClosedOnRequest) {
  sim::TSimReaderConfig config;
  config.version = "MXT_A FW v3.9 Jan  1 2010";
  config.loader.family = sim::TSimReaderFamily::H8;
  TQtRig rig(true, "Reader", config);
  TBoxAnswerer answerer([](const TSeenBox& box) {
    return box.buttons & QMessageBox::Ok ? QMessageBox::Ok : QMessageBox::Yes;
  });
  rig.Start();
  TQtUpgradeWindow& upgrade = rig.view->UpgradeWindow();

  // One run of the loop: ending it would end the upgrade's modal loop too.
  bool closeAsked = false;
  bool mainEnabledMeanwhile = true;
  int progressSeen = 0;
  ASSERT_TRUE(rig.RunUntil(
      [&] {
        if (!closeAsked && upgrade.isVisible() && upgrade.Progress() >= 128) {
          mainEnabledMeanwhile = rig.view->MainWindow().isEnabled();
          progressSeen = upgrade.Progress();
          closeAsked = true;
          upgrade.close();
        }
        return closeAsked && !upgrade.isVisible();
      },
      30000));
  EXPECT_FALSE(mainEnabledMeanwhile) << "the upgrade is modal";
  EXPECT_GE(progressSeen, 128);
  EXPECT_EQ(upgrade.ProgressMaximum(), 17170) << "the image's size";
  ASSERT_GE(answerer.seen.size(), 1u);
  EXPECT_EQ(answerer.seen[0].caption, upgrade_texts::kCaption);
  EXPECT_EQ(answerer.seen[0].text.rfind("Verze firmware ve snímači (MXT_A FW v3.9 Jan  1 2010) není aktualní.\n", 0), 0u)
      << answerer.seen[0].text;
  EXPECT_EQ(answerer.seen[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
  ASSERT_EQ(answerer.seen.size(), 2u);
  EXPECT_EQ(answerer.seen[1].text, upgrade_texts::kClose);
  EXPECT_EQ(answerer.seen[1].buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_TRUE(answerer.seen[1].hasParent) << "the question belongs to the upgrade window";
  EXPECT_TRUE(rig.view->MainWindow().isEnabled());
}

}  // namespace
}  // namespace snimac
