// The simulated reader's card application: what it answers to the master's
// application messages, and the messages it sends of its own accord (cards).
// Pure logic on messages: a message in, the replies out, in order; the reader
// queues them on its link. No lock: the reader calls it under its own.
//
// Messages from the master:
//   0A               VersionRequest: the version text in 8-character
//                    fragments 85 index text...; a short (possibly empty)
//                    fragment ends it
//   03 06 00         ReadFeedback (counted)
//   02 FF FF 00      signal on; 02 FF 00 FF signal off
//   18 04 C0 04      BlockOpen (counted; no reply)
//   18 06 b          BlockRead: 8A b 00 and the 16 bytes of block b (4..6),
//                    or 8A b 01 code: 3 without a card record, 1 for another
//                    block, or the failure code set by SetBlockFailure
// Messages to the master:
//   83 flags card... CardEvent
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace snimac::sim {

class TSimReaderApplication {
 public:
  using TMessage = std::vector<uint8_t>;

  explicit TSimReaderApplication(bool answerVersionRequest);

  // A message from the master; `version` is the text of the running program.
  // The replies, in order (none for messages it does not know).
  std::vector<TMessage> Handle(const TMessage& m, const std::string& version);
  // The CardEvent for a card: 83, flags, the card bytes.
  static TMessage CardEvent(uint8_t flags, const std::vector<uint8_t>& cardBytes);
  // The application starts afresh: the signal is off. The card record, block
  // failures and counters stay.
  void Restart() { signalOn_ = false; }

  // The data blocks 4, 5 and 6 of the presented card, 16 bytes each (shorter
  // is padded with zeros, longer is cut).
  void SetCardBlocks(std::vector<uint8_t> blocks);
  void ClearCardBlocks() { blocks_.clear(); }
  // The next `times` BlockReads (-1: all until cleared) fail with this code;
  // code 0 clears.
  void SetBlockFailure(uint8_t failureCode, int times);

  bool SignalOn() const { return signalOn_; }
  int FeedbackCount() const { return feedbackCount_; }
  int VersionRequests() const { return versionRequests_; }
  int BlockOpens() const { return blockOpens_; }
  int BlockReads() const { return blockReads_; }

 private:
  std::vector<TMessage> VersionFragments(const std::string& text) const;
  TMessage BlockReply(uint8_t block);

  const bool answerVersionRequest_;
  std::vector<uint8_t> blocks_;  // 48 bytes or empty
  uint8_t blockFailureCode_ = 0;
  int blockFailureTimes_ = 0;
  bool signalOn_ = false;
  int feedbackCount_ = 0;
  int versionRequests_ = 0;
  int blockOpens_ = 0;
  int blockReads_ = 0;
};

}  // namespace snimac::sim
