#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "cards/reader_messages.h"
#include "tests/support/hex.h"

namespace snimac {
namespace {

using test::Hex;
using test::ToHex;

TProtoMessage Incoming(const std::string& hex) {
  const auto bytes = Hex(hex);
  return TProtoMessage(bytes.data(), static_cast<int>(bytes.size()), false);
}

std::string Wire(const TProtoMessagePtr& message) {
  return ToHex(std::vector<uint8_t>(message->Data.get(), message->Data.get() + message->Length));
}

// One line per event, so that a table row states every decoded field.
std::string Describe(const TReaderMessage& message) {
  if (const auto* card = std::get_if<TCardEvent>(&message))
    return std::string("card") + (card->valid ? " valid" : " invalid") + (card->plainHex ? " hex" : " swapped") +
           " [" + ToHex(card->card) + "]";
  if (const auto* fragment = std::get_if<TVersionFragment>(&message))
    return "version " + std::to_string(fragment->index) + " '" + fragment->text + "'" +
           (fragment->last ? " last" : "");
  if (const auto* reply = std::get_if<TBlockReply>(&message)) {
    if (reply->Succeeded()) return "block [" + ToHex(std::vector<uint8_t>(reply->data.begin(), reply->data.end())) + "]";
    return "block status " + std::to_string(reply->status) + " failure " + std::to_string(reply->failure);
  }
  if (std::holds_alternative<TSlaveWakes>(message)) return "wakes";
  if (std::holds_alternative<TSlaveDies>(message)) return "dies";
  return "ignored";
}

const char* const kBlock = "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF";

TEST(ReaderMessageDecode, EveryTypeAndTheShortestPayloadsItAccepts) {
  struct Case {
    std::string payload;
    std::string expected;
  };
  const std::string block = kBlock;
  const Case cases[] = {
      {"", "ignored"},
      // Card events: bit 0 is the valid flag, bit 7 the number format; nothing else counts.
      {"83", "ignored"},
      {"83 01", "card valid swapped []"},
      {"83 01 12 34 AB 0F", "card valid swapped [12 34 AB 0F]"},
      {"83 81 04 A1 B2 C3", "card valid hex [04 A1 B2 C3]"},
      {"83 80 12", "card invalid hex [12]"},
      {"83 7E 12", "card invalid swapped [12]"},
      // Version fragments: fewer than 8 characters end the text.
      {"85", "ignored"},
      {"85 00", "version 0 '' last"},
      {"85 00 4D 58 54 5F 41 20 46 57", "version 0 'MXT_A FW'"},
      {"85 01 20 76 34 2E 30 20 53", "version 1 ' v4.0 S' last"},
      {"85 03 31", "version 3 '1' last"},
      // Block replies: byte 1 is not read; status 0 needs all 16 data bytes,
      // any other status its failure code.
      {"8A 00", "ignored"},
      {"8A 00 00 " + block.substr(0, block.size() - 3), "ignored"},
      {"8A 00 00 " + block, "block [" + block + "]"},
      {"8A 5A 00 " + block + " 77", "block [" + block + "]"},
      {"8A 00 05", "ignored"},
      {"8A 00 05 03", "block status 5 failure 3"},
      {"8A FF 02 09 44", "block status 2 failure 9"},
      {"A0", "wakes"},
      {"A1", "dies"},
      // Types the main window does not handle.
      {"00", "ignored"},
      {"84 01 02", "ignored"},
      {"87 00 04 00", "ignored"},
      {"FF", "ignored"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Describe(DecodeReaderMessage(Incoming(c.payload))), c.expected) << c.payload;
  }
}

TEST(ReaderCommands, BytesOnTheWireAndEveryOneEndsTheBurst) {
  struct Case {
    TProtoMessagePtr message;
    std::string wire;
  };
  Case cases[] = {
      {BuildVersionRequest(), "0A"},
      {BuildReadFeedback(), "03 06 00"},
      {BuildSignalOn(), "02 FF FF 00"},
      {BuildSignalOff(), "02 FF 00 FF"},
      {BuildBlockOpen(), "18 04 C0 04"},
      {BuildBlockRead(0), "18 06 04"},
      {BuildBlockRead(1), "18 06 05"},
      {BuildBlockRead(2), "18 06 06"},
  };
  for (const auto& c : cases) {
    ASSERT_NE(c.message, nullptr) << c.wire;
    EXPECT_EQ(Wire(c.message), c.wire);
    EXPECT_TRUE(c.message->EndsBurst) << c.wire;
  }
}

}  // namespace
}  // namespace snimac
