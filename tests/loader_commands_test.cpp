#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/hex.h"
#include "upgrade/loader_commands.h"

namespace snimac {
namespace {

using test::Hex;
using test::ToHex;

std::string Wire(const TProtoMessagePtr& message) {
  return ToHex(std::vector<uint8_t>(message->Data.get(), message->Data.get() + message->Length));
}

TProtoMessage Reply(const std::string& hex) {
  const auto bytes = Hex(hex);
  return TProtoMessage(bytes.data(), static_cast<int>(bytes.size()), false);
}

// CRC-16/MCRF4XX bit by bit, independent of the table-driven routine.
uint16_t BitwiseMcrf4xx(const std::vector<uint8_t>& bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0x8408) : crc >> 1;
  }
  return crc;
}

std::vector<uint8_t> Pattern(size_t count, uint8_t step) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * step + 7);
  return bytes;
}

TEST(LoaderCrc, CheckValueAndAgreesWithBitwiseCrc) {
  const std::string digits = "123456789";
  EXPECT_EQ(LoaderCrc(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0x6F91);
  const auto bytes = Pattern(300, 37);
  EXPECT_EQ(LoaderCrc(bytes.data(), bytes.size()), BitwiseMcrf4xx(bytes));
  EXPECT_EQ(LoaderCrc(nullptr, 0), 0xFFFF);
}

TEST(LoaderCommands, BytesOnTheWireAndBurstFlag) {
  const auto chunk = Pattern(8, 3);
  struct Case {
    TProtoMessagePtr message;
    std::string wire;
    bool endsBurst;
  };
  Case cases[] = {
      {BuildInfoQuery(kInfoBankBase), "16 09", true},
      {BuildInfoQuery(kInfoReportedAddress), "16 01", true},
      {BuildUnlock(true), "12 5A A5", true},
      {BuildUnlock(false), "12 5A A5", false},
      {BuildBlockErase(4), "15 49 A3 04", true},
      {BuildBlockErase(5), "15 58 2A 05", true},
      {BuildBlockErase(6), "15 6A B1 06", true},
      {BuildPageData(0, chunk.data(), 8), "13 00 07 0A 0D 10 13 16 19 1C", false},
      {BuildPageData(120, chunk.data(), 8), "13 78 07 0A 0D 10 13 16 19 1C", false},
      {BuildPageData(112, chunk.data(), 2), "13 70 07 0A", false},
      {BuildPageData(128, nullptr, 0), "13 80", false},
      {BuildRestartCommand(), "19", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Wire(c.message), c.wire);
    EXPECT_EQ(c.message->EndsBurst, c.endsBurst) << c.wire;
  }
}

TEST(LoaderCommands, PageDataRefusesMoreThanTheLoaderTakes) {
  const auto bytes = Pattern(9, 1);
  EXPECT_THROW(BuildPageData(0, bytes.data(), 9), std::invalid_argument);
  EXPECT_THROW(BuildPageData(124, bytes.data(), 8), std::invalid_argument);
  EXPECT_THROW(BuildPageData(129, nullptr, 0), std::invalid_argument);
}

TEST(LoaderCommands, PageWriteChecksAddressThenPage) {
  // The AVR image's last page as laid out: erased flash and the info block
  // (0x0FAC, used length 16874, program CRC 0xDE95, 0x0001, version at 0x54).
  uint8_t infoPage[kLoaderPageSize];
  std::fill(std::begin(infoPage), std::end(infoPage), 0xFF);
  const auto info = Hex("AC 0F EA 41 95 DE 01 00 54 00");
  std::copy(info.begin(), info.end(), infoPage + 0x40);
  EXPECT_EQ(Wire(BuildPageWrite(0x6F80, infoPage)), "14 C3 39 6F 80");

  uint8_t page[kLoaderPageSize];
  const auto bytes = Pattern(kLoaderPageSize, 91);
  std::copy(bytes.begin(), bytes.end(), page);
  std::vector<uint8_t> covered = {0xC3, 0x00};
  covered.insert(covered.end(), bytes.begin(), bytes.end());
  const uint16_t check = BitwiseMcrf4xx(covered);
  const auto message = BuildPageWrite(0xC300, page);
  EXPECT_EQ(Wire(message), ToHex({0x14, static_cast<uint8_t>(check >> 8), static_cast<uint8_t>(check), 0xC3, 0x00}));
  EXPECT_TRUE(message->EndsBurst);
}

TEST(LoaderReplies, LoaderResultNeedsItsFourBytes) {
  const auto full = ParseLoaderResult(Reply("87 10 80 00"));
  ASSERT_TRUE(full);
  EXPECT_EQ(full->index, 0x1080);
  EXPECT_EQ(full->result, 0x00);
  const auto longer = ParseLoaderResult(Reply("87 00 05 D1 FF"));
  ASSERT_TRUE(longer);
  EXPECT_EQ(longer->index, 5);
  EXPECT_EQ(longer->result, 0xD1);
  for (const char* ignored : {"87 00 05", "87", "88 00 05 00"}) EXPECT_FALSE(ParseLoaderResult(Reply(ignored))) << ignored;
}

TEST(LoaderReplies, InfoReplyValues) {
  const auto avr = ParseInfoReply(Reply("88 09"));
  ASSERT_TRUE(avr);
  EXPECT_EQ(avr->selector, kInfoBankBase);
  EXPECT_EQ(ReplyBankBase(*avr), 0);
  EXPECT_EQ(ReplyBankBase(*ParseInfoReply(Reply("88 09 80 00"))), 0x8000);
  EXPECT_EQ(ReplyBankBase(*ParseInfoReply(Reply("88 09 10"))), std::nullopt);
  EXPECT_EQ(ReplyBankBase(*ParseInfoReply(Reply("88 09 10 00 00"))), std::nullopt);

  const auto address = ParseInfoReply(Reply("88 01 00 01 00 00"));
  ASSERT_TRUE(address);
  EXPECT_EQ(address->selector, kInfoReportedAddress);
  EXPECT_EQ(address->value, Hex("00 01 00 00"));
  EXPECT_EQ(ReplyReportedAddress(*address), 0x10000u);
  EXPECT_EQ(ReplyReportedAddress(*ParseInfoReply(Reply("88 01 12 34 2F FF"))), 0x12342FFFu);
  EXPECT_EQ(ReplyReportedAddress(*ParseInfoReply(Reply("88 01 00 00 20"))), std::nullopt);

  for (const char* ignored : {"88", "87 09"}) EXPECT_FALSE(ParseInfoReply(Reply(ignored))) << ignored;
}

TEST(LoaderReplies, ResultCodesAsTheLoaderDefinesThem) {
  const std::set<int> errors = {0x01, 0x02, 0xD1, 0xD2, 0xE1, 0xE2, 0xF1, 0xF2};
  for (int code = 0; code < 256; ++code) {
    TLoaderOutcome expected = TLoaderOutcome::NoEffect;
    if (code == 0) expected = TLoaderOutcome::Done;
    if (code == 3) expected = TLoaderOutcome::Repeat;
    if (code == 4) expected = TLoaderOutcome::RepeatCommit;
    if (errors.count(code)) expected = TLoaderOutcome::Error;
    EXPECT_EQ(ClassifyLoaderResult(static_cast<uint8_t>(code)), expected) << code;
  }
}

}  // namespace
}  // namespace snimac
