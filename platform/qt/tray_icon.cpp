#include "platform/qt/tray_icon.h"

namespace snimac {

std::optional<TTrayMouse> TrayMouseFromActivation(QSystemTrayIcon::ActivationReason reason) {
  switch (reason) {
    case QSystemTrayIcon::DoubleClick: return TTrayMouse::LeftDoubleClick;
    case QSystemTrayIcon::Context: return TTrayMouse::RightUp;
    case QSystemTrayIcon::Trigger: return TTrayMouse::LeftUp;
    case QSystemTrayIcon::MiddleClick: return TTrayMouse::MiddleUp;
    case QSystemTrayIcon::Unknown: break;
  }
  return std::nullopt;
}

// No menu is given to the icon: the core decides when it opens.
TQtTrayIcon::TQtTrayIcon(const QIcon& icon, std::function<bool()> available, std::function<void(TTrayMouse)> mouse)
    : icon_(icon), available_(std::move(available)) {
  QObject::connect(&icon_, &QSystemTrayIcon::activated, &icon_,
                   [mouse = std::move(mouse)](QSystemTrayIcon::ActivationReason reason) {
                     if (const auto message = TrayMouseFromActivation(reason); message && mouse) mouse(*message);
                   });
}

bool TQtTrayIcon::Add() {
  if (!available_()) return false;
  icon_.show();
  added_ = true;
  return true;
}

void TQtTrayIcon::Remove() {
  if (!added_) return;
  icon_.hide();
  added_ = false;
}

}  // namespace snimac
