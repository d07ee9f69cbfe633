// The user's date and time separators for the grid, from the regional
// settings (the short date and the time format pictures).
#pragma once

#include <string_view>

#include "cards/read_time.h"

namespace snimac {

// From GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT) LOCALE_SSHORTDATE and
// LOCALE_STIMEFORMAT; '.' and ':' where a picture cannot be read or has no
// separator.
TDateTimeSeparators UserDateTimeSeparators();

// The first separator of a Windows format picture ("dd.MM.yyyy" -> '.',
// "M/d/yyyy" -> '/', "HH:mm:ss" -> ':'): the first ASCII character outside
// quotes that is neither a letter nor a digit. Quoted literals ('h', '年',
// '' for an apostrophe) are text, never the separator. `fallback` if none.
char SeparatorOfWindowsFormat(std::wstring_view picture, char fallback);

}  // namespace snimac
