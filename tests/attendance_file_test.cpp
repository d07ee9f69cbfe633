// The attendance file against a disk that takes only part of a line: the
// file must never hold a broken line or a record glued to half of another.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "cards/attendance_file.h"
#include "link/utf8_file.h"

namespace snimac {
namespace {

namespace fs = std::filesystem;

// The real file, whose next `shortWrites` writes put only half of their
// bytes on disk, as a filling disk does.
class TShortWritingFile : public TStdioAttendanceFile {
 public:
  explicit TShortWritingFile(const std::string& path) : TStdioAttendanceFile(Unbuffered(path), path) {}
  int shortWrites = 0;

 protected:
  size_t WriteBytes(const char* bytes, size_t count) override {
    if (shortWrites == 0) return TStdioAttendanceFile::WriteBytes(bytes, count);
    --shortWrites;
    return TStdioAttendanceFile::WriteBytes(bytes, count / 2);
  }

 private:
  static std::FILE* Unbuffered(const std::string& path) {
    std::FILE* file = OpenFileUtf8(path, "ab");
    if (file) std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
  }
};

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(AttendanceFile, AShortWriteIsRolledBackSoTheRetryStartsOnAFreshLine) {
  const fs::path path = fs::temp_directory_path() / ("snimac-short-write-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".db");
  fs::remove(path);
  {
    TShortWritingFile file(path.string());
    ASSERT_TRUE(file.Append("06/12/2026-14:10 1234ab0f"));
    file.shortWrites = 2;
    EXPECT_FALSE(file.Append("06/12/2026-14:11 0badcafe"));
    EXPECT_EQ(Contents(path), "06/12/2026-14:10 1234ab0f\r\n");
    EXPECT_FALSE(file.Append("06/12/2026-14:11 0badcafe"));
    EXPECT_TRUE(file.Append("06/12/2026-14:11 0badcafe"));
    EXPECT_TRUE(file.Flush());
  }
  EXPECT_EQ(Contents(path), "06/12/2026-14:10 1234ab0f\r\n06/12/2026-14:11 0badcafe\r\n");
  fs::remove(path);
}

}  // namespace
}  // namespace snimac
