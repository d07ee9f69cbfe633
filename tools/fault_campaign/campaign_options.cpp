#include "tools/fault_campaign/campaign_options.h"

#include <cstdlib>

namespace snimac::campaign {

const char* const kUsage =
    "usage: snimac-fault-campaign [--seed N] [--runs N] [--hours H] [--modes grab,attendance]\n"
    "                            [--hang-seconds S] [--quiet]\n"
    "  --seed N          first seed (default 1); the runs use seeds N, N+1, ...\n"
    "  --runs N          number of seeds (default 10); each seed runs once in every mode\n"
    "  --hours H         simulated hours per run (default 1; fractions allowed)\n"
    "  --modes LIST      grab (typed and serial port), attendance (server and file), or both\n"
    "  --hang-seconds S  real seconds without progress that count as a hang (default 120)\n"
    "  --quiet           print only failing runs and the summary\n"
    "Exit status: 0 when no card was lost, corrupted, duplicated or out of order and\n"
    "nothing hung or crashed; 1 otherwise; 2 for a bad command line.\n";

namespace {

bool ParseNumber(const std::string& text, double& out) {
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size();
}

bool ParseModes(const std::string& text, std::vector<TCampaignMode>& out) {
  out.clear();
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const std::string name = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (name == "grab") {
      out.push_back(TCampaignMode::Grab);
    } else if (name == "attendance") {
      out.push_back(TCampaignMode::Attendance);
    } else {
      return false;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return !out.empty();
}

}  // namespace

std::optional<TCampaignOptions> ParseCampaignOptions(const std::vector<std::string>& args, std::string& error) {
  TCampaignOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--help" || name == "-h") {
      error.clear();
      return std::nullopt;
    }
    if (name == "--quiet") {
      o.quiet = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = name.rfind("--", 0) == 0 ? "missing value after " + name : "unknown option " + name;
      return std::nullopt;
    }
    const std::string& value = args[++i];
    double number = 0;
    const bool numeric = ParseNumber(value, number);
    if (name == "--seed" && numeric && number >= 0 && number <= 4294967295.0 && number == static_cast<uint32_t>(number)) {
      o.firstSeed = static_cast<uint32_t>(number);
    } else if (name == "--runs" && numeric && number >= 1 && number <= 1e6 && number == static_cast<uint32_t>(number)) {
      o.runs = static_cast<uint32_t>(number);
    } else if (name == "--hours" && numeric && number > 0 && number <= 1e5) {
      o.hours = number;
    } else if (name == "--hang-seconds" && numeric && number >= 1 && number <= 86400) {
      o.hangSeconds = static_cast<int>(number);
    } else if (name == "--modes" && ParseModes(value, o.modes)) {
      continue;
    } else {
      error = "bad option " + name + " " + value;
      return std::nullopt;
    }
  }
  return o;
}

}  // namespace snimac::campaign
