#include "platform/win32/adapters/win32_locale_separators.h"

#include <windows.h>

#include <iterator>

namespace snimac {

namespace {

bool IsAsciiAlphanumeric(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
}

char SeparatorOfUserFormat(LCTYPE format, char fallback) {
  wchar_t picture[128] = {};  // pictures are at most 80 characters
  const int n = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, format, picture, static_cast<int>(std::size(picture)));
  if (n <= 0) return fallback;
  return SeparatorOfWindowsFormat(std::wstring_view(picture, static_cast<size_t>(n - 1)), fallback);
}

}  // namespace

char SeparatorOfWindowsFormat(std::wstring_view picture, char fallback) {
  bool quoted = false;
  for (const wchar_t c : picture) {
    if (c == L'\'') {
      quoted = !quoted;  // '' toggles twice: an apostrophe, text like the rest
      continue;
    }
    if (quoted || c > 0x7F || IsAsciiAlphanumeric(c)) continue;
    return static_cast<char>(c);
  }
  return fallback;
}

TDateTimeSeparators UserDateTimeSeparators() {
  const TDateTimeSeparators fallback;
  return {SeparatorOfUserFormat(LOCALE_SSHORTDATE, fallback.date),
          SeparatorOfUserFormat(LOCALE_STIMEFORMAT, fallback.time)};
}

}  // namespace snimac
