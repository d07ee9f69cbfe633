// The time of a card read as text: in the grid with the user's date and
// time separators, in server and file lines always as dd/mm/yyyy-hh:nn.
#pragma once

#include <string>

#include "link/clock.h"

namespace snimac {

struct TDateTimeSeparators {
  char date = '.';
  char time = ':';
};

// "dd<date>mm<date>yyyy hh<time>nn", e.g. 06.12.2026 14:10.
std::string FormatGridTime(const TLocalTime& time, TDateTimeSeparators separators);

// "dd/mm/yyyy-hh:nn" whatever the user's settings, e.g. 06/12/2026-14:10.
std::string FormatRecordTime(const TLocalTime& time);

}  // namespace snimac
