// The Qt front end: the view port over the main window "Snímač", the icon in
// the notification area with its menu, the upgrade window, message boxes,
// and the UI thread's posted work, timers and modal loops. What the user does
// goes to the main window object (TMainFrm) while the message loop runs; the
// core decides, this carries it out. Create it on the QApplication's thread.
#pragma once

#include <QIcon>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/view/view.h"
#include "platform/qt/main_window.h"
#include "platform/qt/tray_icon.h"
#include "platform/qt/ui_queue.h"
#include "platform/qt/upgrade_window.h"

class QMenu;

namespace snimac {

class TMainFrm;

class TQtView : public TView {
 public:
  // `trayAvailable` tells whether the desktop has a notification area; by
  // default Qt's answer.
  explicit TQtView(std::function<bool()> trayAvailable = {});
  ~TQtView() override;
  TQtView(const TQtView&) = delete;
  TQtView& operator=(const TQtView&) = delete;

  // The message loop: runs until Quit (or the main window is closed);
  // meanwhile `frm` receives what the user does. A Quit that came before
  // it started ends it at once.
  void RunMessageLoop(TMainFrm& frm);
  // Ends the message loop and every modal loop and box open in it (UI
  // thread; from another thread, Post it). Boxes opened after the message
  // loop has ended (at teardown) are shown again.
  void Quit();
  // The desktop session's end (commitDataRequest, aboutToQuit) ends the run
  // as Quit does.
  void QuitWhenSessionEnds();

  void Post(std::function<void()> task) override { queue_.Post(std::move(task)); }
  void StartTimer(TTimerId id, int intervalMs, TTimerTick tick) override {
    queue_.StartTimer(id, intervalMs, std::move(tick));
  }
  void StopTimer(TTimerId id) override { queue_.StopTimer(id); }
  // A modal loop with the main window disabled.
  void RunModal(const std::function<bool()>& closed) override;

  TMessageResult ShowMessageBox(const std::string& text, const std::string& caption, TMessageButtons buttons) override;
  void ShowException(const std::string& message) override;

  void SetApplicationTitle(const std::string& title) override { title_ = title; }
  void SetLabel(TLabel label, const std::string& text) override { main_->SetLabel(label, text); }
  void AddGridRow(int row, const std::string& time, const std::string& text) override {
    main_->AddGridRow(row, time, text);
  }
  void SelectGridRow(int row) override { main_->SelectGridRow(row); }
  bool AddTrayIcon() override { return tray_->Add(); }
  // A Linux desktop need not have a notification area: the window stays up then.
  TTrayFailurePolicy TrayFailurePolicy() const override { return TTrayFailurePolicy::ShowWindowInstead; }
  void ShowMenuItem(const TTrayMenuItem& item) override;
  void CarryOut(TTrayAction action) override;
  // The window shows a read as its grid row only; where it went is not drawn.
  void ShowDelivery(TDelivery, const std::string&) override {}

  void ShowUpgradeWindow(bool shown) override { upgrade_->Show(shown); }
  void SetUpgradeProgressRange(int maximum) override { upgrade_->SetProgressRange(maximum); }
  void SetUpgradeProgress(int position) override { upgrade_->SetProgress(position); }
  void SetUpgradeCloseHandler(std::function<void()> closeRequested) override {
    upgrade_->SetCloseHandler(std::move(closeRequested));
  }

  TQtMainWindow& MainWindow() { return *main_; }
  TQtUpgradeWindow& UpgradeWindow() { return *upgrade_; }
  TQtTrayIcon& Tray() { return *tray_; }
  // The tray menu as it would open now: the visible items, in order.
  std::unique_ptr<QMenu> BuildTrayMenu() const;
  bool QuitRequested() const { return quitRequested_; }

 private:
  void ForwardMouse(TTrayMouse mouse);
  void ShowTrayMenu();
  void MenuChosen(TMenuItem item);
  void BringToFront(QWidget& window);
  // The window a box belongs to: the upgrade window while it is up, else the
  // main window when it can be seen, else none.
  QWidget* BoxOwner();

  QIcon icon_;
  std::string title_;
  TQtUiQueue queue_;
  std::unique_ptr<TQtMainWindow> main_;
  std::unique_ptr<TQtUpgradeWindow> upgrade_;
  std::unique_ptr<TQtTrayIcon> tray_;
  TDrawnTrayMenu menu_;  // as the core last drew it
  TMainFrm* frm_ = nullptr;
  bool quitRequested_ = false;
  bool inMessageLoop_ = false;
};

}  // namespace snimac
