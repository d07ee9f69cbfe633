#include "app/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace snimac {
namespace {

namespace fs = std::filesystem;

struct TPathCase {
  TPathStyle Style;
  std::string Input;
  std::string Expected;
};

std::string StyleName(TPathStyle style) { return style == TPathStyle::Windows ? "win" : "posix"; }

TEST(Paths, DirectoryPart) {
  const TPathStyle win = TPathStyle::Windows;
  const TPathStyle posix = TPathStyle::Posix;
  const std::vector<TPathCase> cases = {
      {win, "c:\\logs\\grab-1.log", "c:\\logs"},
      {win, "d:\\vestibar\\vestibar.db", "d:\\vestibar"},
      {win, "c:\\x.db", "c:\\"},
      {win, "d:x.db", "d:"},
      {win, "x.db", ""},
      {win, "", ""},
      {win, "\\x.db", "\\"},
      {win, "c:\\a\\\\x.db", "c:\\a"},
      {win, "c:\\\\x.db", "c:\\"},
      {win, "\\\\server\\share\\x.db", "\\\\server\\share"},
      {win, "c:/data/x.db", "c:/data"},
      {win, "c:\\logs\\", "c:\\logs"},
      {posix, "/tmp/a/b.db", "/tmp/a"},
      {posix, "/b.db", "/"},
      {posix, "b.db", ""},
      {posix, "", ""},
      {posix, "a/b.db", "a"},
      {posix, "/tmp//b.db", "/tmp"},
      {posix, "//b.db", "/"},
      {posix, "/tmp/a/", "/tmp/a"},
      // Backslashes and colons are ordinary file-name bytes on Posix.
      {posix, "/tmp/c:\\x.db", "/tmp"},
      {posix, "c:\\x.db", ""},
  };
  for (const TPathCase& c : cases) {
    SCOPED_TRACE(StyleName(c.Style) + " '" + c.Input + "'");
    EXPECT_EQ(DirectoryPart(c.Input, c.Style), c.Expected);
  }
}

TEST(Paths, WithTrailingSeparator) {
  const TPathStyle win = TPathStyle::Windows;
  const TPathStyle posix = TPathStyle::Posix;
  const std::vector<TPathCase> cases = {
      {win, "c:\\logs", "c:\\logs\\"},
      {win, "c:\\logs\\", "c:\\logs\\"},
      {win, "c:/logs/", "c:/logs/"},
      {win, "", "FALLBACK"},
      {posix, "/var/log", "/var/log/"},
      {posix, "/var/log/", "/var/log/"},
      {posix, "/", "/"},
      {posix, "logs\\", "logs\\/"},
      {posix, "", "FALLBACK"},
  };
  for (const TPathCase& c : cases) {
    SCOPED_TRACE(StyleName(c.Style) + " '" + c.Input + "'");
    EXPECT_EQ(WithTrailingSeparator(c.Input, "FALLBACK", c.Style), c.Expected);
  }
}

TEST(Paths, SafeSerialForFileName) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"A1B2", "A1B2"},
      {"FT-x_9z", "FT-x_9z"},
      {"../../etc", "______etc"},
      {"a b/c\\d", "a_b_c_d"},
      {"c:x", "c_x"},
      {"x\ny\t", "x_y_"},
      {std::string("a\0b", 3), "a_b"},
      {"\xc3\xa9", "__"},
      {"", ""},
  };
  for (const auto& [serial, expected] : cases) {
    SCOPED_TRACE(serial);
    EXPECT_EQ(SafeSerialForFileName(serial), expected);
  }
}

TEST(Paths, LinkLogPathStaysInTheLogDirectory) {
  EXPECT_EQ(LinkLogPath("c:\\logs\\", "A1B2"), "c:\\logs\\grab-A1B2.log");
  const std::string hostile = LinkLogPath("/var/log/snimac/", "/../../etc/passwd");
  EXPECT_EQ(hostile, "/var/log/snimac/grab-_______etc_passwd.log");
  EXPECT_EQ(DirectoryPart(hostile, TPathStyle::Posix), "/var/log/snimac");
  EXPECT_EQ(DirectoryPart(LinkLogPath("d:\\temp\\", "..\\x:y"), TPathStyle::Windows), "d:\\temp");
}

// A fresh directory under the system's temporary folder, removed afterwards.
class CreateDirectoriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    root_ = fs::temp_directory_path() / ("snimac-paths-" + std::to_string(random()));
    ASSERT_TRUE(fs::create_directory(root_));
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  std::string Under(const std::string& relative) const { return (root_ / relative).string(); }

  fs::path root_;
};

TEST_F(CreateDirectoriesTest, CreatesTheWholeMissingChain) {
  const std::string deep = Under("a/b/c");
  ASSERT_FALSE(fs::exists(Under("a")));
  EXPECT_TRUE(CreateDirectories(deep));
  EXPECT_TRUE(fs::is_directory(deep));
  // Existing directories, also written with a trailing separator, are success.
  EXPECT_TRUE(CreateDirectories(deep));
  EXPECT_TRUE(CreateDirectories(deep + "/"));
  EXPECT_TRUE(CreateDirectories(Under("a/d/")));
  EXPECT_TRUE(fs::is_directory(Under("a/d")));
}

TEST_F(CreateDirectoriesTest, FailsWithoutThrowing) {
  EXPECT_FALSE(CreateDirectories(""));
  std::ofstream(Under("file")) << "x";
  EXPECT_FALSE(CreateDirectories(Under("file")));
  EXPECT_FALSE(CreateDirectories(Under("file/sub")));
  EXPECT_FALSE(fs::exists(Under("file/sub")));
}

}  // namespace
}  // namespace snimac
