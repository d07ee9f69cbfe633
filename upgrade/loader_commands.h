// The reader loader's commands and replies, byte by byte. Each travels as the
// payload of one application message; numbers of more than one byte go high
// byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "link/proto_message.h"

namespace snimac {

// CRC-16/MCRF4XX: the link's CRC without its final inversion.
uint16_t LoaderCrc(const uint8_t* bytes, size_t count);

// The pair the loader requires after 0x12 before it erases or writes; the
// simulated loader expects the same.
constexpr uint8_t kLoaderUnlockCode[2] = {0x5A, 0xA5};

constexpr size_t kLoaderPageSize = 128;
constexpr size_t kPageDataMaxBytes = 8;

// Info selectors.
constexpr uint8_t kInfoReportedAddress = 0x01;
constexpr uint8_t kInfoBankBase = 0x09;

// First bytes of the loader's replies.
constexpr uint8_t kLoaderResultCode = 0x87;
constexpr uint8_t kInfoReplyCode = 0x88;

TProtoMessagePtr BuildInfoQuery(uint8_t selector);  // 16 sel
// 12 + unlock code; ends the burst before a block erase, not before a page write.
TProtoMessagePtr BuildUnlock(bool endsBurst);
TProtoMessagePtr BuildBlockErase(uint8_t block);  // 15 crcH crcL block; the CRC covers the block byte
// 13 off data: `count` (at most 8) page bytes starting at `pageOffset` within
// the page; offset 128 with no data re-arms a page already sent. Throws
// std::invalid_argument for more than 8 bytes or bytes past the page's end.
TProtoMessagePtr BuildPageData(uint8_t pageOffset, const uint8_t* bytes, size_t count);
// 14 crcH crcL addrH addrL; the CRC covers addrH, addrL and the 128 page bytes.
TProtoMessagePtr BuildPageWrite(uint16_t address, const uint8_t (&page)[kLoaderPageSize]);
TProtoMessagePtr BuildRestartCommand();  // 19

// 87 idxH idxL result. Index: the erased block or the written page's address.
struct TLoaderResult {
  uint16_t index;
  uint8_t result;
};
// Nothing unless the message is a loader result of at least 4 bytes, so a
// cut-off reply is ignored rather than read beyond its end.
std::optional<TLoaderResult> ParseLoaderResult(const TProtoMessage& message);

// What a result code asks of the procedure.
enum class TLoaderOutcome {
  Done,         // 0: block erased / page written
  Repeat,       // 3: erase: unlock and erase again; write: send the whole page again
  RepeatCommit, // 4: erase: unlock and erase again; write: unlock and write again without the data
  Error,        // 1, 2, D1, D2, E1, E2, F1, F2: retried while the error budget lasts
  NoEffect,     // anything else
};
TLoaderOutcome ClassifyLoaderResult(uint8_t result);

// 88 sel value...
struct TInfoReply {
  uint8_t selector;
  std::vector<uint8_t> value;  // the bytes after the selector
};
// Nothing unless the message is an info reply of at least 2 bytes.
std::optional<TInfoReply> ParseInfoReply(const TProtoMessage& message);

// Bank base from a reply to kInfoBankBase: 0 when it carries no value (AVR
// reader), the 16-bit base when it carries two bytes, nothing otherwise.
std::optional<uint16_t> ReplyBankBase(const TInfoReply& reply);
// Reported address from a reply to kInfoReportedAddress: the first four value
// bytes, most significant first; nothing when fewer arrived.
std::optional<uint32_t> ReplyReportedAddress(const TInfoReply& reply);

}  // namespace snimac
