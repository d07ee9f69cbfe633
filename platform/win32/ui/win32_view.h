// The Win32 front end: the view port over the main window "Snímač", the
// icon in the notification area with its menu, the upgrade window, message
// boxes, and the UI thread's posted work, timers and modal loops. What the
// user does goes to the main window object (TMainFrm) while the message
// loop runs; the core decides, this carries it out.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/view/view.h"
#include "platform/win32/ui/main_window.h"
#include "platform/win32/ui/tray_icon_window.h"
#include "platform/win32/ui/ui_queue.h"
#include "platform/win32/ui/upgrade_window.h"

namespace snimac {

class TMainFrm;

class TWin32View : public TView {
 public:
  // Creates the windows, hidden, on the calling thread, which is the UI
  // thread from then on. Throws std::runtime_error when a window cannot be
  // created.
  explicit TWin32View(HINSTANCE instance);
  ~TWin32View() override;

  // The message loop: runs until the main window is closed (or the thread
  // is told to quit); meanwhile `frm` receives what the user does.
  void RunMessageLoop(TMainFrm& frm);

  void Post(std::function<void()> task) override { queue_.Post(std::move(task)); }
  void StartTimer(TTimerId id, int intervalMs, TTimerTick tick) override;
  void StopTimer(TTimerId id) override { queue_.StopTimer(id); }
  // A modal loop with the main window disabled.
  void RunModal(const std::function<bool()>& closed) override;

  TMessageResult ShowMessageBox(const std::string& text, const std::string& caption, TMessageButtons buttons) override;
  void ShowException(const std::string& message) override;

  void SetApplicationTitle(const std::string& title) override { title_ = title; }
  void SetLabel(TLabel label, const std::string& text) override { main_->SetLabel(label, text); }
  void AddGridRow(int row, const std::string& time, const std::string& text) override;
  void SelectGridRow(int row) override { main_->SelectGridRow(row); }
  bool AddTrayIcon() override { return tray_->Add(); }
  // Windows always has a notification area: a refusal is an error.
  TTrayFailurePolicy TrayFailurePolicy() const override { return TTrayFailurePolicy::Fail; }
  void ShowMenuItem(const TTrayMenuItem& item) override;
  void CarryOut(TTrayAction action) override;
  // The window shows a read as its grid row only; where it went is not drawn.
  void ShowDelivery(TDelivery, const std::string&) override {}

  void ShowUpgradeWindow(bool shown) override { upgrade_->Show(shown); }
  void SetUpgradeProgressRange(int maximum) override { upgrade_->SetProgressRange(maximum); }
  void SetUpgradeProgress(int position) override { upgrade_->SetProgress(position); }
  void SetUpgradeCloseHandler(std::function<void()> closeRequested) override;

  HWND MainWindow() const { return main_->Handle(); }
  HWND UpgradeWindow() const { return upgrade_->Handle(); }
  const TWin32UpgradeWindow& Upgrade() const { return *upgrade_; }
  const TWin32TrayIcon& Tray() const { return *tray_; }
  // The tray menu as it would open now: visible items, in order.
  HMENU BuildTrayMenu() const;

 private:
  LRESULT SystemCommand(std::uintptr_t command, const std::function<LRESULT()>& byDefault);
  void CarryOutNow(TTrayAction action);
  void ShowTrayMenu();
  void MenuChosen(UINT command);
  void CloseMainWindow();
  // The window a box belongs to: the upgrade window while it is up, else the
  // main window when it can be seen, else none.
  HWND BoxOwner() const;

  // An icon and whether it is the program's to free (not a shared system one).
  struct TLoadedIcon {
    HICON handle = nullptr;
    bool owned = false;
  };
  static TLoadedIcon LoadIconSized(HINSTANCE instance, int id, int size);

  HINSTANCE instance_;
  TLoadedIcon appIcon_;
  TLoadedIcon appIconSmall_;
  TLoadedIcon trayIcon_;
  std::string title_;
  TWin32UiQueue queue_;
  std::unique_ptr<TWin32MainWindow> main_;
  std::unique_ptr<TWin32UpgradeWindow> upgrade_;
  std::unique_ptr<TWin32TrayIcon> tray_;
  TDrawnTrayMenu menu_;  // as the core last drew it
  TMainFrm* frm_ = nullptr;
  // The tray's decisions on a system command, held until the window's own
  // handling of the command is done (it would undo them otherwise).
  std::vector<TTrayAction>* heldActions_ = nullptr;
};

}  // namespace snimac
