// The Linux adapters' user-visible texts (UTF-8).
#pragma once

namespace snimac::posix_texts {

inline constexpr const char* kTypingIntoDisplay = "Psaní: do okna s fokusem na displeji X11 ";
inline constexpr const char* kTypingAsLines = "Psaní: řádky na standardní výstup (není DISPLAY)";
inline constexpr const char* kTypingNowhere = "Psaní: není kam psát (není DISPLAY)";

// The vendor library cannot be loaded: "Knihovnu <name> nelze načíst: <reason>".
inline constexpr const char* kErrLoadLibrary = "Knihovnu %s nelze načíst: ";
inline constexpr const char* kUnknownError = "neznámá chyba";
inline constexpr const char* kErrUdevScan = "libudev: výčet zařízení tty selhal";

}  // namespace snimac::posix_texts
