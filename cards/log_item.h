// One card read: when it happened (local time) and the card text.
#pragma once

#include <string>

#include "link/clock.h"

namespace snimac {

struct TLogItem {
  TLocalTime Time;
  std::string Text;
};

}  // namespace snimac
