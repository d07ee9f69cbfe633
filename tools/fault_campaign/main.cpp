// snimac-fault-campaign: runs the whole program (main window, link,
// simulated reader, attendance server and file) on a virtual clock over many
// seeds and simulated hours, with random cards and random faults, and checks
// that every card is delivered exactly once, intact and in order, and that
// nothing hangs or crashes. Usage: see kUsage (campaign_options.cpp).
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/fault_campaign/campaign_options.h"
#include "tools/fault_campaign/campaign_report.h"
#include "tools/fault_campaign/campaign_run.h"
#include "tools/fault_campaign/hang_watchdog.h"

int main(int argc, char** argv) {
  using namespace snimac::campaign;
  std::string error;
  const auto options = ParseCampaignOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    if (!error.empty()) std::fprintf(stderr, "snimac-fault-campaign: %s\n", error.c_str());
    std::fputs(kUsage, error.empty() ? stdout : stderr);
    return error.empty() ? 0 : 2;
  }
  std::atomic<uint64_t> progress{0};
  THangWatchdog watchdog(progress, options->hangSeconds);
  TCampaignReport report(*options);
  report.Start();
  const auto started = std::chrono::steady_clock::now();
  for (uint32_t i = 0; i < options->runs; ++i) {
    for (const TCampaignMode mode : options->modes) {
      const TRunSettings settings{options->firstSeed + i, mode, options->hours};
      watchdog.Running(ReplayCommand(settings));
      report.Add(settings, RunCampaign(settings, progress));
    }
  }
  const double realSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return report.Finish(realSeconds) ? 0 : 1;
}
