// The card outputs' user-visible texts (UTF-8; front ends convert at the edge).
#pragma once

namespace snimac::card_texts {

// Shown and logged when the attendance file cannot be written.
inline constexpr const char* kErrWriteFile = "Chyba zápisu do souboru '%s'";

}  // namespace snimac::card_texts
