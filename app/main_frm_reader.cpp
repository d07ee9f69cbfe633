// The main window as the reader's application peer: the messages from the
// reader, the commands to it, the signal blink and the version text.
#include <algorithm>
#include <atomic>
#include <variant>

#include "app/main_frm.h"
#include "app/texts.h"

namespace snimac {

namespace {

constexpr int kUidMax = 11;
constexpr int kUidWithoutBlocks = 7;
constexpr int kTimerIntervalMs = 1000;
constexpr int kLogTimerIntervalMs = 5000;

template <class... Handlers>
struct TOverloaded : Handlers... {
  using Handlers::operator()...;
};
template <class... Handlers>
TOverloaded(Handlers...) -> TOverloaded<Handlers...>;

// Moves a state shared with the other thread on only if it is still `from`.
template <class State>
bool Advance(std::atomic<State>& state, State from, State to) {
  return state.compare_exchange_strong(from, to);
}

}  // namespace

void TMainFrm::ProcessPacket(const TProtoMessage& message) {
  std::visit(TOverloaded{
                 [this](const TCardEvent& event) { ProcessCardEvent(event); },
                 [this](const TVersionFragment& fragment) { ProcessVersionFragment(fragment); },
                 [this](const TBlockReply& reply) { ProcessBlockReply(reply); },
                 [this](const TSlaveWakes&) { ProcessSlaveWakes(); },
                 [this](const TSlaveDies&) { ShowStatus(texts::kStatusNoLink); },
                 [](const TIgnoredMessage&) {},
             },
             DecodeReaderMessage(message));
}

void TMainFrm::ProcessCardEvent(const TCardEvent& event) {
  if (!event.valid) return;
  const int count = static_cast<int>(event.card.size());
  if (!PmdpMode) {
    HandleCardNumber(event.card.data(), count, event.plainHex ? 1 : 0);
    return;
  }
  CardUidLen = std::min(count, kUidMax);
  std::copy_n(event.card.begin(), CardUidLen, CardUid);
  if (CardUidLen == kUidWithoutBlocks) {
    HandleCardUid(CardUid, CardUidLen);
  } else {
    BlockState = TBlockState::OpenToSend;  // also restarts a block read under way for an earlier card
  }
}

void TMainFrm::ProcessVersionFragment(const TVersionFragment& fragment) {
  VersionPending = false;
  if (fragment.index == 0) {
    HwVersion.clear();
    HwVersionCount = 0;
  }
  if (fragment.index == HwVersionCount) {
    ++HwVersionCount;
    HwVersion += fragment.text;
  }
  if (fragment.last) CheckFirmwareVersion();
}

void TMainFrm::ProcessBlockReply(const TBlockReply& reply) {
  if (reply.Succeeded()) {
    if (BlockIndex >= kReaderBlockCount) return;  // the card's record is already complete
    std::copy(reply.data.begin(), reply.data.end(), BlockData + kReaderBlockSize * static_cast<size_t>(BlockIndex));
    if (++BlockIndex == kReaderBlockCount) {
      HandleCardRecord(CardUid, CardUidLen, BlockData);
    } else {
      BlockState = TBlockState::ReadToSend;
    }
    return;
  }
  if (reply.failure == kBlockFailureNoBlocks) {
    HandleCardUid(CardUid, CardUidLen);
  } else if (BlockState == TBlockState::Waiting) {
    BlockState = TBlockState::ReadToSend;  // ask for the same block again
  }
}

void TMainFrm::ProcessSlaveWakes() {
  ShowStatus(texts::kStatusReady);
  VersionPending = true;
  SignalState = TSignalState::OffToSend;
  if (slave_) slave_->Flush();
}

// Each step moves its state with a compare-exchange, so a change the UI thread
// makes in between (a new card, the blink's end) is never overwritten.
TProtoMessagePtr TMainFrm::GetNextPacket() {
  if (VersionPending) {
    StartTimerFromLinkThread(TTimerId::VersionTimer);
    return BuildVersionRequest();
  }
  if (FeedbackPending.exchange(false)) return BuildReadFeedback();
  if (Advance(SignalState, TSignalState::OnToSend, TSignalState::On)) {
    StartTimerFromLinkThread(TTimerId::BlickTimer);
    return BuildSignalOn();
  }
  if (Advance(SignalState, TSignalState::OffToSend, TSignalState::Idle)) return BuildSignalOff();
  if (!PmdpMode) return nullptr;
  if (Advance(BlockState, TBlockState::OpenToSend, TBlockState::ReadToSend)) {
    BlockIndex = 0;
    return BuildBlockOpen();
  }
  if (Advance(BlockState, TBlockState::ReadToSend, TBlockState::Waiting)) return BuildBlockRead(BlockIndex);
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
  Advance(SignalState, TSignalState::On, TSignalState::OffToSend);
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
