// Card texts: the card number in hex, the data record read from the card's
// blocks, and the plain-ASCII form of the record's ISO 8859-2 texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace snimac {

// Format 0: every byte as two lower-case hex digits, low nibble first, all
// bytes. Format 1: ordinary "%02x" per byte, at most the first 11 bytes.
std::string FormatCardBytes(const uint8_t* bytes, size_t count, int format);

constexpr size_t kCardRecordSize = 48;  // three 16-byte blocks

struct TCardRecord {
  std::string FirstText;   // ISO 8859-2, as stored
  std::string SecondText;  // ISO 8859-2, as stored
  std::string Date;        // "yyyy-mm-dd" from BCD, or empty
};

// Fields: a header byte (type in bits 7-6, length in bits 5-0) and its value;
// 0x00 or the end of the area ends the list; the last field of a type wins.
TCardRecord ParseCardRecord(const uint8_t (&area)[kCardRecordSize]);

// ISO 8859-2 text to plain ASCII: accented letters lose their accents,
// control characters vanish, 0x7F becomes "^?".
std::string Transliterate(const std::string& text);

}  // namespace snimac
