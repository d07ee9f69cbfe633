// Lines put together from the pieces a stream delivers: where a line ends,
// what is too long, and that nothing after a line end is lost.
#include "cards/line_assembler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace snimac {
namespace {

// What Next gave after each piece: the lines in order, "<too long>" for
// TooLong (the end of the stream's use), "<more>" when it wanted more bytes.
std::vector<std::string> Feed(TLineAssembler& lines, const std::vector<std::string>& pieces, size_t maxLength) {
  std::vector<std::string> seen;
  for (const std::string& piece : pieces) {
    lines.Add(piece.data(), piece.size());
    for (;;) {
      const auto read = lines.Next(maxLength);
      if (!read) {
        seen.push_back("<more>");
        break;
      }
      if (read->status == TLineStatus::TooLong) {
        seen.push_back("<too long>");
        return seen;
      }
      EXPECT_EQ(read->status, TLineStatus::Line);
      seen.push_back(read->text);
    }
  }
  return seen;
}

struct TCase {
  const char* name;
  std::vector<std::string> pieces;
  size_t maxLength;
  std::vector<std::string> seen;
};

TEST(LineAssembler, LinesFromPieces) {
  const std::vector<TCase> cases = {
      {"one piece", {"OK 12\r\n"}, 80, {"OK 12", "<more>"}},
      {"CR and LF apart", {"OK", " 12\r", "\n"}, 80, {"<more>", "<more>", "OK 12", "<more>"}},
      {"empty line", {"\r\n"}, 80, {"", "<more>"}},
      {"bare LF and CR are text", {"a\nb\rc\r\n"}, 80, {"a\nb\rc", "<more>"}},
      {"LF CR is no line end", {"a\n\rb\r\n"}, 80, {"a\n\rb", "<more>"}},
      {"bytes after a line are kept", {"one\r\ntwo\r\nthr", "ee\r\n"}, 80,
       {"one", "two", "<more>", "three", "<more>"}},
      {"exactly the maximum", {"abc\r\n"}, 3, {"abc", "<more>"}},
      {"one byte over", {"abcd\r\n"}, 3, {"<too long>"}},
      {"maximum waits for its CR LF", {"abc", "\r", "\n"}, 3, {"<more>", "<more>", "abc", "<more>"}},
      {"too long without a line end", {"abcd", "e"}, 3, {"<more>", "<too long>"}},
      {"a kept rest too long for the next line", {"a\r\nbcdef\r\n"}, 3, {"a", "<too long>"}},
      {"zero length allows only empty lines", {"\r\n", "x"}, 0, {"", "<more>", "<more>"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TLineAssembler lines;
    EXPECT_EQ(Feed(lines, c.pieces, c.maxLength), c.seen);
  }
}

TEST(LineAssembler, RoomBoundsWhatIsReadAndClearForgets) {
  TLineAssembler lines;
  EXPECT_EQ(lines.Room(3), 5u);  // the line and its CR LF
  lines.Add("abc\r", 4);
  EXPECT_EQ(lines.Room(3), 1u);
  EXPECT_FALSE(lines.Next(3));
  lines.Add("x", 1);
  EXPECT_EQ(lines.Room(3), 0u);
  ASSERT_TRUE(lines.Next(3));
  EXPECT_EQ(lines.Next(3)->status, TLineStatus::TooLong);

  // Without a practical maximum the room does not overflow.
  EXPECT_EQ(lines.Room(SIZE_MAX), SIZE_MAX - 5);

  lines.Clear();
  EXPECT_EQ(lines.Room(3), 5u);
  lines.Add("ok\r\n", 4);
  const auto read = lines.Next(3);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->status, TLineStatus::Line);
  EXPECT_EQ(read->text, "ok");
}

}  // namespace
}  // namespace snimac
