// The icon in the notification area, with the hidden window of its own that
// the shell talks to: mouse messages over the icon come back as the
// callback message WM_USER + 1, the icon is added again when the taskbar
// is re-created (Explorer restarted), and the session's end is answered
// here. What any of it means is the core's business (TTrayIcon).
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <optional>

#include "platform/win32/ui/window_base.h"
#include "tray/tray_icon.h"

namespace snimac {

struct TTrayIconEvents {
  std::function<void(TTrayMouse)> mouse;
  std::function<bool()> queryEndSession;
  std::function<void(bool ending)> endSession;
};

class TWin32TrayIcon : private TWindowBase {
 public:
  // The callback message of the icon.
  static constexpr UINT kCallbackMessage = WM_USER + 1;

  TWin32TrayIcon(HINSTANCE instance, HICON icon, TTrayIconEvents events);
  // The icon leaves with its window.
  ~TWin32TrayIcon() override;

  // NIM_ADD; false when the shell refused it.
  bool Add();
  // NIM_DELETE; the icon stays away, also when the taskbar comes back.
  void Remove();
  bool Added() const { return added_; }

  // Opens `menu` at the mouse cursor, owned by this window (brought to the
  // foreground first, or the menu would not close on a click elsewhere).
  // Returns the chosen command, 0 when the menu was dismissed.
  UINT TrackMenuAtCursor(HMENU menu);

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  NOTIFYICONDATAW IconData() const;

  HICON icon_;
  TTrayIconEvents events_;
  UINT taskbarCreated_;
  bool added_ = false;
};

// The mouse message that the notification area reports for the icon (the
// callback's lParam); nothing for anything else.
std::optional<TTrayMouse> TrayMouseFromMessage(UINT message);

}  // namespace snimac
