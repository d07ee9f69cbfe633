// One run of the fault campaign: the whole program (main window, link,
// simulated reader, card outputs) on a virtual clock for a number of
// simulated hours, with random cards and the faults of TFaultSchedule, then
// a quiet drain and the normal teardown, and the account of every card.
// Everything is drawn from the seed: the same seed and mode give the same run.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/fault_campaign/card_ledger.h"

namespace snimac::campaign {

enum class TCampaignMode { Grab, Attendance };
const char* ModeName(TCampaignMode mode);

struct TRunSettings {
  uint32_t seed = 1;
  TCampaignMode mode = TCampaignMode::Grab;
  double hours = 1;
};

struct TFaultTally {
  uint64_t bytesLost = 0;
  uint64_t bytesFlipped = 0;
  uint64_t bytesDuplicated = 0;
  uint64_t noiseEpisodes = 0;
  uint64_t silences = 0;
  uint64_t unplugs = 0;
  uint64_t serverEpisodes = 0;
  uint64_t diskFullEpisodes = 0;
  uint64_t shortWrites = 0;      // file writes the full disk cut short
  uint64_t refusedWrites = 0;    // file writes the full disk refused
  uint64_t unconfirmedLines = 0; // server lines heard but not confirmed
  uint64_t linkResets = 0;       // sequence resets the reader took

  TFaultTally& operator+=(const TFaultTally& o);
};

struct TRunResult {
  TLedgerCounts counts;
  TFaultTally faults;
  int64_t simulatedUs = 0;
  int64_t maxLatencyMs = 0;   // card presented -> read, the longest
  uint64_t stalls = 0;        // the link did not come back, or time stood still
  uint64_t crashes = 0;       // an exception out of the program
  std::vector<std::string> boxes;
  std::vector<std::string> findings;

  bool Clean() const { return counts.Clean() && stalls == 0 && crashes == 0; }
};

// `progress` is bumped at every step, for a watchdog in another thread.
TRunResult RunCampaign(const TRunSettings& settings, std::atomic<uint64_t>& progress);

}  // namespace snimac::campaign
