#include "cards/reader_messages.h"

#include <algorithm>
#include <initializer_list>

#include "link/proto_slave.h"

namespace snimac {
namespace {

constexpr uint8_t kCardValidFlag = 0x01;
constexpr uint8_t kPlainHexFlag = 0x80;
constexpr int kVersionTextMax = 8;
constexpr int kCardHeader = 2;            // type, flags
constexpr int kVersionHeader = 2;         // type, index
constexpr int kBlockReplyHeader = 3;      // type, (unused), status
constexpr uint8_t kFirstDataBlock = 4;

TProtoMessagePtr Command(std::initializer_list<uint8_t> bytes) {
  return std::make_unique<TProtoMessage>(bytes.begin(), static_cast<int>(bytes.size()), true);
}

TReaderMessage DecodeCardEvent(const uint8_t* d, int length) {
  if (length < kCardHeader) return TIgnoredMessage{};
  TCardEvent event;
  event.valid = (d[1] & kCardValidFlag) != 0;
  event.plainHex = (d[1] & kPlainHexFlag) != 0;
  event.card.assign(d + kCardHeader, d + length);
  return event;
}

TReaderMessage DecodeVersionFragment(const uint8_t* d, int length) {
  if (length < kVersionHeader) return TIgnoredMessage{};
  TVersionFragment fragment;
  fragment.index = d[1];
  fragment.text.assign(reinterpret_cast<const char*>(d + kVersionHeader), static_cast<size_t>(length - kVersionHeader));
  fragment.last = length - kVersionHeader < kVersionTextMax;
  return fragment;
}

TReaderMessage DecodeBlockReply(const uint8_t* d, int length) {
  if (length < kBlockReplyHeader) return TIgnoredMessage{};
  TBlockReply reply;
  reply.status = d[2];
  if (reply.Succeeded()) {
    if (length < kBlockReplyHeader + static_cast<int>(kReaderBlockSize)) return TIgnoredMessage{};
    std::copy_n(d + kBlockReplyHeader, kReaderBlockSize, reply.data.begin());
  } else {
    if (length < kBlockReplyHeader + 1) return TIgnoredMessage{};
    reply.failure = d[kBlockReplyHeader];
  }
  return reply;
}

}  // namespace

TReaderMessage DecodeReaderMessage(const TProtoMessage& message) {
  const uint8_t* d = message.Data.get();
  const int length = message.Length;
  if (length < 1) return TIgnoredMessage{};
  switch (d[0]) {
    case kCardEventCode: return DecodeCardEvent(d, length);
    case kVersionFragmentCode: return DecodeVersionFragment(d, length);
    case kBlockReplyCode: return DecodeBlockReply(d, length);
    case kMsgSlaveWakes: return TSlaveWakes{};
    case kMsgSlaveDies: return TSlaveDies{};
    default: return TIgnoredMessage{};
  }
}

TProtoMessagePtr BuildVersionRequest() { return Command({0x0A}); }
TProtoMessagePtr BuildReadFeedback() { return Command({0x03, 0x06, 0x00}); }
TProtoMessagePtr BuildSignalOn() { return Command({0x02, 0xFF, 0xFF, 0x00}); }
TProtoMessagePtr BuildSignalOff() { return Command({0x02, 0xFF, 0x00, 0xFF}); }
TProtoMessagePtr BuildBlockOpen() { return Command({0x18, 0x04, 0xC0, 0x04}); }

TProtoMessagePtr BuildBlockRead(int blockIndex) {
  return Command({0x18, 0x06, static_cast<uint8_t>(kFirstDataBlock + blockIndex)});
}

}  // namespace snimac
