#include "sim/sim_loader.h"

#include <algorithm>
#include <utility>

#include "link/crc.h"

namespace snimac::sim {

namespace {

constexpr uint8_t kUnlock = 0x12;
constexpr uint8_t kPageData = 0x13;
constexpr uint8_t kPageWrite = 0x14;
constexpr uint8_t kBlockErase = 0x15;
constexpr uint8_t kInfoQuery = 0x16;
constexpr uint8_t kRestart = 0x19;
constexpr uint8_t kLoaderResult = 0x87;
constexpr uint8_t kInfoReply = 0x88;
constexpr uint8_t kReportedAddress = 0x01;
constexpr uint8_t kBankBase = 0x09;
constexpr size_t kMaxChunk = 8;

bool IsLoaderCommand(uint8_t code) {
  switch (code) {
    case kUnlock:
    case kPageData:
    case kPageWrite:
    case kBlockErase:
    case kInfoQuery:
    case kRestart:
      return true;
    default:
      return false;
  }
}

uint16_t Check(const uint8_t* bytes, size_t count, uint16_t crc = 0xFFFF) { return Crc16Block(crc, bytes, count); }

uint8_t High(uint32_t v) { return static_cast<uint8_t>((v >> 8) & 0xFF); }
uint8_t Low(uint32_t v) { return static_cast<uint8_t>(v & 0xFF); }

}  // namespace

TSimLoader::TSimLoader(const TSimLoaderConfig& config, TSimFlash flash)
    : config_(config), flash_(std::move(flash)), faults_(config.faults), page_(kPageSize, 0xFF) {}

TSimLoader::TIdentityMatch TSimLoader::MatchPlain(uint32_t identity, uint32_t own) {
  return identity == kAnyIdentity || identity == own ? TIdentityMatch::Accepted : TIdentityMatch::Refused;
}

void TSimLoader::PowerOn() {
  std::fill(page_.begin(), page_.end(), 0xFF);
  armed_ = false;
  restartRequested_ = false;
  busyUntilUs_ = 0;
  pending_.clear();
}

bool TSimLoader::TakeRestartRequest() { return std::exchange(restartRequested_, false); }

bool TSimLoader::Handle(const std::vector<uint8_t>& m, int64_t nowUs) {
  if (m.empty() || !IsLoaderCommand(m[0])) return false;
  commands_.push_back(m);
  if (m[0] == kInfoQuery) {
    InfoQuery(m, nowUs);
    return true;
  }
  if (!TakesLoaderCommands()) return true;
  switch (m[0]) {
    case kUnlock: Unlock(m); break;
    case kPageData: PageData(m); break;
    case kBlockErase: BlockErase(m, nowUs); break;
    case kPageWrite: PageWrite(m, nowUs); break;
    case kRestart:
      if (m.size() == 1 && RestartsOnCommand()) restartRequested_ = true;
      break;
    default: break;
  }
  return true;
}

std::vector<std::vector<uint8_t>> TSimLoader::TakeDueReplies(int64_t nowUs) {
  std::vector<std::vector<uint8_t>> due;
  while (!pending_.empty() && pending_.front().readyUs <= nowUs) {
    due.push_back(std::move(pending_.front().reply));
    pending_.pop_front();
  }
  return due;
}

void TSimLoader::InfoQuery(const std::vector<uint8_t>& m, int64_t nowUs) {
  if (m.size() != 2) return;
  const uint8_t selector = m[1];
  if (const std::optional<TSimLoaderFault> fault = HitBy(TSimLoaderOp::InfoQuery, selector)) {
    if (fault->action == TSimLoaderFault::TAction::Reply) Schedule(fault->reply, nowUs, 0);
    return;
  }
  std::vector<uint8_t> reply{kInfoReply, selector};
  if (selector == kBankBase) {
    const std::vector<uint8_t> value = BankInfo();
    reply.insert(reply.end(), value.begin(), value.end());
  } else if (selector == kReportedAddress) {
    const uint32_t a = config_.reportedAddress.value_or(DefaultReportedAddress());
    reply.insert(reply.end(), {static_cast<uint8_t>(a >> 24), static_cast<uint8_t>(a >> 16), High(a), Low(a)});
  } else {
    return;  // a selector this loader does not know
  }
  Schedule(std::move(reply), nowUs, 0);
}

void TSimLoader::Unlock(const std::vector<uint8_t>& m) {
  lastUnlock_.assign(m.begin() + 1, m.end());
  armed_ = m.size() == 3 && m[1] == config_.unlockCode[0] && m[2] == config_.unlockCode[1];
}

void TSimLoader::PageData(const std::vector<uint8_t>& m) {
  if (m.size() < 2) return;
  const size_t offset = m[1];
  const size_t count = m.size() - 2;
  if (count > kMaxChunk || offset + count > kPageSize) return;
  std::copy(m.begin() + 2, m.end(), page_.begin() + static_cast<std::ptrdiff_t>(offset));
}

void TSimLoader::BlockErase(const std::vector<uint8_t>& m, int64_t nowUs) {
  if (m.size() != 4) return;
  const uint8_t block = m[3];
  const bool armed = TakeArming();
  std::vector<uint8_t> result{kLoaderResult, 0x00, block};
  if (const std::optional<TSimLoaderFault> fault = HitBy(TSimLoaderOp::Erase, block)) {
    Faulted(*fault, std::move(result), nowUs, config_.eraseUs);
    return;
  }
  const uint16_t check = static_cast<uint16_t>((m[1] << 8) | m[2]);
  const uint8_t code = armed && check == Check(&block, 1) ? Erase(block) : kRefused;
  if (code == kDone) blocksErased_.push_back(block);
  result.push_back(code);
  Schedule(std::move(result), nowUs, code == kDone ? config_.eraseUs : 0);
}

void TSimLoader::PageWrite(const std::vector<uint8_t>& m, int64_t nowUs) {
  if (m.size() != 5) return;
  const uint32_t address = (uint32_t{m[3]} << 8) | m[4];
  const bool armed = TakeArming();
  std::vector<uint8_t> result{kLoaderResult, m[3], m[4]};
  if (const std::optional<TSimLoaderFault> fault = HitBy(TSimLoaderOp::PageWrite, address)) {
    Faulted(*fault, std::move(result), nowUs, config_.pageWriteUs);
    return;
  }
  const uint16_t check = static_cast<uint16_t>((m[1] << 8) | m[2]);
  uint8_t code = kRefused;
  if (armed) {
    code = check == Check(page_.data(), page_.size(), Check(&m[3], 2)) ? WritePage(address, page_.data())
                                                                        : kBadPageCheck;
  }
  if (code == kDone) pagesWritten_.push_back(address);
  result.push_back(code);
  Schedule(std::move(result), nowUs, code == kDone ? config_.pageWriteUs : 0);
}

bool TSimLoader::TakeArming() { return std::exchange(armed_, false); }

std::optional<TSimLoaderFault> TSimLoader::HitBy(TSimLoaderOp op, uint32_t target) {
  for (TSimLoaderFault& f : faults_) {
    if (f.op != op || f.times == 0 || (f.target != TSimLoaderFault::kAnyTarget && f.target != target)) continue;
    if (f.times > 0) --f.times;
    return f;
  }
  return std::nullopt;
}

void TSimLoader::Schedule(std::vector<uint8_t> reply, int64_t nowUs, int64_t durationUs) {
  const int64_t readyUs = std::max(nowUs, busyUntilUs_) + std::max<int64_t>(durationUs, 0);
  busyUntilUs_ = readyUs;
  pending_.push_back({readyUs, std::move(reply)});
}

void TSimLoader::Faulted(const TSimLoaderFault& fault, std::vector<uint8_t> result, int64_t nowUs,
                         int64_t durationUs) {
  switch (fault.action) {
    case TSimLoaderFault::TAction::Result:
      result.push_back(fault.result);
      Schedule(std::move(result), nowUs, durationUs);
      break;
    case TSimLoaderFault::TAction::Reply:
      Schedule(fault.reply, nowUs, durationUs);
      break;
    case TSimLoaderFault::TAction::Silence:
      break;
  }
}

}  // namespace snimac::sim
