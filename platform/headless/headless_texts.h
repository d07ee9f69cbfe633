// The console host's own texts (UTF-8): how it shows what a window would.
#pragma once

namespace snimac::headless_texts {

// Before each line that tells where a read went or what the grid shows.
inline constexpr const char* kGridRow = "Karta: ";
inline constexpr const char* kToSerial = "Sériový port: ";
inline constexpr const char* kToServer = "Server: ";
inline constexpr const char* kToFile = "Soubor: ";
// A question's choices and the answers printed after it.
inline constexpr const char* kChoicesYesNo = "[ano/ne]";
inline constexpr const char* kChoicesOkCancel = "[ok/zrušit]";
inline constexpr const char* kYes = "ano";
inline constexpr const char* kNo = "ne";
inline constexpr const char* kOk = "ok";
inline constexpr const char* kCancel = "zrušit";
// The answers that mean yes (compared in lower case, blanks ignored).
inline constexpr const char* kConsentAnswers[] = {"y", "yes", "a", "ano", "ok"};

}  // namespace snimac::headless_texts
