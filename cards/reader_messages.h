// The reader's application messages, byte by byte: what the reader (and the
// link, for the reader's coming and going) sends the main window, decoded into
// typed events, and the commands the main window sends back. Every field is
// one byte; the first byte of a payload is its type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "link/proto_message.h"

namespace snimac {

// Types of the messages the main window handles.
constexpr uint8_t kCardEventCode = 0x83;
constexpr uint8_t kVersionFragmentCode = 0x85;
constexpr uint8_t kBlockReplyCode = 0x8A;

// Size of one card data block and the number of blocks a card record holds.
constexpr size_t kReaderBlockSize = 16;
constexpr int kReaderBlockCount = 3;
// Block read failure code after which the reader will not deliver the blocks
// of this card: the identifier is all there is.
constexpr uint8_t kBlockFailureNoBlocks = 3;

// 83 flags card...
struct TCardEvent {
  bool valid = false;     // flags bit 0; invalid reads are not cards
  bool plainHex = false;  // flags bit 7: the number is shown as plain hex, not nibble-swapped
  std::vector<uint8_t> card;
};

// 85 index text...: up to 8 characters of the version text per fragment.
struct TVersionFragment {
  uint8_t index = 0;
  std::string text;
  bool last = false;  // fewer than 8 characters: the text is complete
};

// 8A - status data[16] | 8A - status failure
struct TBlockReply {
  uint8_t status = 0;  // 0: the block was read
  std::array<uint8_t, kReaderBlockSize> data{};  // status 0 only
  uint8_t failure = 0;                           // other statuses only
  bool Succeeded() const { return status == 0; }
};

// Made by the link when the reader starts or stops answering.
struct TSlaveWakes {};
struct TSlaveDies {};

// An unknown type, or a payload too short for the fields its type uses.
struct TIgnoredMessage {};

using TReaderMessage =
    std::variant<TIgnoredMessage, TCardEvent, TVersionFragment, TBlockReply, TSlaveWakes, TSlaveDies>;

TReaderMessage DecodeReaderMessage(const TProtoMessage& message);

// Commands to the reader. Each is a new message that ends the link's burst,
// so the link asks for nothing more in the same poll turn.
TProtoMessagePtr BuildVersionRequest();  // 0A
TProtoMessagePtr BuildReadFeedback();    // 03 06 00
TProtoMessagePtr BuildSignalOn();        // 02 FF FF 00
TProtoMessagePtr BuildSignalOff();       // 02 FF 00 FF
TProtoMessagePtr BuildBlockOpen();       // 18 04 C0 04
// 18 06 (4 + blockIndex): the card's data blocks are blocks 4, 5 and 6.
TProtoMessagePtr BuildBlockRead(int blockIndex);

// The reader's signal after a card, shared between the window and the link thread.
enum class TSignalState : uint8_t {
  Idle = 0,
  OnToSend = 1,   // a card was handled: SignalOn goes out next
  On = 2,         // BlickTimer runs
  OffToSend = 3,  // SignalOff goes out next
};

// Reading a card's data blocks (pmdp mode), shared the same way.
enum class TBlockState : uint8_t {
  NotStarted = 0,
  OpenToSend = 1,
  ReadToSend = 2,
  Waiting = 3,  // for a block reply; also the rest after a card is finished
};

}  // namespace snimac
