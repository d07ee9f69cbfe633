#include "platform/posix/locale_separators.h"

#include <langinfo.h>

#include <cctype>
#include <cstring>

namespace snimac {

namespace {

bool IsAlphanumeric(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Flags, width and modifiers that may stand between '%' and the conversion.
bool IsConversionPrefix(char c) {
  return (c != '\0' && std::strchr("_-0^#EO", c) != nullptr) || (c >= '1' && c <= '9');
}

}  // namespace

char SeparatorOfFormat(std::string_view format, char fallback) {
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%') {
      ++i;
      while (i < format.size() && IsConversionPrefix(format[i])) ++i;
      continue;  // `i` is on the conversion character
    }
    if (!IsAlphanumeric(format[i])) return format[i];
  }
  return fallback;
}

TDateTimeSeparators LocaleDateTimeSeparators() {
  TDateTimeSeparators fallback;
  return {SeparatorOfFormat(::nl_langinfo(D_FMT), fallback.date),
          SeparatorOfFormat(::nl_langinfo(T_FMT), fallback.time)};
}

}  // namespace snimac

