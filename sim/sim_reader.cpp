#include "sim/sim_reader.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "sim/sim_avr_loader.h"
#include "sim/sim_h8_loader.h"
#include "sim/sim_loader.h"

namespace snimac::sim {

namespace {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

std::unique_ptr<TSimLoader> MakeLoader(const TSimLoaderConfig& config, const std::string& version) {
  switch (config.family) {
    case TSimReaderFamily::H8: return std::make_unique<TSimH8Loader>(config, version);
    case TSimReaderFamily::Avr: return std::make_unique<TSimAvrLoader>(config, version);
    case TSimReaderFamily::None: break;
  }
  return nullptr;
}

}  // namespace

TSimReader::TSimReader(TSimReaderConfig config)
    : config_(std::move(config)), loader_(MakeLoader(config_.loader, config_.version)), version_(config_.version) {}

TSimReader::~TSimReader() = default;

// ---------------------------------------------------------------- wire side

void TSimReader::OnByte(uint8_t byte) {
  std::lock_guard<std::mutex> guard(mutex_);
  Advance(nowUs_);
  ReceiveByte(byte);
}

void TSimReader::OnByte(uint8_t byte, int64_t nowUs) {
  std::lock_guard<std::mutex> guard(mutex_);
  Advance(nowUs);
  ReceiveByte(byte);
}

void TSimReader::OnBytes(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) OnByte(bytes[i]);
}

void TSimReader::ReceiveByte(uint8_t byte) {
  ++stats_.bytesReceived;
  if (IsDown()) {
    ++stats_.bytesWhileDown;
    return;
  }
  switch (receiver_.Feed(byte)) {
    case TSimFrameEvent::None: return;
    case TSimFrameEvent::Token:
      if (link_.OnToken(receiver_.Token())) AnswerSent();
      return;
    case TSimFrameEvent::Packet: break;
  }
  TSimLinkEvent event = link_.OnPacket(receiver_.Packet());
  switch (event.kind) {
    case TSimLinkEvent::TKind::None: return;
    case TSimLinkEvent::TKind::Message: Deliver(std::move(event.message)); return;
    case TSimLinkEvent::TKind::AddressAssignment: AssignAddress(event.identity, event.address); return;
  }
}

std::vector<uint8_t> TSimReader::TakeOutput() {
  std::lock_guard<std::mutex> guard(mutex_);
  return link_.TakeOutput();
}

bool TSimReader::HasOutput() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return link_.HasOutput();
}

void TSimReader::PowerCycle() {
  std::lock_guard<std::mutex> guard(mutex_);
  PowerOn();
}

void TSimReader::AdvanceTo(int64_t nowUs) {
  std::lock_guard<std::mutex> guard(mutex_);
  Advance(nowUs);
}

int64_t TSimReader::NowUs() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return nowUs_;
}

// ---------------------------------------------------------------- link side

void TSimReader::AssignAddress(uint32_t identity, uint8_t address) {
  // The one place that decides whether an address assignment is for us.
  using TMatch = TSimLoader::TIdentityMatch;
  const TMatch match = loader_ ? loader_->MatchIdentity(identity, config_.identity)
                               : TSimLoader::MatchPlain(identity, config_.identity);
  if (match == TMatch::Refused) {
    ++stats_.addressRefused;
    return;
  }
  if (match == TMatch::SwitchesProgram) {
    // The other program starts and takes this assignment; it knows nothing
    // of the link the old one had.
    ++stats_.programSwitches;
    ResetLink(0);
    const bool answers = loader_->SwitchProgram();
    RefreshVersion();
    if (!answers) {
      downUntilUs_ = kNever;
      return;
    }
  }
  link_.TakeAddress(address);
}

void TSimReader::RequestReset() {
  std::lock_guard<std::mutex> guard(mutex_);
  link_.RequestReset();
}

bool TSimReader::SendUnnumbered(uint8_t subType, std::vector<uint8_t> data) {
  if (data.size() > kMaxPayload - 1) return false;
  std::lock_guard<std::mutex> guard(mutex_);
  link_.QueueUnnumbered({subType, std::move(data)});
  return true;
}

void TSimReader::InjectRaw(std::vector<uint8_t> wireBytes) {
  std::lock_guard<std::mutex> guard(mutex_);
  link_.InjectRaw(wireBytes);
}

// ---------------------------------------------------------------- application side

bool TSimReader::SendAppMessage(std::vector<uint8_t> payload) {
  if (payload.empty() || payload.size() > kMaxPayload) return false;
  std::lock_guard<std::mutex> guard(mutex_);
  link_.QueueMessage(std::move(payload));
  return true;
}

bool TSimReader::PresentCard(uint8_t flags, std::vector<uint8_t> cardBytes) {
  if (cardBytes.size() > kMaxPayload - 2) return false;
  std::vector<uint8_t> m = TSimReaderApplication::CardEvent(flags, cardBytes);
  std::lock_guard<std::mutex> guard(mutex_);
  if (!ApplicationRunning()) return false;
  link_.QueueMessage(std::move(m));
  return true;
}

bool TSimReader::PresentCard(uint8_t flags, std::vector<uint8_t> cardBytes, std::vector<uint8_t> blocks) {
  if (cardBytes.size() > kMaxPayload - 2) return false;
  SetCardBlocks(std::move(blocks));
  return PresentCard(flags, std::move(cardBytes));
}

void TSimReader::SetCardBlocks(std::vector<uint8_t> blocks) {
  std::lock_guard<std::mutex> guard(mutex_);
  application_.SetCardBlocks(std::move(blocks));
}

void TSimReader::ClearCardBlocks() {
  std::lock_guard<std::mutex> guard(mutex_);
  application_.ClearCardBlocks();
}

void TSimReader::SetBlockFailure(uint8_t failureCode, int times) {
  std::lock_guard<std::mutex> guard(mutex_);
  application_.SetBlockFailure(failureCode, times);
}

void TSimReader::Deliver(std::vector<uint8_t> m) {
  received_.push_back(m);
  if (m.empty()) return;
  if (loader_ && loader_->Handle(m, nowUs_)) {
    QueueLoaderReplies();
    if (loader_->TakeRestartRequest()) restartAfterAnswer_ = true;
    return;
  }
  if (!ApplicationRunning()) return;  // the loader knows no application messages
  for (std::vector<uint8_t>& reply : application_.Handle(m, version_)) link_.QueueMessage(std::move(reply));
}

// ---------------------------------------------------------------- programs, time

void TSimReader::AnswerSent() {
  // The restart waits until the master has its ACK: the command would come
  // again otherwise, to the program that has just started.
  if (restartAfterAnswer_ && !link_.AckOwed()) {
    restartAfterAnswer_ = false;
    restarting_ = true;
    const int64_t downUs = std::max<int64_t>(0, config_.loader.restartUs);
    downUntilUs_ = config_.loader.staysDownAfterRestart ? kNever : nowUs_ + downUs;
  }
}

void TSimReader::ResetLink(uint8_t address) {
  link_.Reset(address);
  application_.Restart();
}

void TSimReader::PowerOn() {
  receiver_.Reset();
  ResetLink(config_.address);
  link_.ClearOutput();
  if (loader_) {
    if (restarting_) {
      loader_->Restart();
      ++stats_.restarts;
    }
    loader_->PowerOn();
  }
  restarting_ = false;
  restartAfterAnswer_ = false;
  downUntilUs_ = 0;
  RefreshVersion();
}

void TSimReader::Advance(int64_t nowUs) {
  nowUs_ = std::max(nowUs_, nowUs);
  if (restarting_ && nowUs_ >= downUntilUs_) PowerOn();
  QueueLoaderReplies();
}

bool TSimReader::ApplicationRunning() const { return !IsDown() && (!loader_ || loader_->ApplicationRunning()); }

void TSimReader::QueueLoaderReplies() {
  if (!loader_) return;
  for (std::vector<uint8_t>& reply : loader_->TakeDueReplies(nowUs_)) {
    if (!reply.empty() && reply.size() <= kMaxPayload) link_.QueueMessage(std::move(reply));
  }
}

void TSimReader::RefreshVersion() {
  if (!loader_) return;
  if (std::optional<std::string> text = loader_->VersionText()) version_ = std::move(*text);
}

// ---------------------------------------------------------------- loader

void TSimReader::AddLoaderFault(TSimLoaderFault fault) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (loader_) loader_->AddFault(std::move(fault));
}

void TSimReader::ClearLoaderFaults() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (loader_) loader_->ClearFaults();
}

}  // namespace snimac::sim
