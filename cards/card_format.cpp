#include "cards/card_format.h"

#include <array>
#include <cstdio>

namespace snimac {

namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr size_t kFormat1MaxBytes = 11;

enum TFieldType { kSecondText = 0, kFirstText = 1, kUnused = 2, kDate = 3 };

// The text of a field: from `start` to the first NUL, never past the area.
std::string TextAt(const uint8_t (&area)[kCardRecordSize], size_t start) {
  std::string text;
  for (size_t i = start; i < kCardRecordSize && area[i] != 0; ++i) text.push_back(static_cast<char>(area[i]));
  return text;
}

// 0xA0..0xFF of ISO 8859-2, by high nibble A..F and low nibble.
const char* const kUpperHalf[6][16] = {
    {" ", "A", "", "L", "", "L", "S", "", "", "S", "S", "T", "Z", "", "Z", "Z"},
    {"", "a", "", "l", "", "l", "s", "", "", "s", "s", "t", "z", "\"", "z", "z"},
    {"R", "A", "A", "A", "A", "L", "C", "C", "C", "E", "E", "E", "E", "I", "I", "D"},
    {"D", "N", "N", "O", "O", "O", "O", "", "R", "U", "U", "U", "U", "Y", "T", "s"},
    {"r", "a", "a", "a", "a", "l", "c", "c", "c", "e", "e", "e", "e", "i", "i", "d"},
    {"d", "n", "n", "o", "o", "o", "o", "", "r", "u", "u", "u", "u", "y", "t", ""},
};

}  // namespace

std::string FormatCardBytes(const uint8_t* bytes, size_t count, int format) {
  std::string text;
  if (format == 1 && count > kFormat1MaxBytes) count = kFormat1MaxBytes;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = bytes[i];
    const char high = kHex[b >> 4];
    const char low = kHex[b & 0x0F];
    if (format == 1) {
      text += high;
      text += low;
    } else {
      text += low;
      text += high;
    }
  }
  return text;
}

TCardRecord ParseCardRecord(const uint8_t (&area)[kCardRecordSize]) {
  TCardRecord record;
  size_t pos = 0;
  while (pos < kCardRecordSize && area[pos] != 0) {
    const uint8_t header = area[pos];
    const int type = header >> 6;
    const size_t length = header & 0x3F;
    const size_t value = pos + 1;
    if (type == kFirstText) record.FirstText = TextAt(area, value);
    if (type == kSecondText) record.SecondText = TextAt(area, value);
    if (type == kDate && value + 4 <= kCardRecordSize) {
      char date[16];
      std::snprintf(date, sizeof date, "%02x%02x-%02x-%02x", area[value + 1], area[value], area[value + 2],
                    area[value + 3]);
      record.Date = date;
    }
    pos = value + length;
  }
  return record;
}

std::string Transliterate(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 0x20 && b <= 0x7E) {
      out += c;
    } else if (b == 0x7F) {
      out += "^?";
    } else if (b >= 0xA0) {
      out += kUpperHalf[(b >> 4) - 0xA][b & 0x0F];
    }
  }
  return out;
}

}  // namespace snimac
