#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "link/protocol.h"
#include "sim/virtual_clock.h"
#include "tests/support/scripted_d2xx.h"

namespace snimac {
namespace {

TEST(LinkLog, LevelTags) {
  const std::vector<std::pair<int, std::string>> cases = {{0, "Warn"}, {1, "Trce"}, {2, "Info"}, {3, "Mesg"},
                                                          {4, "Err "}, {7, "Unkn"}, {-1, "Unkn"}};
  for (const auto& [level, tag] : cases) {
    TTextMessage m(static_cast<TLogLevel>(level), "x", "Protocol");
    EXPECT_EQ(m.LevelName(), tag);
  }
}

TEST(LinkLog, FileLinesCarryTimeSourceAndTextButNoLevel) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("snimac-log-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(dir);
  const auto path = (dir / "grab-A1B2.log").string();
  sim::TVirtualClock clock({2011, 9, 1, 14, 5, 9, 0});
  {
    mqLog log(path, clock);
    ASSERT_TRUE(log.IsOpen());
    log.Put(std::make_unique<TTextMessage>(TLogLevel::Trace, "Slave wakes", "S1"));
    log.Put(std::make_unique<TTextMessage>(TLogLevel::Error, "Error 2 in FT_Open", "Protocol"));
    EXPECT_EQ(log.Get(), nullptr);  // written, never queued
  }
  {
    mqLog again(path, clock);  // appends
    again.Put(std::make_unique<TTextMessage>(TLogLevel::Warn, "No reply from slave", "S1"));
  }
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  EXPECT_EQ(lines, (std::vector<std::string>{"11/09/01 14:05:09 S1 Slave wakes",
                                             "11/09/01 14:05:09 Protocol Error 2 in FT_Open",
                                             "11/09/01 14:05:09 S1 No reply from slave"}));
  in.close();  // Windows removes no open file
  std::filesystem::remove_all(dir);

  mqLog nowhere((dir / "missing" / "x.log").string(), clock);
  EXPECT_FALSE(nowhere.IsOpen());
  nowhere.Put(std::make_unique<TTextMessage>(TLogLevel::Warn, "dropped", "S1"));
}

TEST(LinkLog, QueueHandsRecordsOutInOrder) {
  TTextMessageQueue q;
  q.Put(std::make_unique<TTextMessage>(TLogLevel::Warn, "a", "S1"));
  q.Put(std::make_unique<TTextMessage>(TLogLevel::Warn, "b", "S1"));
  EXPECT_EQ(q.Get()->Text, "a");
  EXPECT_EQ(q.Get()->Text, "b");
  EXPECT_EQ(q.Get(), nullptr);
}

TEST(LinkLog, VirtualClockLocalTimeRollsOverDays) {
  sim::TVirtualClock clock({2011, 12, 31, 23, 59, 59, 0});
  clock.Advance(1500000);
  const TLocalTime t = clock.LocalNow();
  EXPECT_EQ(FormatLogTime(t), "12/01/01 00:00:00");
  EXPECT_EQ(t.millisecond, 500);
}

}  // namespace
}  // namespace snimac
