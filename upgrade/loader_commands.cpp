#include "upgrade/loader_commands.h"

#include <initializer_list>
#include <stdexcept>
#include <string>

#include "link/crc.h"
#include "resources/firmware_image.h"

namespace snimac {
namespace {

constexpr uint8_t kInfoQueryCode = 0x16;
constexpr uint8_t kUnlockCode = 0x12;
constexpr uint8_t kBlockEraseCode = 0x15;
constexpr uint8_t kPageDataCode = 0x13;
constexpr uint8_t kPageWriteCode = 0x14;
constexpr uint8_t kRestartCode = 0x19;

TProtoMessagePtr Message(std::initializer_list<uint8_t> bytes, bool endsBurst) {
  return std::make_unique<TProtoMessage>(bytes.begin(), static_cast<int>(bytes.size()), endsBurst);
}

uint8_t High(uint16_t value) { return static_cast<uint8_t>(value >> 8); }
uint8_t Low(uint16_t value) { return static_cast<uint8_t>(value & 0xFF); }

}  // namespace

uint16_t LoaderCrc(const uint8_t* bytes, size_t count) { return FirmwareCrc(bytes, count); }

TProtoMessagePtr BuildInfoQuery(uint8_t selector) { return Message({kInfoQueryCode, selector}, true); }

TProtoMessagePtr BuildUnlock(bool endsBurst) {
  return Message({kUnlockCode, kLoaderUnlockCode[0], kLoaderUnlockCode[1]}, endsBurst);
}

TProtoMessagePtr BuildBlockErase(uint8_t block) {
  const uint16_t check = LoaderCrc(&block, 1);
  return Message({kBlockEraseCode, High(check), Low(check), block}, true);
}

TProtoMessagePtr BuildPageData(uint8_t pageOffset, const uint8_t* bytes, size_t count) {
  if (count > kPageDataMaxBytes || pageOffset + count > kLoaderPageSize)
    throw std::invalid_argument("page data: " + std::to_string(count) + " bytes at page offset " +
                                std::to_string(pageOffset));
  uint8_t payload[2 + kPageDataMaxBytes] = {kPageDataCode, pageOffset};
  for (size_t i = 0; i < count; ++i) payload[2 + i] = bytes[i];
  return std::make_unique<TProtoMessage>(payload, static_cast<int>(2 + count), false);
}

TProtoMessagePtr BuildPageWrite(uint16_t address, const uint8_t (&page)[kLoaderPageSize]) {
  const uint8_t where[2] = {High(address), Low(address)};
  const uint16_t check = Crc16Block(LoaderCrc(where, 2), page, kLoaderPageSize);
  return Message({kPageWriteCode, High(check), Low(check), where[0], where[1]}, true);
}

TProtoMessagePtr BuildRestartCommand() { return Message({kRestartCode}, true); }

std::optional<TLoaderResult> ParseLoaderResult(const TProtoMessage& message) {
  if (message.Length < 4 || message.Data[0] != kLoaderResultCode) return std::nullopt;
  const uint8_t* d = message.Data.get();
  return TLoaderResult{static_cast<uint16_t>(d[1] << 8 | d[2]), d[3]};
}

TLoaderOutcome ClassifyLoaderResult(uint8_t result) {
  switch (result) {
    case 0x00: return TLoaderOutcome::Done;
    case 0x03: return TLoaderOutcome::Repeat;
    case 0x04: return TLoaderOutcome::RepeatCommit;
    case 0x01: case 0x02: case 0xD1: case 0xD2: case 0xE1: case 0xE2: case 0xF1: case 0xF2:
      return TLoaderOutcome::Error;
    default: return TLoaderOutcome::NoEffect;
  }
}

std::optional<TInfoReply> ParseInfoReply(const TProtoMessage& message) {
  if (message.Length < 2 || message.Data[0] != kInfoReplyCode) return std::nullopt;
  const uint8_t* d = message.Data.get();
  return TInfoReply{d[1], std::vector<uint8_t>(d + 2, d + message.Length)};
}

std::optional<uint16_t> ReplyBankBase(const TInfoReply& reply) {
  if (reply.value.empty()) return 0;
  if (reply.value.size() != 2) return std::nullopt;
  return static_cast<uint16_t>(reply.value[0] << 8 | reply.value[1]);
}

std::optional<uint32_t> ReplyReportedAddress(const TInfoReply& reply) {
  if (reply.value.size() < 4) return std::nullopt;
  const auto& v = reply.value;
  return static_cast<uint32_t>(v[0]) << 24 | static_cast<uint32_t>(v[1]) << 16 | static_cast<uint32_t>(v[2]) << 8 | v[3];
}

}  // namespace snimac
