// SNIMAC_LATENCY_MS: the converter's latency timer the link sets on open.
#include "app/latency_setting.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "link/protocol.h"
#include "tests/support/reader_scenario.h"

namespace snimac {
namespace {

TEST(LatencySetting, TakesOneTo255AndOtherwiseTheDefaultWithANotice) {
  const struct {
    std::optional<std::string> value;
    int ms;
    bool notice;
  } cases[] = {
      {std::nullopt, 2, false}, {"", 2, false},    {"1", 1, false},     {"16", 16, false},  {"255", 255, false},
      {"007", 7, false},        {"0", 2, true},    {"256", 2, true},    {"1000", 2, true},  {"-5", 2, true},
      {" 5", 2, true},          {"5ms", 2, true},  {"abc", 2, true},    {"0x10", 2, true},  {"99999999999", 2, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value.value_or("(unset)"));
    const TLatencySetting setting = ParseLatencySetting(c.value);
    EXPECT_EQ(setting.ms, c.ms);
    if (c.notice) {
      EXPECT_EQ(setting.notice, "Neplatné zpoždění převodníku SNIMAC_LATENCY_MS '" + *c.value + "' (1–255 ms), platí 2 ms");
    } else {
      EXPECT_EQ(setting.notice, "");
    }
  }
  EXPECT_EQ(ParseLatencySetting(std::nullopt).ms, TProtocol::kDefaultLatencyMs);
}

TEST(LatencySetting, NoticesJoin) {
  EXPECT_EQ(WithNotice("", ""), "");
  EXPECT_EQ(WithNotice("a", ""), "a");
  EXPECT_EQ(WithNotice("", "b"), "b");
  EXPECT_EQ(WithNotice("a", "b"), "a; b");
}

// The platform's choice reaches the converter when the main window opens the reader.
TEST(LatencySetting, TheMainWindowsLinkSetsIt) {
  test::TScenario s({}, "Reader", {}, [](TPlatformServices& platform) { platform.latencyMs = 5; });
  s.bus.SetRecording(true);
  ASSERT_TRUE(s.RunUntil([&] { return s.Ready(); }));
  // A reopen sets it again.
  s.frm->Protocol->Reopen();
  s.RunFor(100);
  int set = 0;
  for (const sim::TSimCallRecord& call : s.bus.Calls()) {
    if (call.call != sim::TD2xxCall::SetLatencyTimer) continue;
    EXPECT_EQ(call.detail, "5");
    EXPECT_EQ(call.status, FT_OK);
    ++set;
  }
  EXPECT_EQ(set, 1);
  EXPECT_EQ(s.bus.CallCount(sim::TD2xxCall::SetLatencyTimer), 2u);
}

}  // namespace
}  // namespace snimac
