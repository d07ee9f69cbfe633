// The attendance server's address from the SNIMAC_SERVER setting.
#include "cards/server_address.h"

#include <gtest/gtest.h>

#include <optional>

namespace snimac {
namespace {

TEST(ServerAddress, FromTheSetting) {
  const struct {
    const char* setting;
    std::optional<TServerAddress> address;
  } cases[] = {
      {"", TServerAddress{"localhost", 11000}},
      {"vestibar", TServerAddress{"vestibar", 11000}},
      {"vestibar.example:12000", TServerAddress{"vestibar.example", 12000}},
      {"10.1.2.3:1", TServerAddress{"10.1.2.3", 1}},
      {"h:65535", TServerAddress{"h", 65535}},
      {"[::1]:11001", TServerAddress{"::1", 11001}},
      {"[::1]", TServerAddress{"::1", 11000}},
      {"fe80::1", TServerAddress{"fe80::1", 11000}},
      {":11000", std::nullopt},
      {"vestibar:", std::nullopt},
      {"vestibar:0", std::nullopt},
      {"vestibar:65536", std::nullopt},
      {"vestibar:123456", std::nullopt},
      {"vestibar:12ab", std::nullopt},
      {"vestibar:+1", std::nullopt},
      {"vesti bar", std::nullopt},
      {"vestibar ", std::nullopt},
      {"[::1", std::nullopt},
      {"[::1]x", std::nullopt},
      {"[]:11000", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting);
    EXPECT_EQ(ParseServerAddress(c.setting), c.address);
  }
}

}  // namespace
}  // namespace snimac
