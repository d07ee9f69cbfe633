#include "sim/sim_reader_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace snimac::sim {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (;;) {
    const size_t at = text.find(separator, from);
    parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

[[noreturn]] void Bad(const std::string& name, const std::string& value, const std::string& expected) {
  throw std::invalid_argument(name + "='" + value + "': expected " + expected);
}

// The whole text as a number in `base`; "0x" is allowed before hex digits.
bool ParseNumber(std::string_view text, int base, uint64_t* value) {
  if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value, base);
  return error == std::errc() && end == text.data() + text.size();
}

uint64_t Number(const std::string& name, const std::string& text, int base, uint64_t max) {
  uint64_t value = 0;
  if (!ParseNumber(text, base, &value) || value > max) {
    Bad(name, text, base == 16 ? "a hex number" : "a decimal number");
  }
  return value;
}

int64_t Milliseconds(const std::string& name, const std::string& text) {
  return static_cast<int64_t>(Number(name, text, 10, 86400000)) * 1000;
}

TSimLoaderFault Fault(const std::string& name, const std::string& text) {
  const std::string expected = "OP:TARGET:ACTION[:TIMES], OP info|erase|write, ACTION silent or a hex result";
  const std::vector<std::string> f = Split(Lower(text), ':');
  if (f.size() != 3 && f.size() != 4) Bad(name, text, expected);
  TSimLoaderOp op = TSimLoaderOp::PageWrite;
  if (f[0] == "info") {
    op = TSimLoaderOp::InfoQuery;
  } else if (f[0] == "erase") {
    op = TSimLoaderOp::Erase;
  } else if (f[0] != "write") {
    Bad(name, text, expected);
  }
  const uint32_t target =
      f[1] == "any" ? TSimLoaderFault::kAnyTarget : static_cast<uint32_t>(Number(name, f[1], 16, 0xFFFF));
  int times = 1;
  if (f.size() == 4) times = f[3] == "all" ? -1 : static_cast<int>(Number(name, f[3], 10, 1000000));
  if (f[2] == "silent") return TSimLoaderFault::Silence(op, target, times);
  return TSimLoaderFault::Result(op, target, static_cast<uint8_t>(Number(name, f[2], 16, 0xFF)), times);
}

}  // namespace

TSimReaderConfig SimReaderConfigFromSettings(const std::function<std::string(const std::string& name)>& get,
                                             TSimReaderConfig config) {
  TSimLoaderConfig& loader = config.loader;
  // Runs `apply(name, value)` for a setting that is set.
  auto setting = [&get](const std::string& name, auto apply) {
    const std::string value = get(name);
    if (!value.empty()) apply(name, value);
  };
  setting("SNIMAC_SIM_FAMILY", [&](const std::string& name, const std::string& v) {
    const std::string family = Lower(v);
    if (family == "none") {
      loader.family = TSimReaderFamily::None;
    } else if (family == "h8") {
      loader.family = TSimReaderFamily::H8;
    } else if (family == "avr") {
      loader.family = TSimReaderFamily::Avr;
    } else {
      Bad(name, v, "none, h8 or avr");
    }
  });
  setting("SNIMAC_SIM_VERSION", [&](const std::string&, const std::string& v) { config.version = v; });
  setting("SNIMAC_SIM_BANK", [&](const std::string& name, const std::string& v) {
    const std::string bank = Lower(v);
    if (bank != "low" && bank != "high") Bad(name, v, "low or high");
    loader.runningBank = bank == "low" ? TSimBank::Low : TSimBank::High;
  });
  setting("SNIMAC_SIM_REPORTED_ADDRESS", [&](const std::string& name, const std::string& v) {
    loader.reportedAddress = static_cast<uint32_t>(Number(name, v, 16, 0xFFFFFFFF));
  });
  setting("SNIMAC_SIM_UNLOCK", [&](const std::string& name, const std::string& v) {
    std::string_view digits = v;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.remove_prefix(2);
    if (digits.size() != 4) Bad(name, v, "4 hex digits");
    const uint64_t code = Number(name, v, 16, 0xFFFF);
    loader.unlockCode = {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code & 0xFF)};
  });
  setting("SNIMAC_SIM_ERASE_MS",
          [&](const std::string& name, const std::string& v) { loader.eraseUs = Milliseconds(name, v); });
  setting("SNIMAC_SIM_WRITE_MS",
          [&](const std::string& name, const std::string& v) { loader.pageWriteUs = Milliseconds(name, v); });
  setting("SNIMAC_SIM_RESTART_MS",
          [&](const std::string& name, const std::string& v) { loader.restartUs = Milliseconds(name, v); });
  setting("SNIMAC_SIM_HANG", [&](const std::string& name, const std::string& v) {
    for (const std::string& what : Split(Lower(v), ',')) {
      if (what == "restart") {
        loader.staysDownAfterRestart = true;
      } else if (what == "loader") {
        loader.loaderNeverAnswers = true;
      } else if (what == "application") {
        loader.applicationNeverAnswersAgain = true;
      } else {
        Bad(name, v, "a list of restart, loader, application");
      }
    }
  });
  setting("SNIMAC_SIM_LOADER_FAULTS", [&](const std::string& name, const std::string& v) {
    for (const std::string& fault : Split(v, ',')) loader.faults.push_back(Fault(name, fault));
  });
  return config;
}

}  // namespace snimac::sim
