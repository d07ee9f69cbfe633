// The icon in the notification area. What the user does over it is reported
// as the core's mouse messages: a double-click restores, the context request
// (the right button) opens the menu, which the view draws when the core says so.
#pragma once

#include <QSystemTrayIcon>

#include <functional>
#include <optional>

#include "tray/tray_icon.h"

namespace snimac {

// The mouse message for an activation of the icon; nothing for none.
std::optional<TTrayMouse> TrayMouseFromActivation(QSystemTrayIcon::ActivationReason reason);

class TQtTrayIcon {
 public:
  // `available` tells whether the desktop has a notification area now.
  TQtTrayIcon(const QIcon& icon, std::function<bool()> available, std::function<void(TTrayMouse)> mouse);

  // False when the desktop has no notification area.
  bool Add();
  void Remove();
  bool Added() const { return added_; }
  QSystemTrayIcon& Icon() { return icon_; }

 private:
  QSystemTrayIcon icon_;
  std::function<bool()> available_;
  bool added_ = false;
};

}  // namespace snimac
