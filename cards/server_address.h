// Where the attendance server is: the SNIMAC_SERVER setting, "host" or
// "host:port" ("[v6-address]:port" for an IPv6 address with a port).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace snimac {

constexpr const char* kDefaultServerHost = "localhost";
constexpr uint16_t kDefaultServerPort = 11000;

struct TServerAddress {
  std::string host = kDefaultServerHost;
  uint16_t port = kDefaultServerPort;

  bool operator==(const TServerAddress&) const = default;
};

// An empty setting gives the default server. Nothing when the setting is not
// a valid address (empty host, blanks, a port that is not 1..65535), so that
// start-up can name the bad setting instead of sending reads somewhere else.
std::optional<TServerAddress> ParseServerAddress(std::string_view setting);

}  // namespace snimac
