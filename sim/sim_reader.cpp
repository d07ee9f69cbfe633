#include "sim/sim_reader.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "link/crc.h"
#include "sim/sim_avr_loader.h"
#include "sim/sim_h8_loader.h"
#include "sim/sim_loader.h"

namespace snimac::sim {

namespace {

constexpr uint8_t kFrameStart = 0xC0;
constexpr uint8_t kFrameEnd = 0xC1;
constexpr uint8_t kEscape = 0x7D;
constexpr uint8_t kBroadcast = 0x7F;
constexpr uint8_t kTokenFlag = 0x80;
constexpr uint8_t kResetRequest = 0x81;
constexpr uint8_t kResetAck = 0x82;
constexpr uint8_t kUnnumbered = 0x83;
constexpr uint8_t kAckOnly = 0xC0;
constexpr uint8_t kSubAddressSet = 0x01;
constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

// Application messages.
constexpr uint8_t kCardEvent = 0x83;
constexpr uint8_t kVersionFragment = 0x85;
constexpr uint8_t kBlockReply = 0x8A;
constexpr uint8_t kVersionRequest = 0x0A;
constexpr size_t kVersionChunk = 8;
constexpr size_t kBlockSize = 16;
constexpr size_t kBlockCount = 3;
constexpr uint8_t kFirstBlock = 4;
constexpr uint8_t kBlockFailStatus = 1;
constexpr uint8_t kNoRecordCode = 3;
constexpr uint8_t kBadBlockCode = 1;

bool Is(const std::vector<uint8_t>& m, std::initializer_list<uint8_t> bytes) {
  return m.size() == bytes.size() && std::equal(m.begin(), m.end(), bytes.begin());
}

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
    : config_(std::move(config)), loader_(MakeLoader(config_.loader, config_.version)), version_(config_.version) {
  address_ = config_.address;
  frame_.reserve(kMaxPacket);
}

TSimReader::~TSimReader() = default;

// ---------------------------------------------------------------- receiver

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

void TSimReader::ReceiveByte(uint8_t byte) {
  ++stats_.bytesReceived;
  if (IsDown()) {
    ++stats_.bytesWhileDown;
    return;
  }
  if (byte == kFrameStart) {
    // A start byte never occurs inside a frame: whatever was being collected
    // was cut off.
    if (inFrame_ && (!frame_.empty() || escape_)) ++stats_.malformedFrames;
    ResetReceiver();
    inFrame_ = true;
    return;
  }
  if (!inFrame_) return;  // noise between frames
  if (byte == kFrameEnd) {
    if (escape_ || overflow_ || frame_.size() < 4) {
      ++stats_.malformedFrames;
    } else {
      FrameComplete();
    }
    ResetReceiver();
    return;
  }
  if (byte == kEscape && !escape_) {
    escape_ = true;
    return;
  }
  if (escape_) {
    byte ^= 0x20;
    escape_ = false;
  }
  if (frame_.empty() && (byte & kTokenFlag)) {
    HandleToken(byte);
    ResetReceiver();
    return;
  }
  if (frame_.size() >= kMaxPacket) {
    overflow_ = true;  // dropped at its end byte
    return;
  }
  frame_.push_back(byte);
}

void TSimReader::OnBytes(const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) OnByte(bytes[i]);
}

void TSimReader::ResetReceiver() {
  inFrame_ = false;
  escape_ = false;
  overflow_ = false;
  frame_.clear();
}

void TSimReader::FrameComplete() {
  if (Crc16Block(0xFFFF, frame_.data(), frame_.size()) != kCrcGoodResidue) {
    ++stats_.badCrcFrames;
    return;
  }
  ++stats_.framesReceived;
  HandlePacket(frame_.data(), frame_.size() - 2);
}

// ---------------------------------------------------------------- link

void TSimReader::HandleToken(uint8_t addressByte) {
  ++stats_.tokensReceived;
  const uint8_t address = addressByte & 0x7F;
  if (address_ == 0 || address != address_) return;
  ++stats_.tokensAnswered;
  Answer();
}

void TSimReader::HandlePacket(const uint8_t* p, size_t n) {
  const uint8_t address = p[0] & 0x7F;
  const uint8_t control = p[1];
  if (address == kBroadcast) {
    if (control == kUnnumbered && n >= 3 && p[2] == kSubAddressSet) {
      HandleAddressAssignment(p, n);
    } else {
      ++stats_.framesForOthers;
    }
    return;
  }
  if (address_ == 0 || address != address_) {
    ++stats_.framesForOthers;
    return;
  }
  if (!(control & 0x80)) {
    HandleData(control, p + 2, n - 2);
    return;
  }
  if ((control & 0xF8) == kAckOnly) {
    ++stats_.acksReceived;
    if (synced_ && !resetRequested_) AckUpTo(control & 7);
    return;
  }
  switch (control) {
    case kResetRequest:
      ++stats_.resetRequestsReceived;
      ResetSequence();
      resetAckOwed_ = true;
      resetRequested_ = false;  // both sides start from 0: the handshake is done
      synced_ = true;
      return;
    case kResetAck:
      ++stats_.resetAcksReceived;
      if (resetRequested_) {
        resetRequested_ = false;
        synced_ = true;
      }
      return;
    case kUnnumbered:
      if (n >= 3) {
        ++stats_.unnumberedReceived;
        receivedUnnumbered_.push_back({p[2], std::vector<uint8_t>(p + 3, p + n)});
      } else {
        ++stats_.unknownControl;
      }
      return;
    default:
      ++stats_.unknownControl;
      return;
  }
}

void TSimReader::HandleAddressAssignment(const uint8_t* p, size_t n) {
  if (n != 8) {
    ++stats_.framesForOthers;
    return;
  }
  const uint32_t identity = (uint32_t{p[3]} << 24) | (uint32_t{p[4]} << 16) | (uint32_t{p[5]} << 8) | p[6];
  const uint8_t newAddress = p[7];
  // The one place that decides whether an address assignment is for us.
  using TMatch = TSimLoader::TIdentityMatch;
  const TMatch match = loader_ ? loader_->MatchIdentity(identity, config_.identity)
                               : TSimLoader::MatchPlain(identity, config_.identity);
  if (match == TMatch::Refused || newAddress == 0 || newAddress >= kBroadcast) {
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
  ++stats_.addressAssignments;
  address_ = newAddress;
  // The master resets the sequence after every address assignment; numbered
  // data waits for that.
  synced_ = false;
  ackOwed_ = false;
}

void TSimReader::HandleData(uint8_t control, const uint8_t* payload, size_t n) {
  if (!synced_ || resetRequested_) {
    ++stats_.dataIgnored;  // neither delivered nor acknowledged; its ACK ignored
    return;
  }
  const int seq = (control >> 4) & 7;
  const int ack = control & 7;
  ackOwed_ = true;
  if (seq == recvSeq_) {
    ++stats_.dataDelivered;
    recvSeq_ = (recvSeq_ + 1) & 7;
    Deliver(std::vector<uint8_t>(payload, payload + n));
    AckUpTo(ack);
  } else if (((seq - recvSeq_) & 7) == 7) {
    ++stats_.dataRepeated;
    AckUpTo(ack);
  } else {
    ++stats_.dataUnexpected;  // its ACK is not trusted
  }
}

void TSimReader::AckUpTo(int ack) {
  const size_t n = static_cast<size_t>((ack - sendSeq_) & 7);
  if (n > unacked_.size()) {
    ++stats_.invalidAcks;
    return;
  }
  for (size_t i = 0; i < n; ++i) unacked_.pop_front();
  sendSeq_ = (sendSeq_ + static_cast<int>(n)) & 7;
  tokensWaiting_ = 0;
  // The master's ACK covers every answer it read before it built this packet:
  // whatever it still does not acknowledge was lost. Go back to the oldest.
  bool anyOut = false;
  for (const TOutPacket& p : unacked_) anyOut = anyOut || !p.due;
  if (anyOut) MarkAllDue();
}

void TSimReader::MarkAllDue() {
  ++stats_.goBackEvents;
  for (TOutPacket& p : unacked_) p.due = true;
}

void TSimReader::ResetSequence() {
  sendSeq_ = 0;
  recvSeq_ = 0;
  ackOwed_ = false;
  tokensWaiting_ = 0;
  if (config_.keepUnackedOnReset) {
    for (TOutPacket& p : unacked_) p.due = true;  // renumbered from SEQ 0
  } else {
    unacked_.clear();
  }
}

void TSimReader::Answer() {
  std::vector<uint8_t> packet;
  const int maxFrames = std::max(1, config_.maxFramesPerAnswer);
  int frames = 1;  // the closing token
  output_.insert(output_.end(), injected_.begin(), injected_.end());
  injected_.clear();

  if (resetAckOwed_ && frames < maxFrames) {
    EmitPacket({address_, kResetAck});
    resetAckOwed_ = false;
    ++stats_.resetAcksSent;
    ++frames;
  }
  if (resetRequested_ && frames < maxFrames) {
    EmitPacket({address_, kResetRequest});
    ++stats_.resetRequestsSent;
    ++frames;
  }
  if (synced_ && !resetRequested_) {
    // Packets waiting for an ACK for too many tokens: lost without a word.
    if (!unacked_.empty()) {
      bool anyOut = false;
      for (const TOutPacket& p : unacked_) anyOut = anyOut || !p.due;
      if (anyOut && ++tokensWaiting_ >= config_.resendAfterTokens) MarkAllDue();
    }
    bool sentData = false;
    int seq = sendSeq_;
    for (TOutPacket& p : unacked_) {
      if (p.due && frames < maxFrames) {
        packet.assign({address_, static_cast<uint8_t>((seq << 4) | recvSeq_)});
        packet.insert(packet.end(), p.payload.begin(), p.payload.end());
        EmitPacket(packet);
        p.due = false;
        ++stats_.dataResent;
        ++frames;
        sentData = true;
      }
      seq = (seq + 1) & 7;
    }
    while (!queue_.empty() && static_cast<int>(unacked_.size()) < config_.windowSize && frames < maxFrames) {
      TOutPacket p{std::move(queue_.front()), false};
      queue_.pop_front();
      packet.assign({address_, static_cast<uint8_t>((seq << 4) | recvSeq_)});
      packet.insert(packet.end(), p.payload.begin(), p.payload.end());
      EmitPacket(packet);
      unacked_.push_back(std::move(p));
      ++stats_.dataSent;
      ++frames;
      seq = (seq + 1) & 7;
      sentData = true;
    }
    if (sentData) {
      ackOwed_ = false;
      tokensWaiting_ = 0;
    } else if (ackOwed_ && frames < maxFrames) {
      EmitPacket({address_, static_cast<uint8_t>(kAckOnly | recvSeq_)});
      ackOwed_ = false;
      ++stats_.ackOnlySent;
      ++frames;
    }
  }
  while (!unnumbered_.empty() && frames < maxFrames) {
    TSimUnnumbered& u = unnumbered_.front();
    packet.assign({address_, kUnnumbered, u.subType});
    packet.insert(packet.end(), u.data.begin(), u.data.end());
    EmitPacket(packet);
    unnumbered_.pop_front();
    ++stats_.unnumberedSent;
    ++frames;
  }
  EmitToken();
  // The restart waits until the master has its ACK: the command would come
  // again otherwise, to the program that has just started.
  if (restartAfterAnswer_ && !ackOwed_) {
    restartAfterAnswer_ = false;
    restarting_ = true;
    const int64_t downUs = std::max<int64_t>(0, config_.loader.restartUs);
    downUntilUs_ = config_.loader.staysDownAfterRestart ? kNever : nowUs_ + downUs;
  }
}

void TSimReader::EmitPacket(const std::vector<uint8_t>& packet) {
  const uint16_t crc = static_cast<uint16_t>(~Crc16Block(0xFFFF, packet.data(), packet.size()));
  const uint8_t tail[2] = {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)};
  output_.push_back(kFrameStart);
  auto put = [this](uint8_t b) {
    if (b == kFrameStart || b == kFrameEnd || b == kEscape) {
      output_.push_back(kEscape);
      output_.push_back(static_cast<uint8_t>(b ^ 0x20));
    } else {
      output_.push_back(b);
    }
  };
  for (uint8_t b : packet) put(b);
  put(tail[0]);
  put(tail[1]);
  output_.push_back(kFrameEnd);
}

void TSimReader::EmitToken() {
  const uint8_t token = static_cast<uint8_t>(address_ | kTokenFlag);
  output_.push_back(kFrameStart);
  if (token == kFrameStart || token == kFrameEnd || token == kEscape) {
    output_.push_back(kEscape);
    output_.push_back(static_cast<uint8_t>(token ^ 0x20));
  } else {
    output_.push_back(token);
  }
}

std::vector<uint8_t> TSimReader::TakeOutput() {
  std::lock_guard<std::mutex> guard(mutex_);
  std::vector<uint8_t> out;
  out.swap(output_);
  return out;
}

bool TSimReader::HasOutput() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return !output_.empty();
}

void TSimReader::PowerCycle() {
  std::lock_guard<std::mutex> guard(mutex_);
  PowerOn();
}

void TSimReader::ResetLink(uint8_t address) {
  address_ = address;
  synced_ = false;
  resetRequested_ = false;
  resetAckOwed_ = false;
  ackOwed_ = false;
  sendSeq_ = 0;
  recvSeq_ = 0;
  tokensWaiting_ = 0;
  unacked_.clear();
  queue_.clear();
  unnumbered_.clear();
  signalOn_ = false;
}

void TSimReader::PowerOn() {
  ResetReceiver();
  ResetLink(config_.address);
  injected_.clear();
  output_.clear();
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

void TSimReader::AdvanceTo(int64_t nowUs) {
  std::lock_guard<std::mutex> guard(mutex_);
  Advance(nowUs);
}

void TSimReader::Advance(int64_t nowUs) {
  nowUs_ = std::max(nowUs_, nowUs);
  if (restarting_ && nowUs_ >= downUntilUs_) PowerOn();
  QueueLoaderReplies();
}

int64_t TSimReader::NowUs() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return nowUs_;
}

void TSimReader::RequestReset() {
  std::lock_guard<std::mutex> guard(mutex_);
  ResetSequence();
  resetRequested_ = true;
  synced_ = false;
}

bool TSimReader::SendUnnumbered(uint8_t subType, std::vector<uint8_t> data) {
  if (data.size() > kMaxPayload - 1) return false;
  std::lock_guard<std::mutex> guard(mutex_);
  unnumbered_.push_back({subType, std::move(data)});
  return true;
}

void TSimReader::InjectRaw(std::vector<uint8_t> wireBytes) {
  std::lock_guard<std::mutex> guard(mutex_);
  injected_.insert(injected_.end(), wireBytes.begin(), wireBytes.end());
}

// ---------------------------------------------------------------- application

void TSimReader::QueueMessage(std::vector<uint8_t> payload) { queue_.push_back(std::move(payload)); }

bool TSimReader::SendMessage(std::vector<uint8_t> payload) {
  if (payload.empty() || payload.size() > kMaxPayload) return false;
  std::lock_guard<std::mutex> guard(mutex_);
  QueueMessage(std::move(payload));
  return true;
}

bool TSimReader::PresentCard(uint8_t flags, std::vector<uint8_t> cardBytes) {
  if (cardBytes.size() > kMaxPayload - 2) return false;
  std::vector<uint8_t> m{kCardEvent, flags};
  m.insert(m.end(), cardBytes.begin(), cardBytes.end());
  std::lock_guard<std::mutex> guard(mutex_);
  if (!ApplicationRunning()) return false;
  QueueMessage(std::move(m));
  return true;
}

bool TSimReader::PresentCard(uint8_t flags, std::vector<uint8_t> cardBytes, std::vector<uint8_t> blocks) {
  if (cardBytes.size() > kMaxPayload - 2) return false;
  SetCardBlocks(std::move(blocks));
  return PresentCard(flags, std::move(cardBytes));
}

void TSimReader::SetCardBlocks(std::vector<uint8_t> blocks) {
  blocks.resize(kBlockSize * kBlockCount, 0);
  std::lock_guard<std::mutex> guard(mutex_);
  blocks_ = std::move(blocks);
}

void TSimReader::ClearCardBlocks() {
  std::lock_guard<std::mutex> guard(mutex_);
  blocks_.clear();
}

void TSimReader::SetBlockFailure(uint8_t failureCode, int times) {
  std::lock_guard<std::mutex> guard(mutex_);
  blockFailureCode_ = failureCode;
  blockFailureTimes_ = failureCode == 0 ? 0 : times;
}

void TSimReader::Deliver(const std::vector<uint8_t>& m) {
  received_.push_back(m);
  if (m.empty()) return;
  if (loader_ && loader_->Handle(m, nowUs_)) {
    QueueLoaderReplies();
    if (loader_->TakeRestartRequest()) restartAfterAnswer_ = true;
    return;
  }
  if (!ApplicationRunning()) return;  // the loader knows no application messages
  if (m[0] == kVersionRequest) {
    ++versionRequests_;
    if (!config_.answerVersionRequest) return;
    // 8 characters a fragment; a short (possibly empty) fragment ends the text.
    const std::string& text = version_;
    for (size_t i = 0, index = 0;; i += kVersionChunk, ++index) {
      const size_t len = std::min(kVersionChunk, text.size() - std::min(i, text.size()));
      std::vector<uint8_t> f{kVersionFragment, static_cast<uint8_t>(index)};
      f.insert(f.end(), text.begin() + static_cast<std::ptrdiff_t>(i),
               text.begin() + static_cast<std::ptrdiff_t>(i + len));
      QueueMessage(std::move(f));
      if (len < kVersionChunk) break;
    }
  } else if (Is(m, {0x03, 0x06, 0x00})) {
    ++feedbackCount_;
  } else if (Is(m, {0x02, 0xFF, 0xFF, 0x00})) {
    signalOn_ = true;
  } else if (Is(m, {0x02, 0xFF, 0x00, 0xFF})) {
    signalOn_ = false;
  } else if (Is(m, {0x18, 0x04, 0xC0, 0x04})) {
    // BlockOpen gets no BlockReply: replies are not matched to requests by the
    // master, so a reply here would be taken for block 4.
    ++blockOpens_;
  } else if (m.size() == 3 && m[0] == 0x18 && m[1] == 0x06) {
    ++blockReads_;
    const uint8_t b = m[2];
    std::vector<uint8_t> reply{kBlockReply, b};
    if (blockFailureCode_ != 0 && blockFailureTimes_ != 0) {
      if (blockFailureTimes_ > 0) --blockFailureTimes_;
      reply.insert(reply.end(), {kBlockFailStatus, blockFailureCode_});
    } else if (blocks_.empty()) {
      reply.insert(reply.end(), {kBlockFailStatus, kNoRecordCode});
    } else if (b < kFirstBlock || b >= kFirstBlock + kBlockCount) {
      reply.insert(reply.end(), {kBlockFailStatus, kBadBlockCode});
    } else {
      reply.push_back(0);
      const size_t at = (b - kFirstBlock) * kBlockSize;
      reply.insert(reply.end(), blocks_.begin() + static_cast<std::ptrdiff_t>(at),
                   blocks_.begin() + static_cast<std::ptrdiff_t>(at + kBlockSize));
    }
    QueueMessage(std::move(reply));
  }
}

// ---------------------------------------------------------------- programs, loader

bool TSimReader::ApplicationRunning() const { return !IsDown() && (!loader_ || loader_->ApplicationRunning()); }

void TSimReader::QueueLoaderReplies() {
  if (!loader_) return;
  for (std::vector<uint8_t>& reply : loader_->TakeDueReplies(nowUs_)) {
    if (!reply.empty() && reply.size() <= kMaxPayload) QueueMessage(std::move(reply));
  }
}

void TSimReader::RefreshVersion() {
  if (!loader_) return;
  if (std::optional<std::string> text = loader_->VersionText()) version_ = std::move(*text);
}

void TSimReader::AddLoaderFault(TSimLoaderFault fault) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (loader_) loader_->AddFault(std::move(fault));
}

void TSimReader::ClearLoaderFaults() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (loader_) loader_->ClearFaults();
}

std::string TSimReader::VersionText() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return version_;
}

std::vector<uint8_t> TSimReader::Flash() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->Flash().Bytes() : std::vector<uint8_t>{};
}

std::optional<TSimBank> TSimReader::RunningBank() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->RunningBank() : std::nullopt;
}

bool TSimReader::LoaderRunning() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ && loader_->LoaderRunning();
}

bool TSimReader::Down() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return IsDown();
}

std::vector<uint32_t> TSimReader::PagesWritten() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->PagesWritten() : std::vector<uint32_t>{};
}

std::vector<int> TSimReader::BlocksErased() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->BlocksErased() : std::vector<int>{};
}

std::vector<std::vector<uint8_t>> TSimReader::LoaderCommands() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->Commands() : std::vector<std::vector<uint8_t>>{};
}

std::vector<uint8_t> TSimReader::LastUnlockCode() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return loader_ ? loader_->LastUnlock() : std::vector<uint8_t>{};
}

// ---------------------------------------------------------------- observers

std::vector<std::vector<uint8_t>> TSimReader::ReceivedMessages() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return received_;
}

size_t TSimReader::ReceivedCount() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return received_.size();
}

void TSimReader::ClearReceived() {
  std::lock_guard<std::mutex> guard(mutex_);
  received_.clear();
  receivedUnnumbered_.clear();
}

std::vector<TSimUnnumbered> TSimReader::ReceivedUnnumbered() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return receivedUnnumbered_;
}

TSimReaderStats TSimReader::Stats() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return stats_;
}

uint8_t TSimReader::Address() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return address_;
}

uint32_t TSimReader::Identity() const { return config_.identity; }

bool TSimReader::Synced() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return synced_;
}

bool TSimReader::LinkUp() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return address_ != 0 && synced_ && !resetRequested_;
}

bool TSimReader::ResetRequestPending() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return resetRequested_;
}

int TSimReader::SendSeq() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return sendSeq_;
}

int TSimReader::RecvSeq() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return recvSeq_;
}

size_t TSimReader::UnackedCount() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return unacked_.size();
}

size_t TSimReader::QueuedCount() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return queue_.size();
}

bool TSimReader::SignalOn() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return signalOn_;
}

int TSimReader::FeedbackCount() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return feedbackCount_;
}

int TSimReader::VersionRequests() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return versionRequests_;
}

int TSimReader::BlockOpens() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return blockOpens_;
}

int TSimReader::BlockReads() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return blockReads_;
}

}  // namespace snimac::sim
