// The campaign's account of every card: presented to the reader, read by
// the program (a grid row), and delivered to an output (typed, serial port,
// attendance server, attendance file). At the end it tells what was lost,
// duplicated, corrupted or out of order.
//
// A reader whose link is reset sends its unacknowledged messages again, so
// a card whose acknowledgement was lost before the reset is read twice; such
// a repeat is legitimate and counted on its own. It is recognised by when it
// comes: after a sequence reset that followed the card's last read, before
// any new card, and at most a reader's window of them per reset. Any other
// second read is a true duplicate.
//
// A reader that loses power (unplugged and plugged again) loses the
// messages it still held: the newest `held` of them. Cards among those that
// were never read are excused (dropped by the reader), not lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace snimac::campaign {

enum class TOutput { Typed = 1, Serial = 2, Server = 4, File = 8 };
using TOutputSet = unsigned;
constexpr TOutputSet OutputSet(TOutput o) { return static_cast<TOutputSet>(o); }
constexpr TOutputSet kAttendanceOutputs = OutputSet(TOutput::Server) | OutputSet(TOutput::File);

enum class TReadKind { First, RepeatedAfterReset, Duplicate, Unknown };

struct TLedgerCounts {
  uint64_t presented = 0;
  uint64_t delivered = 0;           // read and delivered once, intact
  uint64_t lost = 0;                // never read, or read and never delivered
  uint64_t duplicated = 0;          // read again without a reset, or delivered twice
  uint64_t repeatedAfterReset = 0;  // read again after a link reset (legitimate)
  uint64_t corrupt = 0;             // a read or an output that matches no card
  uint64_t outOfOrder = 0;          // read or delivered before an earlier card
  uint64_t droppedByReader = 0;     // held by the reader when it lost power, never read

  TLedgerCounts& operator+=(const TLedgerCounts& o);
  bool Clean() const { return lost == 0 && duplicated == 0 && corrupt == 0 && outOfOrder == 0; }
};

class TCardLedger {
 public:
  explicit TCardLedger(size_t readerWindow = 4) : window_(readerWindow) {}

  // A card presented to the reader; `text` is the card number as the program
  // must read it, `label` says when (for findings).
  void Presented(const std::string& text, const std::string& label);
  // The reader lost power holding its newest `held` messages.
  void ReaderPowerLost(size_t held);
  // The reader's link sequence was reset.
  void SequenceReset();
  // A read of the program with its text, the key its output must carry
  // (the card text, or the attendance record "<time> <text>") and the
  // outputs it may go to.
  TReadKind Read(const std::string& text, const std::string& outputKey, TOutputSet allowed);
  // Something an output received: the key of one record.
  void Output(TOutput where, const std::string& key);

  // Cards presented, neither read nor excused yet.
  size_t Unread() const;

  TLedgerCounts Finish();
  // What went wrong, one line each (the first few of each run).
  const std::vector<std::string>& Findings() const { return findings_; }

 private:
  struct TCard {
    std::string label;
    bool read = false;
    bool excused = false;
    uint64_t lastReadEpoch = 0;
  };
  struct TRead {
    long card;  // -1: matches no card
    std::string key;
    TOutputSet allowed;
    bool delivered = false;
  };
  void Finding(const std::string& line);
  void MatchOutputs(TLedgerCounts& counts);

  size_t window_;
  std::vector<TCard> cards_;
  std::map<std::string, long> byText_;
  std::vector<TRead> reads_;
  std::map<std::string, std::vector<size_t>> readsByKey_;
  std::vector<std::pair<TOutput, std::string>> outputs_;
  TLedgerCounts counts_;
  long lastFirstRead_ = -1;
  uint64_t epoch_ = 0;
  bool newCardSinceReset_ = false;
  size_t repeatsSinceReset_ = 0;
  std::vector<std::string> findings_;
};

}  // namespace snimac::campaign
