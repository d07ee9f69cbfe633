#include "platform/win32/ui/win32_view.h"

#include <commctrl.h>

#include "app/main_frm.h"
#include "app/texts.h"
#include "platform/win32/adapters/wide_text.h"
#include "platform/win32/ui/message_box.h"
#include "platform/win32/ui/resource_ids.h"

namespace snimac {

namespace {

// Menu commands: the item's id + 1 (TrackPopupMenu returns 0 for none).
UINT CommandOf(TMenuItem id) { return static_cast<UINT>(id) + 1; }

HINSTANCE InitCommonControlsFor(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  return instance;
}

}  // namespace

// The icon from the program's resources at the size asked for; the
// system's application icon in a program without them (the tests).
TWin32View::TLoadedIcon TWin32View::LoadIconSized(HINSTANCE instance, int id, int size) {
  auto* icon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  if (icon) return {icon, true};
  return {LoadIconW(nullptr, IDI_APPLICATION), false};
}

TWin32View::TWin32View(HINSTANCE instance)
    : instance_(InitCommonControlsFor(instance)),
      appIcon_(LoadIconSized(instance, IDI_SNIMAC, GetSystemMetrics(SM_CXICON))),
      appIconSmall_(LoadIconSized(instance, IDI_SNIMAC, GetSystemMetrics(SM_CXSMICON))),
      trayIcon_(LoadIconSized(instance, IDI_TRAY, GetSystemMetrics(SM_CXSMICON))),
      queue_(instance) {
  TMainWindowEvents events;
  events.systemCommand = [this](std::uintptr_t command, const std::function<LRESULT()>& byDefault) {
    return SystemCommand(command, byDefault);
  };
  events.gridSelect = [this](int row) {
    if (frm_) frm_->LogGridSelect(row);
  };
  events.close = [this] { CloseMainWindow(); };
  main_ = std::make_unique<TWin32MainWindow>(instance, texts::kMainWindowCaption, appIcon_.handle,
                                             appIconSmall_.handle, events);
  upgrade_ = std::make_unique<TWin32UpgradeWindow>(instance, appIcon_.handle, appIconSmall_.handle);

  TTrayIconEvents trayEvents;
  trayEvents.mouse = [this](TTrayMouse mouse) {
    if (frm_) frm_->TrayIconMouse(mouse);
  };
  trayEvents.queryEndSession = [this] { return frm_ ? frm_->QueryEndSession() : true; };
  trayEvents.endSession = [this](bool ending) {
    if (frm_) frm_->EndSession(ending);
  };
  tray_ = std::make_unique<TWin32TrayIcon>(instance, trayIcon_.handle, trayEvents);
}

// The windows go before the icons they show.
TWin32View::~TWin32View() {
  tray_.reset();
  upgrade_.reset();
  main_.reset();
  for (const TLoadedIcon& icon : {appIcon_, appIconSmall_, trayIcon_}) {
    if (icon.owned) DestroyIcon(icon.handle);
  }
}

void TWin32View::RunMessageLoop(TMainFrm& frm) {
  frm_ = &frm;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  frm_ = nullptr;
}

void TWin32View::StartTimer(TTimerId id, int intervalMs, TTimerTick tick) {
  queue_.StartTimer(id, intervalMs, std::move(tick));
}

// A quit request that arrives meanwhile ends the modal loop too and is
// passed on to the loop outside.
void TWin32View::RunModal(const std::function<bool()>& closed) {
  const HWND mainWindow = main_->Handle();
  const bool wasEnabled = IsWindowEnabled(mainWindow) != FALSE;
  EnableWindow(mainWindow, FALSE);
  MSG message;
  while (!closed()) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) break;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (wasEnabled) EnableWindow(mainWindow, TRUE);
}

HWND TWin32View::BoxOwner() const {
  if (IsWindowVisible(upgrade_->Handle())) return upgrade_->Handle();
  const HWND mainWindow = main_->Handle();
  if (IsWindowVisible(mainWindow) && !IsIconic(mainWindow)) return mainWindow;
  return nullptr;
}

TMessageResult TWin32View::ShowMessageBox(const std::string& text, const std::string& caption, TMessageButtons buttons) {
  return ShowWin32MessageBox(BoxOwner(), text, caption, buttons);
}

void TWin32View::ShowException(const std::string& message) { ShowWin32ErrorBox(BoxOwner(), message, title_); }

void TWin32View::AddGridRow(int row, const std::string& time, const std::string& text) {
  main_->AddGridRow(row, time, text);
}

void TWin32View::ShowMenuItem(const TTrayMenuItem& item) {
  menu_.Draw(item);
}

void TWin32View::SetUpgradeCloseHandler(std::function<void()> closeRequested) {
  upgrade_->SetCloseHandler(std::move(closeRequested));
}

void TWin32View::CarryOut(TTrayAction action) {
  if (heldActions_) {
    heldActions_->push_back(action);
    return;
  }
  CarryOutNow(action);
}

// The tray sees the command first, as the core expects; what it decides is
// carried out after the window's default handling, which would otherwise
// show the window again that the tray has just hidden.
LRESULT TWin32View::SystemCommand(std::uintptr_t command, const std::function<LRESULT()>& byDefault) {
  std::vector<TTrayAction> actions;
  if (frm_) {
    heldActions_ = &actions;
    frm_->SysCommand(command);
    heldActions_ = nullptr;
  }
  const LRESULT result = byDefault();
  for (const TTrayAction action : actions) CarryOutNow(action);
  return result;
}

void TWin32View::CarryOutNow(TTrayAction action) {
  const HWND mainWindow = main_->Handle();
  switch (action) {
    case TTrayAction::RestoreWindow:
      ShowWindow(mainWindow, SW_RESTORE);
      break;
    case TTrayAction::ShowTaskbarEntry:
    case TTrayAction::ShowMainWindow:
      if (!IsWindowVisible(mainWindow)) ShowWindow(mainWindow, SW_SHOW);
      break;
    case TTrayAction::BringToForeground:
      SetForegroundWindow(mainWindow);
      break;
    case TTrayAction::MinimizeWindow:
      ShowWindow(mainWindow, SW_MINIMIZE);
      break;
    case TTrayAction::HideTaskbarEntry:
      ShowWindow(mainWindow, SW_HIDE);
      break;
    case TTrayAction::BringActiveFormToForeground:
      if (IsWindowVisible(upgrade_->Handle())) {
        SetForegroundWindow(upgrade_->Handle());
      } else if (IsWindowVisible(mainWindow) && !IsIconic(mainWindow)) {
        SetForegroundWindow(mainWindow);
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

HMENU TWin32View::BuildTrayMenu() const {
  const HMENU menu = CreatePopupMenu();
  for (const TTrayMenuItem& item : menu_.Items()) {
    if (!item.visible) continue;
    const std::wstring caption = Utf8ToWide(item.caption);
    AppendMenuW(menu, MF_STRING | (item.checked ? MF_CHECKED : MF_UNCHECKED), CommandOf(item.id), caption.c_str());
    if (item.isDefault) SetMenuDefaultItem(menu, CommandOf(item.id), FALSE);
  }
  return menu;
}

void TWin32View::ShowTrayMenu() {
  const HMENU menu = BuildTrayMenu();
  const UINT chosen = tray_->TrackMenuAtCursor(menu);
  DestroyMenu(menu);
  MenuChosen(chosen);
}

void TWin32View::MenuChosen(UINT command) {
  if (!frm_) return;
  if (command == CommandOf(TMenuItem::Restore1)) frm_->Restore1Click();
  if (command == CommandOf(TMenuItem::PoslatEnter1)) frm_->PoslatEnter1Click();
}

// Closing the main window ends the program, as closing its main form did.
void TWin32View::CloseMainWindow() {
  ShowWindow(main_->Handle(), SW_HIDE);
  PostQuitMessage(0);
}

}  // namespace snimac
