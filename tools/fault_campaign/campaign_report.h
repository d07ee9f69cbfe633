// What the campaign prints: a line per run (with its findings and the
// command that replays it when it failed) and the summary of all runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/fault_campaign/campaign_options.h"
#include "tools/fault_campaign/campaign_run.h"

namespace snimac::campaign {

std::string ReplayCommand(const TRunSettings& settings);

class TCampaignReport {
 public:
  explicit TCampaignReport(const TCampaignOptions& options) : options_(options) {}
  void Start();
  void Add(const TRunSettings& settings, const TRunResult& result);
  // Prints the summary; true when every run was clean.
  bool Finish(double realSeconds);

 private:
  TCampaignOptions options_;
  uint64_t runs_ = 0;
  TLedgerCounts counts_;
  TFaultTally faults_;
  int64_t simulatedUs_ = 0;
  int64_t maxLatencyMs_ = 0;
  uint64_t stalls_ = 0;
  uint64_t crashes_ = 0;
  uint64_t boxes_ = 0;
  std::vector<std::string> failedSeeds_;
};

}  // namespace snimac::campaign
