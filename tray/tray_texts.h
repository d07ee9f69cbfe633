// The tray's user-visible texts (UTF-8; front ends convert at the edge).
#pragma once

namespace snimac::tray_texts {

// Popup menu captions and the hint of the Enter switch.
inline constexpr const char* kRestore = "Obnovit";
inline constexpr const char* kPoslatEnter = "Posílat Enter";
inline constexpr const char* kPoslatEnterHint = "Číslo karty ukončit enterem";

// Raised when the notification area refuses the icon and start-up must fail.
inline constexpr const char* kCannotCreateIcon = "Cannot Create System Shell Notification Icon";
// Said once when a desktop has no notification area and the window stays up.
inline constexpr const char* kNoNotificationArea =
    "Oblast oznámení není k dispozici: okno programu zůstává zobrazené";

}  // namespace snimac::tray_texts
