// The Windows adapters' user-visible texts (UTF-8; converted at the W calls).
#pragma once

namespace snimac::win32_texts {

// The vendor library cannot be loaded: "Knihovnu <name> nelze načíst: <reason>".
inline constexpr const char* kErrLoadLibrary = "Knihovnu %s nelze načíst: ";
// A call is missing: "Knihovna <name> neobsahuje funkci <FT_…>: <reason>".
inline constexpr const char* kErrMissingFunction = "Knihovna %s neobsahuje funkci ";
// A system error code without a text of its own: "systémová chyba <number>".
inline constexpr const char* kSystemError = "systémová chyba %s";

}  // namespace snimac::win32_texts
