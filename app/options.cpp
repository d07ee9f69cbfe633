#include "app/options.h"

#include <array>
#include <string_view>

#include "app/startup_error.h"
#include "app/texts.h"

namespace snimac {

namespace {

struct TOptionRule {
  std::string_view Name;  // upper case
  bool TakesValue;
  void (*Apply)(TOptions& options, const std::string& value);
};

constexpr std::array<TOptionRule, 10> kOptionRules{{
    {"COM", true, [](TOptions& o, const std::string& v) { o.ComPort = v; }},
    {"DB", true, [](TOptions& o, const std::string& v) { o.DbFileName = v; }},
    {"NET", false, [](TOptions& o, const std::string&) { o.Mode = TMode::Attendance; }},
    {"KEYB", false, [](TOptions& o, const std::string&) { o.Mode = TMode::Grab; }},
    {"SER", true, [](TOptions& o, const std::string& v) { o.SerialWindows.push_back(v); }},
    {"LOG", false, [](TOptions& o, const std::string&) { o.LogEnabled = true; }},
    {"LOGDIR", true, [](TOptions& o, const std::string& v) { o.LogDir = v; }},
    {"PMDP", false, [](TOptions& o, const std::string&) { o.PmdpMode = true; }},
    {"PREFIX", true,
     [](TOptions& o, const std::string& v) { ParsePrefix(v, o.PrefixKey, o.PrefixModifiers); }},
    {"UPGRADE", false, [](TOptions& o, const std::string&) { o.OfferUpgrade = true; }},
}};

// Option names are ASCII; only ASCII letters are folded so that bytes of
// UTF-8 text never compare equal to a name by accident.
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameNameIgnoringCase(std::string_view text, std::string_view upperName) {
  if (text.size() != upperName.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (AsciiUpper(text[i]) != upperName[i]) return false;
  }
  return true;
}

const TOptionRule* FindOption(std::string_view name) {
  for (const TOptionRule& rule : kOptionRules) {
    if (SameNameIgnoringCase(name, rule.Name)) return &rule;
  }
  return nullptr;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void ThrowInvalidArgument(const std::string& arg) {
  throw TStartupError(texts::With(texts::kErrArgument, arg));
}

}  // namespace

void ParsePrefix(const std::string& value, int32_t& key, uint32_t& modifiers) {
  int32_t parsedKey = 0;
  uint32_t parsedModifiers = 0;
  size_t p = 0;
  while (p < value.size() && parsedKey == 0) {
    const char c = value[p];
    if (c == 'A') {
      parsedModifiers |= kModifierAlt;  // a repeated letter still means one key held
      ++p;
    } else if (c == 'C') {
      parsedModifiers |= kModifierCtrl;
      ++p;
    } else if (c == 'S') {
      parsedModifiers |= kModifierShift;
      ++p;
    } else if (c == 'F') {
      ++p;
      int n = 0;
      const size_t digitsStart = p;
      while (p < value.size() && p - digitsStart < 2 && IsDigit(value[p])) {
        n = n * 10 + (value[p] - '0');
        ++p;
      }
      if (n < 1 || n > 24) break;
      parsedKey = 111 + n;  // VK_F1 = 112 .. VK_F24 = 135
    } else if ((c >= 'a' && c <= 'z') || IsDigit(c)) {
      parsedKey = AsciiUpper(c);  // VK codes of letter and digit keys are their upper-case ASCII
      ++p;
    } else {
      break;
    }
  }
  // Exactly one key, and nothing after it.
  if (parsedKey == 0 || p != value.size()) {
    throw TStartupError(texts::With(texts::kErrPrefix, value));
  }
  key = parsedKey;
  modifiers = parsedModifiers;
}

TOptions ParseOptions(const std::vector<std::string>& args, const std::string& defaultDbFileName) {
  TOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.empty() || (arg[0] != '-' && arg[0] != '/')) ThrowInvalidArgument(arg);
    const TOptionRule* rule = FindOption(std::string_view(arg).substr(1));
    if (rule == nullptr) ThrowInvalidArgument(arg);
    std::string value;
    // A value-taking option at the very end gets "".
    if (rule->TakesValue && i + 1 < args.size()) value = args[++i];
    rule->Apply(options, value);
  }
  if (options.DbFileName.empty()) options.DbFileName = defaultDbFileName;
  return options;
}

}  // namespace snimac
