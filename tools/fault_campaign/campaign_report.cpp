#include "tools/fault_campaign/campaign_report.h"

#include <cinttypes>
#include <cstdio>

namespace snimac::campaign {

namespace {

std::string Hours(double hours) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", hours);
  return text;
}

}  // namespace

std::string ReplayCommand(const TRunSettings& s) {
  return "snimac-fault-campaign --seed " + std::to_string(s.seed) + " --runs 1 --hours " + Hours(s.hours) +
         " --modes " + ModeName(s.mode);
}

void TCampaignReport::Start() {
  std::string modes;
  for (const TCampaignMode m : options_.modes) modes += std::string(modes.empty() ? "" : ",") + ModeName(m);
  std::printf("snimac-fault-campaign: seeds %" PRIu32 "..%" PRIu32 ", modes %s, %s simulated h per run\n",
              options_.firstSeed, options_.firstSeed + options_.runs - 1, modes.c_str(), Hours(options_.hours).c_str());
  std::fflush(stdout);
}

void TCampaignReport::Add(const TRunSettings& settings, const TRunResult& r) {
  ++runs_;
  counts_ += r.counts;
  faults_ += r.faults;
  simulatedUs_ += r.simulatedUs;
  if (r.maxLatencyMs > maxLatencyMs_) maxLatencyMs_ = r.maxLatencyMs;
  stalls_ += r.stalls;
  crashes_ += r.crashes;
  boxes_ += r.boxes.size();
  const bool clean = r.Clean();
  if (clean && options_.quiet) return;
  const TLedgerCounts& c = r.counts;
  std::printf("%s seed %" PRIu32 " %-10s %5" PRIu64 " cards  lost %" PRIu64 "  dup %" PRIu64 "  repeated %" PRIu64
              "  corrupt %" PRIu64 "  order %" PRIu64 "  dropped-by-reader %" PRIu64 "  resets %" PRIu64
              "  max latency %.1f s\n",
              clean ? "ok  " : "FAIL", settings.seed, ModeName(settings.mode), c.presented, c.lost, c.duplicated,
              c.repeatedAfterReset, c.corrupt, c.outOfOrder, c.droppedByReader, r.faults.linkResets,
              static_cast<double>(r.maxLatencyMs) / 1000.0);
  for (const std::string& box : r.boxes) std::printf("     box: %s\n", box.c_str());
  if (!clean) {
    for (const std::string& f : r.findings) std::printf("     %s\n", f.c_str());
    std::printf("     replay: %s\n", ReplayCommand(settings).c_str());
    failedSeeds_.push_back(std::to_string(settings.seed) + "/" + ModeName(settings.mode));
  }
  std::fflush(stdout);
}

bool TCampaignReport::Finish(double realSeconds) {
  const double simulatedSeconds = static_cast<double>(simulatedUs_) / 1e6;
  const TLedgerCounts& c = counts_;
  const TFaultTally& f = faults_;
  std::printf("\n");
  std::printf("runs                  %" PRIu64 "\n", runs_);
  std::printf("simulated time        %.1f h\n", simulatedSeconds / 3600.0);
  std::printf("real time             %.1f s\n", realSeconds);
  std::printf("simulated/real        %.0f x\n", realSeconds > 0 ? simulatedSeconds / realSeconds : 0.0);
  std::printf("cards presented       %" PRIu64 "\n", c.presented);
  std::printf("delivered once        %" PRIu64 "\n", c.delivered);
  std::printf("lost                  %" PRIu64 "\n", c.lost);
  std::printf("duplicated            %" PRIu64 "\n", c.duplicated);
  std::printf("repeated after reset  %" PRIu64 "\n", c.repeatedAfterReset);
  std::printf("corrupt               %" PRIu64 "\n", c.corrupt);
  std::printf("out of order          %" PRIu64 "\n", c.outOfOrder);
  std::printf("dropped by the reader %" PRIu64 "  (held by a reader that lost power, never sent)\n", c.droppedByReader);
  std::printf("stalls / hangs        %" PRIu64 "\n", stalls_);
  std::printf("crashes               %" PRIu64 "\n", crashes_);
  std::printf("message boxes         %" PRIu64 "\n", boxes_);
  std::printf("longest card latency  %.1f s\n", static_cast<double>(maxLatencyMs_) / 1000.0);
  std::printf("faults: bytes lost %" PRIu64 ", flipped %" PRIu64 ", duplicated %" PRIu64 " in %" PRIu64
              " noisy spells; %" PRIu64 " silences; %" PRIu64 " unplugs; %" PRIu64 " link resets;\n",
              f.bytesLost, f.bytesFlipped, f.bytesDuplicated, f.noiseEpisodes, f.silences, f.unplugs, f.linkResets);
  std::printf("        %" PRIu64 " server spells (%" PRIu64 " lines unconfirmed); %" PRIu64 " full-disk spells (%" PRIu64
              " short and %" PRIu64 " refused writes)\n",
              f.serverEpisodes, f.unconfirmedLines, f.diskFullEpisodes, f.shortWrites, f.refusedWrites);
  const bool clean = c.Clean() && stalls_ == 0 && crashes_ == 0;
  if (clean) {
    std::printf("result: PASS\n");
  } else {
    std::string seeds;
    for (const std::string& s : failedSeeds_) seeds += " " + s;
    std::printf("result: FAIL (seed/mode:%s)\n", seeds.c_str());
  }
  std::fflush(stdout);
  return clean;
}

}  // namespace snimac::campaign
