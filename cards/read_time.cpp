#include "cards/read_time.h"

#include <cstdio>

namespace snimac {

namespace {

std::string Format(const TLocalTime& t, char date, char between, char time) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d%c%02d%c%04d%c%02d%c%02d", t.day, date, t.month, date, t.year,
                between, t.hour, time, t.minute);
  return text;
}

}  // namespace

std::string FormatGridTime(const TLocalTime& time, TDateTimeSeparators separators) {
  return Format(time, separators.date, ' ', separators.time);
}

std::string FormatRecordTime(const TLocalTime& time) { return Format(time, '/', '-', ':'); }

}  // namespace snimac
