// The main window as the reader's application peer: the messages from the
// reader, the commands to it, the signal blink and the version text.
#include <algorithm>
#include <cstring>

#include "app/main_frm.h"
#include "app/texts.h"

namespace snimac {

namespace {

constexpr uint8_t kCardEvent = 0x83;
constexpr uint8_t kVersionFragment = 0x85;
constexpr uint8_t kBlockReply = 0x8A;
constexpr uint8_t kCardValid = 0x01;
constexpr uint8_t kPlainHex = 0x80;
constexpr int kUidMax = 11;
constexpr int kUidWithoutBlocks = 7;
constexpr int kVersionFragmentFull = 10;  // type, index, 8 characters
constexpr int kBlockSize = 16;
constexpr int kBlocks = 3;
constexpr uint8_t kBlockRefused = 3;
constexpr int kTimerIntervalMs = 1000;
constexpr int kLogTimerIntervalMs = 5000;

TProtoMessagePtr Command(std::initializer_list<uint8_t> bytes) {
  return std::make_unique<TProtoMessage>(std::data(bytes), static_cast<int>(bytes.size()), true);
}

}  // namespace

void TMainFrm::ProcessPacket(const TProtoMessage& message) {
  const uint8_t* data = message.Data.get();
  const int length = message.Length;
  if (length < 1) return;
  switch (data[0]) {
    case kCardEvent: ProcessCardEvent(data, length); break;
    case kVersionFragment: ProcessVersionFragment(data, length); break;
    case kBlockReply: ProcessBlockReply(data, length); break;
    case kMsgSlaveWakes: ProcessSlaveWakes(); break;
    case kMsgSlaveDies: ShowStatus(texts::kStatusNoLink); break;
    default: break;
  }
}

void TMainFrm::ProcessCardEvent(const uint8_t* data, int length) {
  if (length < 2 || (data[1] & kCardValid) == 0) return;
  const uint8_t* card = data + 2;
  const int count = length - 2;
  if (!PmdpMode) {
    HandleCardNumber(card, count, (data[1] & kPlainHex) ? 1 : 0);
    return;
  }
  CardUidLen = std::min(count, kUidMax);
  std::memcpy(CardUid, card, static_cast<size_t>(CardUidLen));
  if (CardUidLen == kUidWithoutBlocks) {
    HandleCardUid(CardUid, CardUidLen);
  } else {
    BlockState = 1;  // also restarts a block read under way for an earlier card
  }
}

void TMainFrm::ProcessVersionFragment(const uint8_t* data, int length) {
  if (length < 2) return;
  VersionPending = false;
  const int index = data[1];
  if (index == 0) {
    HwVersion.clear();
    HwVersionCount = 0;
  }
  if (index == HwVersionCount) {
    ++HwVersionCount;
    HwVersion.append(reinterpret_cast<const char*>(data + 2), static_cast<size_t>(length - 2));
  }
  if (length < kVersionFragmentFull) CheckFirmwareVersion();
}

void TMainFrm::ProcessBlockReply(const uint8_t* data, int length) {
  if (length < 3) return;
  const uint8_t status = data[2];
  if (status == 0) {
    if (length < 3 + kBlockSize || BlockIndex >= kBlocks) return;
    std::memcpy(BlockData + kBlockSize * BlockIndex, data + 3, kBlockSize);
    if (++BlockIndex == kBlocks) {
      HandleCardRecord(CardUid, CardUidLen, BlockData);
    } else {
      BlockState = 2;
    }
    return;
  }
  if (length < 4) return;
  if (data[3] == kBlockRefused) {
    HandleCardUid(CardUid, CardUidLen);
  } else if (BlockState == 3) {
    BlockState = 2;  // ask for the same block again
  }
}

void TMainFrm::ProcessSlaveWakes() {
  ShowStatus(texts::kStatusReady);
  VersionPending = true;
  SignalState = 3;
  if (slave_) slave_->Flush();
}

TProtoMessagePtr TMainFrm::GetNextPacket() {
  if (VersionPending) {
    StartTimerFromLinkThread(TTimerId::VersionTimer);
    return Command({0x0A});
  }
  if (FeedbackPending.exchange(false)) return Command({0x03, 0x06, 0x00});
  uint8_t on = 1;
  if (SignalState.compare_exchange_strong(on, 2)) {
    StartTimerFromLinkThread(TTimerId::BlickTimer);
    return Command({0x02, 0xFF, 0xFF, 0x00});
  }
  uint8_t off = 3;
  if (SignalState.compare_exchange_strong(off, 0)) return Command({0x02, 0xFF, 0x00, 0xFF});
  if (PmdpMode && BlockState == 1) {
    BlockIndex = 0;
    BlockState = 2;
    return Command({0x18, 0x04, 0xC0, 0x04});
  }
  if (PmdpMode && BlockState == 2) {
    BlockState = 3;
    return Command({0x18, 0x06, static_cast<uint8_t>(4 + BlockIndex)});
  }
  return nullptr;
}

void TMainFrm::StartTimerFromLinkThread(TTimerId id) {
  PostTask([this, id] { StartTimer(id); });
}

void TMainFrm::StartTimer(TTimerId id) {
  switch (id) {
    case TTimerId::BlickTimer: ui_.StartTimer(id, kTimerIntervalMs, [this] { BlickTimerTimer(); }); break;
    case TTimerId::VersionTimer: ui_.StartTimer(id, kTimerIntervalMs, [this] { VersionTimerTimer(); }); break;
    case TTimerId::LogTimer: ui_.StartTimer(id, kLogTimerIntervalMs, [this] { LogTimerTimer(); }); break;
    case TTimerId::TimeoutTimer: break;
  }
}

void TMainFrm::BlickTimerTimer() {
  uint8_t on = 2;
  SignalState.compare_exchange_strong(on, 3);
  ui_.StopTimer(TTimerId::BlickTimer);
}

void TMainFrm::VersionTimerTimer() {
  if (HwVersionCount > 2) {
    CheckFirmwareVersion();
    ui_.StopTimer(TTimerId::VersionTimer);
  }
}

void TMainFrm::CheckFirmwareVersion() {
  ui_.SetLabel(TLabel::HwVersionLbl, "HW:" + HwVersion);
  if (!OfferUpgrade) return;
  if (HwVersion.find(texts::kCarriedFirmwareVersion) != std::string::npos) return;
  OfferUpgrade = false;
  OfferFirmwareUpgrade();
}

}  // namespace snimac
