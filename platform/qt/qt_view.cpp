#include "platform/qt/qt_view.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFont>
#include <QMenu>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

#include "app/main_frm.h"
#include "app/texts.h"
#include "platform/qt/message_box.h"
#include "platform/qt/snimac_icon.h"

namespace snimac {

TQtView::TQtView(std::function<bool()> trayAvailable) : icon_(SnimacIcon()) {
  if (!trayAvailable) trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
  TQtMainWindowEvents events;
  events.systemCommand = [this](std::uintptr_t command) {
    if (frm_) frm_->SysCommand(command);
  };
  events.gridSelect = [this](int row) {
    if (frm_) frm_->LogGridSelect(row);
  };
  // Closing the main window ends the program, as closing its main form did.
  events.close = [this] {
    main_->hide();
    Quit();
  };
  main_ = std::make_unique<TQtMainWindow>(texts::kMainWindowCaption, icon_, std::move(events));
  upgrade_ = std::make_unique<TQtUpgradeWindow>(icon_);
  tray_ = std::make_unique<TQtTrayIcon>(icon_, std::move(trayAvailable), [this](TTrayMouse mouse) { ForwardMouse(mouse); });
}

// The icon goes before the windows.
TQtView::~TQtView() {
  tray_.reset();
  upgrade_.reset();
  main_.reset();
}

void TQtView::RunMessageLoop(TMainFrm& frm) {
  frm_ = &frm;
  if (!quitRequested_) {
    inMessageLoop_ = true;
    QApplication::exec();
    inMessageLoop_ = false;
  }
  frm_ = nullptr;
  quitRequested_ = false;  // the request is spent: a later loop runs again
}

// QCoreApplication::exit ends every event loop running now (the message
// loop, boxes, menus); modal loops see the flag. Outside the message loop it
// would make every later box return at once, so there only the flag is set.
void TQtView::Quit() {
  quitRequested_ = true;
  if (inMessageLoop_) QCoreApplication::exit(0);
}

void TQtView::QuitWhenSessionEnds() {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (!app) return;
#if QT_CONFIG(sessionmanager)
  QObject::connect(app, &QGuiApplication::commitDataRequest, &queue_, [this](QSessionManager&) { Quit(); });
#endif
  // Emitted as the message loop returns: the run ends with it already.
  QObject::connect(app, &QCoreApplication::aboutToQuit, &queue_, [this] { quitRequested_ = true; });
}

void TQtView::RunModal(const std::function<bool()>& closed) {
  const bool wasEnabled = main_->isEnabled();
  main_->setEnabled(false);
  QEventLoop loop;
  while (!closed() && !quitRequested_) loop.processEvents(QEventLoop::WaitForMoreEvents);
  if (wasEnabled) main_->setEnabled(true);
}

QWidget* TQtView::BoxOwner() {
  if (upgrade_->isVisible()) return upgrade_.get();
  if (main_->isVisible() && !main_->isMinimized() && main_->isEnabled()) return main_.get();
  return nullptr;
}

TMessageResult TQtView::ShowMessageBox(const std::string& text, const std::string& caption, TMessageButtons buttons) {
  return ShowQtMessageBox(BoxOwner(), text, caption, buttons);
}

void TQtView::ShowException(const std::string& message) { ShowQtErrorBox(BoxOwner(), message, title_); }

void TQtView::ShowMenuItem(const TTrayMenuItem& item) {
  menu_.Draw(item);
}

void TQtView::ForwardMouse(TTrayMouse mouse) {
  if (frm_) frm_->TrayIconMouse(mouse);
}

void TQtView::CarryOut(TTrayAction action) {
  switch (action) {
    case TTrayAction::RestoreWindow:
      main_->RestoreForCore();
      break;
    case TTrayAction::ShowTaskbarEntry:
    case TTrayAction::ShowMainWindow:
      if (!main_->isVisible()) main_->show();
      break;
    case TTrayAction::BringToForeground:
      BringToFront(*main_);
      break;
    case TTrayAction::MinimizeWindow:
      main_->ShowMinimizedForCore();
      break;
    case TTrayAction::HideTaskbarEntry:
      main_->hide();
      break;
    case TTrayAction::BringActiveFormToForeground:
      if (upgrade_->isVisible()) {
        BringToFront(*upgrade_);
      } else if (main_->isVisible() && !main_->isMinimized()) {
        BringToFront(*main_);
      }
      break;
    case TTrayAction::ShowMenuAtCursor:
      ShowTrayMenu();
      break;
    case TTrayAction::RemoveIcon:
      tray_->Remove();
      break;
  }
}

void TQtView::BringToFront(QWidget& window) {
  window.raise();
  window.activateWindow();
}

// The switch items carry a tick box; the default item is drawn bold.
std::unique_ptr<QMenu> TQtView::BuildTrayMenu() const {
  auto menu = std::make_unique<QMenu>();
  menu->setToolTipsVisible(true);
  for (const TTrayMenuItem& item : menu_.Items()) {
    if (!item.visible) continue;
    QAction* action = menu->addAction(QString::fromStdString(item.caption));
    action->setData(static_cast<int>(item.id));
    if (item.id == TMenuItem::PoslatEnter1 || item.checked) {
      action->setCheckable(true);
      action->setChecked(item.checked);
    }
    if (!item.hint.empty()) action->setToolTip(QString::fromStdString(item.hint));
    if (item.isDefault) {
      QFont bold = action->font();
      bold.setBold(true);
      action->setFont(bold);
      menu->setDefaultAction(action);
    }
  }
  return menu;
}

void TQtView::ShowTrayMenu() {
  const std::unique_ptr<QMenu> menu = BuildTrayMenu();
  if (menu->isEmpty()) return;
  const QAction* chosen = menu->exec(QCursor::pos());
  if (chosen) MenuChosen(static_cast<TMenuItem>(chosen->data().toInt()));
}

void TQtView::MenuChosen(TMenuItem item) {
  if (!frm_) return;
  switch (item) {
    case TMenuItem::Restore1: frm_->Restore1Click(); break;
    case TMenuItem::PoslatEnter1: frm_->PoslatEnter1Click(); break;
  }
}

}  // namespace snimac
