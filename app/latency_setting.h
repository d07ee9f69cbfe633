// The converter's latency timer the link sets on every open, from the
// SNIMAC_LATENCY_MS setting: 1 to 255 ms, TProtocol::kDefaultLatencyMs when
// unset. A value that is not a whole number in that range gives the default
// and a notice for the user, rather than stopping the program: the link
// works with any timer, only slower or faster.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace snimac {

struct TLatencySetting {
  uint8_t ms = 0;
  std::string notice;  // empty when the setting was usable
};

TLatencySetting ParseLatencySetting(const std::optional<std::string>& value);

// `notices` with `notice` added (either may be empty).
std::string WithNotice(const std::string& notices, const std::string& notice);

}  // namespace snimac
