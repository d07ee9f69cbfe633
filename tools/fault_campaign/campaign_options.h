// The command line of snimac-fault-campaign.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/fault_campaign/campaign_run.h"

namespace snimac::campaign {

struct TCampaignOptions {
  uint32_t firstSeed = 1;
  uint32_t runs = 10;  // seeds firstSeed .. firstSeed + runs - 1, each in every mode
  double hours = 1;    // simulated hours per run
  std::vector<TCampaignMode> modes = {TCampaignMode::Grab, TCampaignMode::Attendance};
  int hangSeconds = 120;  // real seconds without a step: the program hangs
  bool quiet = false;     // no line per run, only failures and the summary
};

extern const char* const kUsage;

// The options, or nothing with `error` set (an empty error: help asked for).
std::optional<TCampaignOptions> ParseCampaignOptions(const std::vector<std::string>& args, std::string& error);

}  // namespace snimac::campaign
