// The reader's messages as the main window meets them: each payload decoded;
// card numbers formatted both ways; block replies gathered into the card's
// data record, which is parsed and transliterated as the typed text is made.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <variant>

#include "cards/card_format.h"
#include "cards/reader_messages.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"

namespace snimac::fuzz {
namespace {

bool IsLowerHex(const std::string& text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

bool IsPrintableAscii(const std::string& text) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

void CheckCard(const TCardEvent& event) {
  const std::string swapped = FormatCardBytes(event.card.data(), event.card.size(), 0);
  const std::string plain = FormatCardBytes(event.card.data(), event.card.size(), 1);
  FUZZ_CHECK(swapped.size() == 2 * event.card.size() && IsLowerHex(swapped));
  FUZZ_CHECK(plain.size() == 2 * std::min<size_t>(event.card.size(), 11) && IsLowerHex(plain));
  // Each byte's two digits, swapped: the same nibbles either way.
  for (size_t i = 0; i < plain.size(); i += 2) FUZZ_CHECK(plain[i] == swapped[i + 1] && plain[i + 1] == swapped[i]);
}

void CheckRecord(const uint8_t (&area)[kCardRecordSize]) {
  const TCardRecord record = ParseCardRecord(area);
  FUZZ_CHECK(record.FirstText.size() < kCardRecordSize && record.SecondText.size() < kCardRecordSize);
  FUZZ_CHECK(record.FirstText.find('\0') == std::string::npos);
  FUZZ_CHECK(record.Date.empty() || (record.Date.size() == 10 && record.Date[4] == '-' && record.Date[7] == '-'));
  for (const std::string* text : {&record.FirstText, &record.SecondText}) {
    const std::string ascii = Transliterate(*text);
    FUZZ_CHECK(IsPrintableAscii(ascii));
    FUZZ_CHECK(ascii.size() <= 2 * text->size());  // 0x7F is the only byte that grows ("^?")
  }
}

}  // namespace
}  // namespace snimac::fuzz

// Input: messages, each a length byte and the payload.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace snimac;
  using namespace snimac::fuzz;
  TFuzzInput in(data, size);
  uint8_t area[kCardRecordSize] = {};
  int blocks = 0;
  std::string version;
  while (!in.Empty()) {
    const std::vector<uint8_t> payload = in.Chunk();
    const TProtoMessage message(payload.data(), static_cast<int>(payload.size()), true);
    const TReaderMessage decoded = DecodeReaderMessage(message);
    if (payload.empty()) FUZZ_CHECK(std::holds_alternative<TIgnoredMessage>(decoded));
    if (const auto* card = std::get_if<TCardEvent>(&decoded)) {
      FUZZ_CHECK(payload[0] == kCardEventCode && card->card.size() + 2 == payload.size());
      CheckCard(*card);
      blocks = 0;  // a new card starts a new record
    } else if (const auto* fragment = std::get_if<TVersionFragment>(&decoded)) {
      FUZZ_CHECK(fragment->text.size() + 2 == payload.size());
      FUZZ_CHECK(fragment->last == (fragment->text.size() < 8));
      version += fragment->text;
      if (fragment->last) version.clear();
    } else if (const auto* reply = std::get_if<TBlockReply>(&decoded)) {
      FUZZ_CHECK(payload[0] == kBlockReplyCode);
      if (reply->Succeeded()) {
        FUZZ_CHECK(payload.size() >= 3 + kReaderBlockSize);
        std::memcpy(area + blocks * kReaderBlockSize, reply->data.data(), kReaderBlockSize);
        if (++blocks == kReaderBlockCount) {
          CheckRecord(area);
          blocks = 0;
        }
      } else {
        FUZZ_CHECK(payload.size() >= 4 && reply->failure == payload[3]);
      }
    }
  }
  if (blocks > 0) CheckRecord(area);  // a record cut short: the rest of the area as it was
  return 0;
}
