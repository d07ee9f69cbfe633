// The Linux adapters' user-visible texts (UTF-8).
#pragma once

namespace snimac::posix_texts {

inline constexpr const char* kTypingIntoDisplay = "Psaní: do okna s fokusem na displeji X11 ";
inline constexpr const char* kTypingAsLines = "Psaní: řádky na standardní výstup (není DISPLAY)";
inline constexpr const char* kTypingNowhere = "Psaní: není kam psát (není DISPLAY)";
// Wayland sessions: XTest reaches X11 windows only.
inline constexpr const char* kTypingXWayland =
    "Relace Wayland: karty se píší jen do oken X11 (XWayland), ne do nativních oken Wayland";
inline constexpr const char* kTypingWaylandOnly =
    "Relace Wayland bez X11: karty nelze psát do oken; sériový port a docházka fungují";

// The vendor library cannot be loaded: "Knihovnu <name> nelze načíst: <reason>".
inline constexpr const char* kErrLoadLibrary = "Knihovnu %s nelze načíst: ";
inline constexpr const char* kUnknownError = "neznámá chyba";
inline constexpr const char* kErrUdevScan = "libudev: výčet zařízení tty selhal";

}  // namespace snimac::posix_texts
