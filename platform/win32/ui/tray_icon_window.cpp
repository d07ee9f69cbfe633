#include "platform/win32/ui/tray_icon_window.h"

namespace snimac {

namespace {
constexpr UINT kIconId = 1;
}  // namespace

TWin32TrayIcon::TWin32TrayIcon(HINSTANCE instance, HICON icon, TTrayIconEvents events)
    : icon_(icon), events_(std::move(events)), taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
  // A hidden top-level window, not a message-only one: those do not get
  // broadcasts such as TaskbarCreated and the session's end.
  TWindowShape shape;
  shape.className = L"SnimacTrayIcon";
  shape.style = WS_POPUP;
  Create(instance, shape);
}

TWin32TrayIcon::~TWin32TrayIcon() { Remove(); }

NOTIFYICONDATAW TWin32TrayIcon::IconData() const {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = Handle();
  data.uID = kIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON;  // no hint, so no tooltip
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = icon_;
  return data;
}

bool TWin32TrayIcon::Add() {
  NOTIFYICONDATAW data = IconData();
  added_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
  return added_;
}

void TWin32TrayIcon::Remove() {
  if (!added_) return;
  NOTIFYICONDATAW data = IconData();
  Shell_NotifyIconW(NIM_DELETE, &data);
  added_ = false;
}

UINT TWin32TrayIcon::TrackMenuAtCursor(HMENU menu) {
  POINT cursor{};
  GetCursorPos(&cursor);
  SetForegroundWindow(Handle());
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, cursor.x,
                                                       cursor.y, 0, Handle(), nullptr));
  // Lets the menu close properly when it is opened again at once.
  PostMessageW(Handle(), WM_NULL, 0, 0);
  return chosen;
}

LRESULT TWin32TrayIcon::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kCallbackMessage) {
    const auto mouse = TrayMouseFromMessage(static_cast<UINT>(lParam));
    if (mouse && events_.mouse) events_.mouse(*mouse);
    return 0;
  }
  if (message == taskbarCreated_) {
    // Explorer started again: its new notification area knows no icons.
    if (added_) {
      NOTIFYICONDATAW data = IconData();
      Shell_NotifyIconW(NIM_ADD, &data);
    }
    return 0;
  }
  switch (message) {
    case WM_QUERYENDSESSION:
      return events_.queryEndSession ? events_.queryEndSession() : TRUE;
    case WM_ENDSESSION:
      if (events_.endSession) events_.endSession(wParam != FALSE);
      return 0;
    default:
      return TWindowBase::HandleMessage(message, wParam, lParam);
  }
}

std::optional<TTrayMouse> TrayMouseFromMessage(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN: return TTrayMouse::LeftDown;
    case WM_LBUTTONUP: return TTrayMouse::LeftUp;
    case WM_LBUTTONDBLCLK: return TTrayMouse::LeftDoubleClick;
    case WM_RBUTTONDOWN: return TTrayMouse::RightDown;
    case WM_RBUTTONUP: return TTrayMouse::RightUp;
    case WM_RBUTTONDBLCLK: return TTrayMouse::RightDoubleClick;
    case WM_MBUTTONDOWN: return TTrayMouse::MiddleDown;
    case WM_MBUTTONUP: return TTrayMouse::MiddleUp;
    case WM_MBUTTONDBLCLK: return TTrayMouse::MiddleDoubleClick;
    case WM_MOUSEMOVE: return TTrayMouse::Move;
    default: return std::nullopt;
  }
}

}  // namespace snimac
