#include "app/options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/startup_error.h"

namespace snimac {
namespace {

const std::string kDefaultDb = "d:\\vestibar\\vestibar.db";

void ExpectSameOptions(const TOptions& actual, const TOptions& expected) {
  EXPECT_EQ(actual.Mode, expected.Mode);
  EXPECT_EQ(actual.ComPort, expected.ComPort);
  EXPECT_EQ(actual.DbFileName, expected.DbFileName);
  EXPECT_EQ(actual.SerialWindows, expected.SerialWindows);
  EXPECT_EQ(actual.LogEnabled, expected.LogEnabled);
  EXPECT_EQ(actual.LogDir, expected.LogDir);
  EXPECT_EQ(actual.PmdpMode, expected.PmdpMode);
  EXPECT_EQ(actual.PrefixKey, expected.PrefixKey);
  EXPECT_EQ(actual.PrefixModifiers, expected.PrefixModifiers);
  EXPECT_EQ(actual.OfferUpgrade, expected.OfferUpgrade);
}

// The message of the TStartupError thrown by `action`, or a marker when none.
std::string StartupErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const TStartupError& error) {
    return error.what();
  }
  return "<no TStartupError>";
}

struct TAcceptedCase {
  std::vector<std::string> Args;
  // Turns the settings of an empty command line into the expected ones.
  std::function<void(TOptions&)> Expect;
};

TEST(ParseOptions, AcceptedCommandLinesGiveExactlyTheirSettings) {
  const std::vector<TAcceptedCase> cases = {
      {{}, [](TOptions&) {}},
      {{"-net", "-keyb"}, [](TOptions& o) { o.Mode = TMode::Grab; }},
      {{"-keyb", "-net"}, [](TOptions& o) { o.Mode = TMode::Attendance; }},
      {{"/LOG"}, [](TOptions& o) { o.LogEnabled = true; }},
      {{"-Log"}, [](TOptions& o) { o.LogEnabled = true; }},
      {{"/LogDir", "c:\\logs"}, [](TOptions& o) { o.LogDir = "c:\\logs"; }},
      {{"-upgrade"}, [](TOptions&) {}},
      {{"-ser"}, [](TOptions& o) { o.SerialWindows = {""}; }},
      {{"-ser", "Kasa 1", "-SER", "Kasa 2", "-ser"},
       [](TOptions& o) { o.SerialWindows = {"Kasa 1", "Kasa 2", ""}; }},
      {{"-db"}, [](TOptions&) {}},
      {{"-db", "e:\\a.db", "-db"}, [](TOptions&) {}},  // the later, empty value wins
      {{"-db", "e:\\a.db", "-db", "f:\\b.db"}, [](TOptions& o) { o.DbFileName = "f:\\b.db"; }},
      // A value is the next argument whatever it looks like.
      {{"-db", "-net"}, [](TOptions& o) { o.DbFileName = "-net"; }},
      {{"-prefix", "CAF5", "-prefix", "x"}, [](TOptions& o) { o.PrefixKey = 88; }},
      {{"-prefix", "x", "-prefix", "CAF5"},
       [](TOptions& o) {
         o.PrefixKey = 116;
         o.PrefixModifiers = 5;
       }},
      {{"/com", "COM3", "-db", "e:\\att\\a.db", "-net", "-ser", "Term", "-log", "-logdir", "e:\\l",
        "-pmdp", "-prefix", "SF01", "-upgrade"},
       [](TOptions& o) {
         o.ComPort = "COM3";
         o.DbFileName = "e:\\att\\a.db";
         o.Mode = TMode::Attendance;
         o.SerialWindows = {"Term"};
         o.LogEnabled = true;
         o.LogDir = "e:\\l";
         o.PmdpMode = true;
         o.PrefixKey = 112;
         o.PrefixModifiers = 2;
       }},
  };
  for (const TAcceptedCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Args));
    TOptions expected;
    expected.DbFileName = kDefaultDb;
    c.Expect(expected);
    ExpectSameOptions(ParseOptions(c.Args, kDefaultDb), expected);
  }
}

TEST(ParseOptions, RejectedCommandLinesNameTheOffendingText) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-logd"}, "Neplatný argument '-logd'"},
      {{"-lo"}, "Neplatný argument '-lo'"},
      {{"--log"}, "Neplatný argument '--log'"},
      {{"-"}, "Neplatný argument '-'"},
      {{"vestibar.db"}, "Neplatný argument 'vestibar.db'"},
      {{"-log", "vestibar.db"}, "Neplatný argument 'vestibar.db'"},
      {{"-net", ""}, "Neplatný argument ''"},
      {{""}, "Neplatný argument ''"},
      // Parsing stops at the first failure.
      {{"-bad", "-prefix", "X"}, "Neplatný argument '-bad'"},
      {{"-prefix", "X", "-bad"}, "Neplatný prefix 'X'"},
      {{"-PREFIX"}, "Neplatný prefix ''"},
      // UTF-8 text is never folded into an option name.
      {{"-ĺog"}, "Neplatný argument '-ĺog'"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    EXPECT_EQ(StartupErrorOf([&] { ParseOptions(args, kDefaultDb); }), message);
  }
}

TEST(ParsePrefix, ValidValuesGiveKeyAndModifiers) {
  struct TCase {
    std::string Value;
    int32_t Key;
    uint32_t Modifiers;
  };
  const std::vector<TCase> cases = {
      {"CAF5", 116, kModifierCtrl | kModifierAlt},
      {"x", 88, 0},
      {"SF01", 112, kModifierShift},
      {"F1", 112, 0},
      {"F9", 120, 0},
      {"AF10", 121, kModifierAlt},
      {"F24", 135, 0},
      {"a", 65, 0},
      {"z", 90, 0},
      {"0", 48, 0},
      {"9", 57, 0},
      {"f", 70, 0},  // lower-case f is the letter key, not a function key
      {"SCAa", 65, kModifierShift | kModifierCtrl | kModifierAlt},
      // A repeated modifier letter still names one held key.
      {"AAx", 88, kModifierAlt},
      {"CCSSCF2", 113, kModifierCtrl | kModifierShift},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Value);
    int32_t key = -1;
    uint32_t modifiers = 0xFFFF;
    ParsePrefix(c.Value, key, modifiers);
    EXPECT_EQ(key, c.Key);
    EXPECT_EQ(modifiers, c.Modifiers);
  }
}

TEST(ParsePrefix, InvalidValuesAreRejectedAndLeaveTheOldValue) {
  const std::vector<std::string> values = {
      "F0", "F25", "F123", "F011", "F001", "F",  "Fx", "F5x", "CA",  "C",    "X",      "xy", "cx",
      "CAf5", "",  "x ",   " x", "-",  "A-x", "xA", "F99", "\xc3\xa9", "Ax5"};
  for (const std::string& value : values) {
    SCOPED_TRACE(value);
    int32_t key = 65;
    uint32_t modifiers = kModifierCtrl;
    EXPECT_EQ(StartupErrorOf([&] { ParsePrefix(value, key, modifiers); }),
              "Neplatný prefix '" + value + "'");
    EXPECT_EQ(key, 65);
    EXPECT_EQ(modifiers, kModifierCtrl);
  }
}

}  // namespace
}  // namespace snimac
