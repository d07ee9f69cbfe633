#include "tools/fault_campaign/card_ledger.h"

namespace snimac::campaign {

namespace {

constexpr size_t kMaxFindings = 20;

const char* OutputName(TOutput o) {
  switch (o) {
    case TOutput::Typed: return "typed";
    case TOutput::Serial: return "serial port";
    case TOutput::Server: return "server";
    case TOutput::File: return "file";
  }
  return "?";
}

}  // namespace

TLedgerCounts& TLedgerCounts::operator+=(const TLedgerCounts& o) {
  presented += o.presented;
  delivered += o.delivered;
  lost += o.lost;
  duplicated += o.duplicated;
  repeatedAfterReset += o.repeatedAfterReset;
  corrupt += o.corrupt;
  outOfOrder += o.outOfOrder;
  droppedByReader += o.droppedByReader;
  return *this;
}

void TCardLedger::Finding(const std::string& line) {
  if (findings_.size() < kMaxFindings) findings_.push_back(line);
}

void TCardLedger::Presented(const std::string& text, const std::string& label) {
  byText_[text] = static_cast<long>(cards_.size());
  cards_.push_back({label});
  ++counts_.presented;
}

void TCardLedger::ReaderPowerLost(size_t held) {
  const size_t from = held >= cards_.size() ? 0 : cards_.size() - held;
  for (size_t i = from; i < cards_.size(); ++i) {
    if (!cards_[i].read) cards_[i].excused = true;
  }
}

void TCardLedger::SequenceReset() {
  ++epoch_;
  newCardSinceReset_ = false;
  repeatsSinceReset_ = 0;
}

TReadKind TCardLedger::Read(const std::string& text, const std::string& outputKey, TOutputSet allowed) {
  const auto found = byText_.find(text);
  const long index = found == byText_.end() ? -1 : found->second;
  readsByKey_[outputKey].push_back(reads_.size());
  reads_.push_back({index, outputKey, allowed});
  if (index < 0) {
    ++counts_.corrupt;
    Finding("read of no card presented: " + text);
    return TReadKind::Unknown;
  }
  TCard& card = cards_[static_cast<size_t>(index)];
  if (!card.read) {
    card.read = true;
    card.lastReadEpoch = epoch_;
    newCardSinceReset_ = true;
    if (index < lastFirstRead_) {
      ++counts_.outOfOrder;
      Finding("read out of order: " + text + " (" + card.label + ")");
    }
    if (index > lastFirstRead_) lastFirstRead_ = index;
    return TReadKind::First;
  }
  const bool afterReset = card.lastReadEpoch < epoch_ && !newCardSinceReset_ && repeatsSinceReset_ < window_;
  card.lastReadEpoch = epoch_;
  if (afterReset) {
    ++repeatsSinceReset_;
    ++counts_.repeatedAfterReset;
    return TReadKind::RepeatedAfterReset;
  }
  ++counts_.duplicated;
  Finding("read twice without a reset: " + text + " (" + card.label + ")");
  return TReadKind::Duplicate;
}

size_t TCardLedger::Unread() const {
  size_t n = 0;
  for (const TCard& card : cards_) n += !card.read && !card.excused ? 1 : 0;
  return n;
}

void TCardLedger::Output(TOutput where, const std::string& key) { outputs_.emplace_back(where, key); }

// Each output takes the earliest read with its key that may go there and
// has no output yet; within one output the reads must come in order.
void TCardLedger::MatchOutputs(TLedgerCounts& counts) {
  std::map<TOutput, size_t> lastRead;
  for (const auto& [where, key] : outputs_) {
    const auto reads = readsByKey_.find(key);
    if (reads == readsByKey_.end()) {
      ++counts.corrupt;
      Finding(std::string("output matching no read, ") + OutputName(where) + ": " + key);
      continue;
    }
    bool matched = false;
    for (const size_t r : reads->second) {
      TRead& read = reads_[r];
      if (read.delivered || (read.allowed & OutputSet(where)) == 0) continue;
      read.delivered = true;
      matched = true;
      const auto last = lastRead.find(where);
      if (last != lastRead.end() && r < last->second) {
        ++counts.outOfOrder;
        Finding(std::string("delivered out of order, ") + OutputName(where) + ": " + key);
      }
      lastRead[where] = r;
      break;
    }
    if (!matched) {
      ++counts.duplicated;
      Finding(std::string("delivered again or to the wrong output, ") + OutputName(where) + ": " + key);
    }
  }
}

TLedgerCounts TCardLedger::Finish() {
  TLedgerCounts counts = counts_;
  MatchOutputs(counts);
  std::vector<bool> delivered(cards_.size(), false);
  for (const TRead& read : reads_) {
    if (read.card < 0) continue;
    if (read.delivered) {
      delivered[static_cast<size_t>(read.card)] = true;
    } else {
      ++counts.lost;
      Finding("read but never delivered: " + read.key + " (" + cards_[static_cast<size_t>(read.card)].label + ")");
    }
  }
  for (size_t i = 0; i < cards_.size(); ++i) {
    if (cards_[i].read) {
      if (delivered[i]) ++counts.delivered;
    } else if (cards_[i].excused) {
      ++counts.droppedByReader;
    } else {
      ++counts.lost;
      Finding("never read: card " + cards_[i].label);
    }
  }
  return counts;
}

}  // namespace snimac::campaign
