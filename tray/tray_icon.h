// The decisions of the notification-area icon, free of any toolkit: each
// input (a mouse message over the icon, a system command of the main window,
// the menu's "Obnovit", the end of the session, the outcome of registering
// the icon) yields the ordered actions that a Win32 or Qt front end carries
// out. Minimising takes the application off the taskbar so that the icon is
// its only trace; a double-click or "Obnovit" brings it back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace snimac {

enum class TTrayAction {
  RestoreWindow,                // the main window leaves its minimised state (SW_RESTORE)
  ShowTaskbarEntry,             // its taskbar button comes back
  BringToForeground,            // the main window becomes the foreground window
  MinimizeWindow,               // the main window is minimised
  HideTaskbarEntry,             // its taskbar button goes away (SW_HIDE on the taskbar window)
  BringActiveFormToForeground,  // the application's active window, if any, comes to the front
  ShowMenuAtCursor,             // the popup menu opens at the mouse cursor
  RemoveIcon,                   // the icon leaves the notification area (NIM_DELETE)
  ShowMainWindow,               // the main window is shown (a desktop without a notification area)
};

// Mouse messages that the notification area reports for the icon.
enum class TTrayMouse {
  LeftDown,
  LeftUp,
  LeftDoubleClick,
  RightDown,
  RightUp,
  RightDoubleClick,
  MiddleDown,
  MiddleUp,
  MiddleDoubleClick,
  Move,
};

// What to do when the notification area refuses the icon.
enum class TTrayFailurePolicy {
  Fail,               // start-up fails with the error (Windows always has the area)
  ShowWindowInstead,  // the window stays up as the program's only trace (Linux without a tray)
};

using TTrayActions = std::vector<TTrayAction>;

struct TTrayRegistration {
  TTrayActions actions;
  std::string error;   // non-empty: the caller raises it and start-up fails
  std::string notice;  // non-empty: the caller tells the user once
};

class TTrayIcon {
 public:
  // System command codes as the main window receives them (WM_SYSCOMMAND).
  static constexpr std::uintptr_t kScMinimize = 0xF020;
  static constexpr std::uintptr_t kScRestore = 0xF120;

  explicit TTrayIcon(TTrayFailurePolicy onRegistrationFailure) : policy_(onRegistrationFailure) {}

  // The outcome of adding the icon while the main window loads.
  void Registered() { registered_ = true; }
  TTrayRegistration RegistrationFailed();
  bool IsRegistered() const { return registered_; }

  // A mouse message over the icon: any double-click restores, releasing the
  // right button opens the menu, everything else is left alone.
  TTrayActions Mouse(TTrayMouse message) const;

  // A system command of the main window, as its raw WPARAM: the low four
  // bits belong to the system and are ignored. The front end still lets the
  // window handle the command as usual.
  TTrayActions SystemCommand(std::uintptr_t command) const;

  // Back from the tray: the menu's "Obnovit" and a double-click on the icon.
  TTrayActions Restore() const;
  // Into the tray. Without a registered icon the taskbar button stays, so
  // that the window can always be brought back.
  TTrayActions Minimize() const;

  // The end of the session: ending is never held up by the tray; the icon
  // leaves when the session really ends (`ending` false means it was
  // cancelled and the program keeps running with its icon).
  bool QueryEndSession() const { return true; }
  TTrayActions EndSession(bool ending);
  // The main window is being destroyed: removes the icon unless already gone.
  TTrayActions Teardown();

 private:
  TTrayActions RemoveIfRegistered();

  TTrayFailurePolicy policy_;
  bool registered_ = false;
  bool noticeGiven_ = false;
};

}  // namespace snimac
