#include "upgrade/upgrade_frm.h"

#include <algorithm>
#include <cstdio>

#include "resources/image_check.h"
#include "upgrade/loader_commands.h"
#include "upgrade/page_walk.h"
#include "upgrade/upgrade_texts.h"

namespace snimac {

namespace {

constexpr int kTimeoutMs = 10000;
constexpr int kPage = static_cast<int>(kLoaderPageSize);
constexpr int kChunk = static_cast<int>(kPageDataMaxBytes);
constexpr int kBudget = 5;
constexpr int kEraseTimeoutBudget = 2;

template <typename... Args>
std::string Code(const char* format, Args... args) {
  char text[64];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace

TUpgradeFrm::TUpgradeFrm(TUpgradeUi& ui) : TDevFrm(ui), ui_(ui) { RestartTimeout(); }

TUpgradeFrm::~TUpgradeFrm() { ui_.StopTimeoutTimer(); }

bool TUpgradeFrm::AttachSlave(TProtoSlaveDev* slave) {
  slave_ = slave;
  Slave = slave;
  slave->SetForm(this);
  return true;
}

void TUpgradeFrm::ShowModal() {
  FormShow();
  ui_.ShowWindow(true);
  ui_.RunModal([this] { return closed_; });
  ui_.ShowWindow(false);
}

void TUpgradeFrm::FormShow() {
  std::lock_guard<std::mutex> guard(lock_);
  State = QueryBank;
  BankBase = 0xDEAD;
  AvrMode = false;
}

int8_t TUpgradeFrm::CurrentState() {
  std::lock_guard<std::mutex> guard(lock_);
  return State;
}

TProtoMessagePtr TUpgradeFrm::GetNextPacket() {
  bool restartTimeout = false;
  int progress = -1;
  TProtoMessagePtr message;
  {
    std::lock_guard<std::mutex> guard(lock_);
    switch (State) {
      case QueryBank:
        State = WaitBank;
        restartTimeout = true;
        message = BuildInfoQuery(kInfoBankBase);
        break;
      case QueryAddress:
        State = WaitAddress;
        restartTimeout = true;
        message = BuildInfoQuery(kInfoReportedAddress);
        break;
      case SendRestart:
        State = WaitRestart;
        restartTimeout = true;
        message = BuildRestartCommand();
        break;
      case UnlockErase:
        State = SendErase;
        message = BuildUnlock(true);
        break;
      case SendErase:
        State = WaitErase;
        message = BuildBlockErase(static_cast<uint8_t>(EraseBlock));
        break;
      case SendData: {
        const TPage page = PageAt(Image, static_cast<size_t>(Offset));
        const int count = std::min(kChunk, kPage - PageOffset);
        message = BuildPageData(static_cast<uint8_t>(PageOffset), page.bytes + PageOffset, static_cast<size_t>(count));
        PageOffset += count;
        if (PageOffset >= kPage) State = UnlockWrite;
        break;
      }
      case UnlockWrite:
        State = SendWrite;
        message = BuildUnlock(false);
        break;
      case SendWrite: {
        progress = Offset;
        const TPage page = PageAt(Image, static_cast<size_t>(Offset));
        message = BuildPageWrite(static_cast<uint16_t>(WriteBase + Offset), page.bytes);
        State = WaitWrite;
        break;
      }
      default:
        break;
    }
  }
  // Timers and the progress bar belong to the UI thread.
  if (restartTimeout) PostTask([this] { RestartTimeout(); });
  if (progress >= 0) PostTask([this, progress] { ui_.SetProgress(progress); });
  return message;
}

void TUpgradeFrm::ProcessPacket(const TProtoMessage& message) {
  if (message.Length < 1) return;
  TAfter after;
  {
    std::lock_guard<std::mutex> guard(lock_);
    switch (message.Data[0]) {
      case kLoaderResultCode:
        if (const auto result = ParseLoaderResult(message)) HandleLoaderResult(result->index, result->result, after);
        break;
      case kInfoReplyCode:
        HandleInfoReply(message, after);
        break;
      case kMsgSlaveWakes:
        HandleWakes(after);
        break;
      default:
        break;
    }
  }
  Perform(after);
}

void TUpgradeFrm::HandleInfoReply(const TProtoMessage& message, TAfter& after) {
  const auto reply = ParseInfoReply(message);
  if (!reply) return;
  if (reply->selector == kInfoBankBase) {
    if (State != WaitBank) return;
    if (reply->value.empty()) BankBase = 0;
    if (reply->value.size() == 2) BankBase = static_cast<uint32_t>(reply->value[0] << 8 | reply->value[1]);
    State = QueryAddress;
  } else if (reply->selector == kInfoReportedAddress) {
    // A reply too short to carry the address is ignored.
    if (State != WaitAddress || reply->value.size() < 4) return;
    ReportedAddress = static_cast<uint32_t>(reply->value[0]) << 24 | static_cast<uint32_t>(reply->value[1]) << 16 |
                      static_cast<uint32_t>(reply->value[2]) << 8 | reply->value[3];
    SelectImage(after);
  } else {
    HandleWakes(after);
  }
}

void TUpgradeFrm::SelectImage(TAfter& after) {
  if (BankBase == kLowBankBase || BankBase == kHighBankBase) {
    if (ReportedAddress < 0x2000 || ReportedAddress > 0x2FFF) return Fail(after, Code("H8 Addr %04x", ReportedAddress));
    std::fill(std::begin(EraseMarks), std::end(EraseMarks), false);
    AvrMode = false;
    Offset = 0;
    if (BankBase == kLowBankBase) {
      Image = FindFirmwareImage(kHighBankImageName);
      EraseMarks[5] = EraseMarks[6] = true;
      WriteBase = kHighBankBase;
    } else {
      Image = FindFirmwareImage(kLowBankImageName);
      EraseMarks[4] = true;
      WriteBase = kLowBankBase;
    }
    ImageSize = static_cast<int>(Image.size);
    PageOffset = 0;
    ErrorBudget = kBudget;
    EraseTimeoutBudget = kEraseTimeoutBudget;
    after.progressMaximum = ImageSize;
    State = NextErase;
    SearchErase();
  } else if (BankBase == 0) {
    if (ReportedAddress < 0x9000 || ReportedAddress > 0x10000) {
      return Fail(after, Code("AVR Addr %04x", ReportedAddress));
    }
    Image = FindFirmwareImage(kAvrImageName);
    after.slaveRestart = 1;
    State = WaitLoader;
    after.restartTimeout = true;
    AvrMode = true;
    Offset = 0;
    WriteBase = 0;
    ImageSize = static_cast<int>(Image.size);
    PageOffset = 0;
    ErrorBudget = kBudget;
    after.progressMaximum = ImageSize;
    SkipFrom = AvrUsedLength(Image);
  } else {
    Fail(after, Code("Base %04x A=%04x", BankBase, ReportedAddress));
  }
}

void TUpgradeFrm::SearchErase() {
  for (int block = 3; block <= 6; ++block) {
    if (EraseMarks[block]) {
      EraseBlock = block;
      State = UnlockErase;
      return;
    }
  }
  State = SendData;
}

void TUpgradeFrm::HandleLoaderResult(uint16_t index, uint8_t result, TAfter& after) {
  const TLoaderOutcome outcome = ClassifyLoaderResult(result);
  if (State == WaitErase && index == EraseBlock) {
    if (outcome == TLoaderOutcome::Done) {
      after.restartTimeout = true;
      EraseMarks[EraseBlock] = false;
      State = NextErase;
      SearchErase();
    } else if (outcome == TLoaderOutcome::Repeat || outcome == TLoaderOutcome::RepeatCommit) {
      State = UnlockErase;
    } else if (outcome == TLoaderOutcome::Error) {
      if (--ErrorBudget > 0) {
        State = UnlockErase;
        after.restartTimeout = true;
      } else {
        Fail(after, Code("Erase error a=%04x r=%02x", EraseBlock, result));
      }
    }
    return;
  }
  if (State != WaitWrite || index != static_cast<uint16_t>(WriteBase + Offset)) return;
  if (outcome == TLoaderOutcome::Done) {
    after.restartTimeout = true;
    Offset = static_cast<int>(NextPageOffset(static_cast<size_t>(Offset), AvrMode, SkipFrom));
    if (Offset >= ImageSize) {
      FinishImage(after);
    } else {
      State = SendData;
      PageOffset = 0;
    }
  } else if (outcome == TLoaderOutcome::Repeat) {
    State = SendData;
    PageOffset = 0;
  } else if (outcome == TLoaderOutcome::RepeatCommit) {
    State = UnlockWrite;
  } else if (outcome == TLoaderOutcome::Error) {
    if (--ErrorBudget > 0) {
      State = SendData;  // re-commit: PageOffset stays at 128
      after.restartTimeout = true;
    } else {
      Fail(after, Code("Write error a=%04x r=%02x", WriteBase + Offset, result));
    }
  }
}

void TUpgradeFrm::FinishImage(TAfter& after) {
  if (AvrMode) {
    after.slaveRestart = 0;
    State = WaitApplication;
    after.restartTimeout = true;
  } else {
    State = SendRestart;
  }
}

void TUpgradeFrm::HandleWakes(TAfter& after) {
  if (State == WaitLoader) {
    State = SendData;
  } else if (State == WaitApplication || State == WaitRestart) {
    State = Finished;
    AvrMode = false;
    after.complete = true;
  }
}

void TUpgradeFrm::TimeoutTimerTimer() {
  TAfter after;
  {
    std::lock_guard<std::mutex> guard(lock_);
    switch (State) {
      case WaitBank: State = QueryBank; break;
      case WaitAddress: State = QueryAddress; break;
      case WaitRestart: after.reminder = true; break;
      case WaitErase:
        if (--EraseTimeoutBudget > 0) {
          State = UnlockErase;
        } else {
          Fail(after, Code("Erase timeout s=%d a=%d", static_cast<int>(WaitErase), EraseBlock));
        }
        break;
      case WaitWrite:
        if (--ErrorBudget > 0) {
          State = SendData;
        } else {
          Fail(after, Code("Write timeout s=%d a=%04x", static_cast<int>(WaitWrite), WriteBase + Offset));
        }
        break;
      default:
        break;
    }
  }
  Perform(after);
}

void TUpgradeFrm::Fail(TAfter& after, std::string code) {
  State = Finished;
  after.fatal = std::move(code);
  after.fatalInLoader = AvrMode;
  if (AvrMode) {
    after.slaveRestart = 0;
    AvrMode = false;
  }
}

// Everything that may block or call into the endpoint, with the lock released.
void TUpgradeFrm::Perform(TAfter& after) {
  if (after.slaveRestart >= 0 && slave_) slave_->Restart(after.slaveRestart == 1);
  if (after.restartTimeout) RestartTimeout();
  if (after.progressMaximum >= 0) ui_.SetProgressRange(after.progressMaximum);
  if (after.reminder && !reminderOpen_) {
    reminderOpen_ = true;  // one reminder at a time
    ui_.Tell(upgrade_texts::kReplug);
    reminderOpen_ = false;
  }
  if (!after.fatal.empty()) {
    const std::string text = after.fatalInLoader
                                 ? upgrade_texts::kFailLoaderHead + after.fatal + upgrade_texts::kFailLoaderTail
                                 : upgrade_texts::kFailHead + after.fatal + upgrade_texts::kFailTail;
    ui_.Tell(text);
    Close();
  }
  if (after.complete) {
    ui_.Tell(upgrade_texts::kDone);
    Close();
  }
}

void TUpgradeFrm::RestartTimeout() {
  ui_.StopTimeoutTimer();
  ui_.StartTimeoutTimer(kTimeoutMs, [this] { TimeoutTimerTimer(); });
}

// The procedure ends with the window: until the main window takes the
// endpoint back, the link thread still asks here, and is given nothing.
void TUpgradeFrm::Close() {
  if (!FormClose()) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    State = Finished;
  }
  closed_ = true;
}

void TUpgradeFrm::CloseRequested() { Close(); }

bool TUpgradeFrm::FormClose() {
  int8_t state;
  bool avr;
  {
    std::lock_guard<std::mutex> guard(lock_);
    state = State;
    avr = AvrMode;
  }
  if (state == Finished) return true;
  const char* question = avr && state >= NextErase ? upgrade_texts::kCloseInLoader : upgrade_texts::kClose;
  return ui_.Ask(question);
}

}  // namespace snimac
