#include "cards/server_address.h"

#include <algorithm>

namespace snimac {

namespace {

std::optional<uint16_t> ParsePort(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value == 0 || value > 65535) return std::nullopt;
  return static_cast<uint16_t>(value);
}

bool ValidHost(std::string_view host) {
  return !host.empty() && std::none_of(host.begin(), host.end(), [](char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '[' || c == ']';
  });
}

}  // namespace

std::optional<TServerAddress> ParseServerAddress(std::string_view setting) {
  if (setting.empty()) return TServerAddress{};
  TServerAddress address;
  std::string_view host = setting;
  std::optional<std::string_view> port;
  if (setting.front() == '[') {
    // "[::1]" or "[::1]:11000"
    const size_t close = setting.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = setting.substr(1, close - 1);
    const std::string_view rest = setting.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = rest.substr(1);
    }
  } else if (const size_t colon = setting.find(':'); colon != std::string_view::npos) {
    // One colon separates the port; more than one is a bare IPv6 address.
    if (setting.find(':', colon + 1) == std::string_view::npos) {
      host = setting.substr(0, colon);
      port = setting.substr(colon + 1);
    }
  }
  if (!ValidHost(host)) return std::nullopt;
  address.host = std::string(host);
  if (port) {
    const auto number = ParsePort(*port);
    if (!number) return std::nullopt;
    address.port = *number;
  }
  return address;
}

}  // namespace snimac
