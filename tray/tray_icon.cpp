#include "tray/tray_icon.h"

#include "tray/tray_texts.h"

namespace snimac {

namespace {

// Win32 keeps internal flags in the low four bits of a system command.
constexpr std::uintptr_t kSystemCommandMask = 0xFFF0;

}  // namespace

TTrayRegistration TTrayIcon::RegistrationFailed() {
  registered_ = false;
  TTrayRegistration result;
  if (policy_ == TTrayFailurePolicy::Fail) {
    result.error = tray_texts::kCannotCreateIcon;
    return result;
  }
  // No icon to come back through: the window itself must stay in reach.
  result.actions = {TTrayAction::ShowMainWindow, TTrayAction::BringToForeground};
  if (!noticeGiven_) {
    result.notice = tray_texts::kNoNotificationArea;
    noticeGiven_ = true;
  }
  return result;
}

TTrayActions TTrayIcon::Mouse(TTrayMouse message) const {
  switch (message) {
    case TTrayMouse::LeftDoubleClick:
    case TTrayMouse::RightDoubleClick:
    case TTrayMouse::MiddleDoubleClick:
      return Restore();
    case TTrayMouse::RightUp:
      // The menu's owner must be in front, or the menu would not close when
      // the user clicks elsewhere.
      return {TTrayAction::BringActiveFormToForeground, TTrayAction::ShowMenuAtCursor};
    case TTrayMouse::LeftDown:
    case TTrayMouse::LeftUp:
    case TTrayMouse::RightDown:
    case TTrayMouse::MiddleDown:
    case TTrayMouse::MiddleUp:
    case TTrayMouse::Move:
      break;
  }
  return {};
}

TTrayActions TTrayIcon::SystemCommand(std::uintptr_t command) const {
  switch (command & kSystemCommandMask) {
    case kScMinimize:
      return Minimize();
    case kScRestore:
      return Restore();
    default:
      return {};
  }
}

TTrayActions TTrayIcon::Restore() const {
  return {TTrayAction::RestoreWindow, TTrayAction::ShowTaskbarEntry, TTrayAction::BringToForeground};
}

TTrayActions TTrayIcon::Minimize() const {
  if (!registered_) return {TTrayAction::MinimizeWindow};
  return {TTrayAction::MinimizeWindow, TTrayAction::HideTaskbarEntry};
}

TTrayActions TTrayIcon::EndSession(bool ending) {
  if (!ending) return {};
  return RemoveIfRegistered();
}

TTrayActions TTrayIcon::Teardown() { return RemoveIfRegistered(); }

TTrayActions TTrayIcon::RemoveIfRegistered() {
  if (!registered_) return {};
  registered_ = false;
  return {TTrayAction::RemoveIcon};
}

}  // namespace snimac
