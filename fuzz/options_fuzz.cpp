// The command line: any arguments (the input split at NUL bytes) either parse
// into settings that hold together or are refused with the user's message.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/startup_error.h"
#include "fuzz/fuzz_check.h"

namespace snimac::fuzz {
namespace {

const std::string kDefaultDb = "default.db";
constexpr uint32_t kAllModifiers = kModifierAlt | kModifierShift | kModifierCtrl;

bool StartsWith(const std::string& text, const std::string& head) { return text.compare(0, head.size(), head) == 0; }

void CheckPrefix(const std::string& value) {
  int32_t key = -7;
  uint32_t modifiers = 0xFFFF;
  try {
    ParsePrefix(value, key, modifiers);
  } catch (const TStartupError& e) {
    FUZZ_CHECK(StartsWith(e.what(), "Neplatný prefix '"));
    FUZZ_CHECK(key == -7 && modifiers == 0xFFFF);  // written only on success
    return;
  }
  const bool function = key >= 112 && key <= 135;  // F1..F24
  const bool letterOrDigit = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
  FUZZ_CHECK((function || letterOrDigit) && (modifiers & ~kAllModifiers) == 0);
}

}  // namespace
}  // namespace snimac::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace snimac;
  using namespace snimac::fuzz;
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  for (const std::string& arg : args) CheckPrefix(arg);
  try {
    const TOptions options = ParseOptions(args, kDefaultDb);
    FUZZ_CHECK(!options.DbFileName.empty());
    FUZZ_CHECK(options.Mode == TMode::Grab || options.Mode == TMode::Attendance);
    FUZZ_CHECK((options.PrefixModifiers & ~kAllModifiers) == 0);
    FUZZ_CHECK(options.PrefixKey >= 0);
    // Each -ser takes the next argument; the last one takes an empty title.
    FUZZ_CHECK(options.SerialWindows.size() <= args.size());
  } catch (const TStartupError& e) {
    const std::string message = e.what();
    FUZZ_CHECK(StartsWith(message, "Neplatný argument '") || StartsWith(message, "Neplatný prefix '"));
    FUZZ_CHECK(message.back() == '\'');
  }
  return 0;
}
