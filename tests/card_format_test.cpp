#include <gtest/gtest.h>

#include <cstring>

#include "cards/card_format.h"

namespace snimac {
namespace {

TEST(CardFormat, HexFormats) {
  const uint8_t card[] = {0x12, 0x34, 0xAB, 0x0F};
  EXPECT_EQ(FormatCardBytes(card, 4, 0), "2143baf0");
  EXPECT_EQ(FormatCardBytes(card, 4, 1), "1234ab0f");
  uint8_t thirteen[13];
  for (int i = 0; i < 13; ++i) thirteen[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(FormatCardBytes(thirteen, 13, 1), "000102030405060708090a");
  EXPECT_EQ(FormatCardBytes(thirteen, 13, 0), "00102030405060708090a0b0c0");  // format 0 has no limit
  EXPECT_EQ(FormatCardBytes(card, 0, 1), "");
}

struct TArea {
  explicit TArea(std::initializer_list<uint8_t> bytes) {
    size_t i = 0;
    for (uint8_t b : bytes) area[i++] = b;
  }
  uint8_t area[kCardRecordSize] = {};
};

TEST(CardRecord, WorkedExample) {
  TArea a{0x47, 'Z', 'e', 'l', 'e', 'n', 0xFD, 0x00, 0x04, 0xC8, 0xE1, 'p', 0x00, 0xC4, 0x11, 0x20, 0x09, 0x01, 0x00};
  const TCardRecord r = ParseCardRecord(a.area);
  EXPECT_EQ(Transliterate(r.FirstText), "Zeleny");
  EXPECT_EQ(Transliterate(r.SecondText), "Cap");
  EXPECT_EQ(r.Date, "2011-09-01");
}

TEST(CardRecord, MalformedAreasNeverFail) {
  struct TCase {
    const char* name;
    TArea area;
    TCardRecord expect;
  };
  const std::vector<TCase> cases = {
      {"empty area", TArea{0x00, 0x41, 'x', 0x00}, {}},
      {"last field of a type wins", TArea{0x42, 'a', 0, 0x42, 'b', 0}, {"b", "", ""}},
      {"unused type is skipped by its length", TArea{0x83, 'x', 'y', 'z', 0x02, 'q', 0}, {"", "q", ""}},
      {"a header jumping past the end ends the list", TArea{0x3F, 'a', 'b'}, {"", "ab", ""}},
      {"text without NUL ends at the area's end", TArea{}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TCardRecord r = ParseCardRecord(c.area.area);
    EXPECT_EQ(r.FirstText, c.expect.FirstText);
    EXPECT_EQ(r.SecondText, c.expect.SecondText);
    EXPECT_EQ(r.Date, c.expect.Date);
  }
  // A text running to the very end of the area, and a date cut by the end.
  uint8_t full[kCardRecordSize];
  std::memset(full, 'x', sizeof full);
  full[0] = 0x7F;  // first text, length 63: past the end
  EXPECT_EQ(ParseCardRecord(full).FirstText, std::string(47, 'x'));
  uint8_t cut[kCardRecordSize] = {};
  cut[44] = 0xC4;
  cut[45] = 0x11;
  cut[46] = 0x20;
  cut[47] = 0x09;
  cut[0] = 0x2B;  // a skipped second text reaching the date header at 44
  EXPECT_EQ(ParseCardRecord(cut).Date, "");
}

TEST(Transliterate, TableRows) {
  struct TCase {
    std::string in, out;
  };
  const std::vector<TCase> cases = {
      {"abc XYZ 09;-", "abc XYZ 09;-"},
      {"\x01\x1f\x80\x9f", ""},
      {"\x7f", "^?"},
      {"\xa0", " "},
      {"\xbd", "\""},
      {"\xdf", "s"},
      {"\xa9\xae\xc8\xd8\xd9\xe8\xf8\xf9", "SZCRUcru"},
      {"\xa2\xa4\xa7\xa8\xad\xb0\xb2\xb4\xb7\xb8\xd7\xf7\xff", ""},
      {"\xc1\xe1\xc9\xe9\xcd\xed\xd3\xf3\xda\xfa\xdd\xfd", "AaEeIiOoUuYy"},
  };
  for (const auto& c : cases) EXPECT_EQ(Transliterate(c.in), c.out) << c.out;
}

}  // namespace
}  // namespace snimac
