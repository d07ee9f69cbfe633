// The user's date and time separators for the grid, from the C library's
// locale (the caller has done setlocale(LC_ALL, "") at start-up).
#pragma once

#include <string_view>

#include "cards/read_time.h"

namespace snimac {

// From nl_langinfo(D_FMT) and nl_langinfo(T_FMT); '.' and ':' where a
// format has no separator.
TDateTimeSeparators LocaleDateTimeSeparators();

// The first character of a strftime format that is neither part of a
// conversion ("%d", "%-m", "%Ey") nor a letter or digit; `fallback` if none.
char SeparatorOfFormat(std::string_view format, char fallback);

}  // namespace snimac
