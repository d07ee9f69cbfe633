#include "sim/sim_reader_application.h"

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <utility>

namespace snimac::sim {

namespace {

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

}  // namespace

TSimReaderApplication::TSimReaderApplication(bool answerVersionRequest)
    : answerVersionRequest_(answerVersionRequest) {}

std::vector<TSimReaderApplication::TMessage> TSimReaderApplication::Handle(const TMessage& m,
                                                                           const std::string& version) {
  if (m.empty()) return {};
  if (m[0] == kVersionRequest) {
    ++versionRequests_;
    if (!answerVersionRequest_) return {};
    return VersionFragments(version);
  }
  if (Is(m, {0x03, 0x06, 0x00})) {
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
    return {BlockReply(m[2])};
  }
  return {};
}

std::vector<TSimReaderApplication::TMessage> TSimReaderApplication::VersionFragments(const std::string& text) const {
  // 8 characters a fragment; a short (possibly empty) fragment ends the text.
  std::vector<TMessage> fragments;
  for (size_t i = 0, index = 0;; i += kVersionChunk, ++index) {
    const size_t len = std::min(kVersionChunk, text.size() - std::min(i, text.size()));
    TMessage f{kVersionFragment, static_cast<uint8_t>(index)};
    f.insert(f.end(), text.begin() + static_cast<std::ptrdiff_t>(i),
             text.begin() + static_cast<std::ptrdiff_t>(i + len));
    fragments.push_back(std::move(f));
    if (len < kVersionChunk) break;
  }
  return fragments;
}

TSimReaderApplication::TMessage TSimReaderApplication::BlockReply(uint8_t block) {
  TMessage reply{kBlockReply, block};
  if (blockFailureCode_ != 0 && blockFailureTimes_ != 0) {
    if (blockFailureTimes_ > 0) --blockFailureTimes_;
    reply.insert(reply.end(), {kBlockFailStatus, blockFailureCode_});
  } else if (blocks_.empty()) {
    reply.insert(reply.end(), {kBlockFailStatus, kNoRecordCode});
  } else if (block < kFirstBlock || block >= kFirstBlock + kBlockCount) {
    reply.insert(reply.end(), {kBlockFailStatus, kBadBlockCode});
  } else {
    reply.push_back(0);
    const size_t at = (block - kFirstBlock) * kBlockSize;
    reply.insert(reply.end(), blocks_.begin() + static_cast<std::ptrdiff_t>(at),
                 blocks_.begin() + static_cast<std::ptrdiff_t>(at + kBlockSize));
  }
  return reply;
}

TSimReaderApplication::TMessage TSimReaderApplication::CardEvent(uint8_t flags, const std::vector<uint8_t>& cardBytes) {
  TMessage m{kCardEvent, flags};
  m.insert(m.end(), cardBytes.begin(), cardBytes.end());
  return m;
}

void TSimReaderApplication::SetCardBlocks(std::vector<uint8_t> blocks) {
  blocks.resize(kBlockSize * kBlockCount, 0);
  blocks_ = std::move(blocks);
}

void TSimReaderApplication::SetBlockFailure(uint8_t failureCode, int times) {
  blockFailureCode_ = failureCode;
  blockFailureTimes_ = failureCode == 0 ? 0 : times;
}

}  // namespace snimac::sim
