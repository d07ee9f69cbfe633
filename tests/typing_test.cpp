// Typing card texts through the keyboard port: the recorded key events and
// their times on the virtual clock.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "cards/keyboard_typist.h"
#include "sim/virtual_clock.h"
#include "tests/support/recording_keyboard.h"

namespace snimac {
namespace {

using test::TKeyEvent;
using test::TLayoutTable;

// Scan codes the recording keyboard gives for keys pressed by name.
constexpr uint8_t kScanShift = 0x2A;
constexpr uint8_t kScanCtrl = 0x1D;
constexpr uint8_t kScanAlt = 0x38;
constexpr uint8_t kScanEnter = 0x1C;
constexpr uint8_t kVkF5 = 0x74;
constexpr uint8_t kScanF5 = 0x3F;

TKeyEvent Down(uint8_t vk, uint8_t scan, int64_t timeMs = 0) { return {vk, scan, false, timeMs}; }
TKeyEvent Up(uint8_t vk, uint8_t scan, int64_t timeMs = 0) { return {vk, scan, true, timeMs}; }

class KeyboardTypist : public ::testing::Test {
 protected:
  sim::TVirtualClock clock;
  test::TRecordingKeyboard keyboard{clock};
  TKeyboardTypist typist{keyboard, clock};
};

TEST_F(KeyboardTypist, PrefixTextPausesAndEnter) {
  // Ctrl+F5, then "1a" on a layout where '1' needs Shift.
  keyboard.foregroundLayout = test::kCzechLayout;
  typist.TypeText("1a", {.PrefixKey = kVkF5, .PrefixModifiers = kModifierCtrl, .PressEnter = true});
  const std::vector<TKeyEvent> expected = {
      Down(kVkControl, kScanCtrl, 0), Down(kVkF5, kScanF5, 0),          Up(kVkF5, kScanF5, 0),
      Up(kVkControl, kScanCtrl, 0),   Down(kVkShift, kScanShift, 200),  Down('1', '1', 200),
      Up('1', '1', 200),              Up(kVkShift, kScanShift, 200),    Down('A', 'A', 200),
      Up('A', 'A', 200),              Down(kVkReturn, kScanEnter, 300), Up(kVkReturn, kScanEnter, 300),
  };
  EXPECT_EQ(keyboard.events, expected);
  EXPECT_EQ(clock.NowMs(), 300);
}

TEST_F(KeyboardTypist, PrefixModifiersGoDownShiftCtrlAltAndUpInReverse) {
  struct TCase {
    uint32_t modifiers;
    std::vector<uint8_t> held;  // in the order they go down
  };
  const std::vector<TCase> cases = {
      {0, {}},
      {kModifierAlt, {kVkMenu}},
      {kModifierShift, {kVkShift}},
      {kModifierCtrl, {kVkControl}},
      {kModifierCtrl | kModifierAlt, {kVkControl, kVkMenu}},
      {kModifierAlt | kModifierShift | kModifierCtrl, {kVkShift, kVkControl, kVkMenu}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.modifiers);
    keyboard.events.clear();
    typist.TypeText("", {.PrefixKey = kVkF5, .PrefixModifiers = c.modifiers, .PressEnter = false});
    std::vector<std::pair<uint8_t, bool>> expected;
    for (uint8_t vk : c.held) expected.emplace_back(vk, false);
    expected.emplace_back(kVkF5, false);
    expected.emplace_back(kVkF5, true);
    for (auto vk = c.held.rbegin(); vk != c.held.rend(); ++vk) expected.emplace_back(*vk, true);
    std::vector<std::pair<uint8_t, bool>> seen;
    for (const TKeyEvent& e : keyboard.events) {
      seen.emplace_back(e.vk, e.up);
      EXPECT_EQ(e.scan, keyboard.VirtualKeyToScanCode(e.vk)) << e;
    }
    EXPECT_EQ(seen, expected);
  }
}

TEST_F(KeyboardTypist, EmptyTextWithPrefixStillPausesAndPressesEnter) {
  typist.TypeText("", {.PrefixKey = kVkF5, .PrefixModifiers = 0, .PressEnter = true});
  const std::vector<TKeyEvent> expected = {
      Down(kVkF5, kScanF5, 0),
      Up(kVkF5, kScanF5, 0),
      Down(kVkReturn, kScanEnter, 300),
      Up(kVkReturn, kScanEnter, 300),
  };
  EXPECT_EQ(keyboard.events, expected);
}

TEST_F(KeyboardTypist, WithoutPrefixTheTextComesFirst) {
  typist.TypeText("Z", {.PrefixKey = 0, .PrefixModifiers = kModifierCtrl, .PressEnter = true});
  ASSERT_FALSE(keyboard.events.empty());
  EXPECT_EQ(keyboard.events.front(), Down(kVkShift, kScanShift, 0));
  EXPECT_EQ(keyboard.events.back(), Up(kVkReturn, kScanEnter, 100));
  EXPECT_EQ(clock.NowMs(), 100);
}

TEST_F(KeyboardTypist, WithoutEnterThePauseStays) {
  typist.TypeText("04a1", {.PrefixKey = 0, .PrefixModifiers = 0, .PressEnter = false});
  ASSERT_EQ(keyboard.events.size(), 8u);
  EXPECT_EQ(keyboard.events.back(), Up('1', '1', 0));
  EXPECT_EQ(clock.NowMs(), 100);
}

// One character on one layout: exactly these events (no prefix, no Enter).
struct TCharacterCase {
  TKeyboardLayout layout;
  char c;
  std::vector<TKeyEvent> events;
};

constexpr TKeyboardLayout kOddLayout = 1;

TEST_F(KeyboardTypist, EachCharacterAsTheLayoutSays) {
  keyboard.layouts[kOddLayout] = {
      {'|', 0x7DC},  // Shift+AltGr
      {'q', 'A'},    // a letter the layout reports on another key
      {'#', 0x1FF},  // no key, though Shift is set
  };
  const std::vector<TCharacterCase> cases = {
      // Lower-case letters go as the upper-case key without Shift.
      {test::kUsLayout, 'a', {Down('A', 'A'), Up('A', 'A')}},
      {test::kUsLayout, '0', {Down('0', '0'), Up('0', '0')}},
      {test::kUsLayout, 'Z', {Down(kVkShift, kScanShift), Down('Z', 'Z'), Up('Z', 'Z'), Up(kVkShift, kScanShift)}},
      // Other characters go as the key the layout names.
      {test::kUsLayout, ';', {Down(0xBA, 0xBA), Up(0xBA, 0xBA)}},
      {test::kUsLayout, '@', {Down(kVkShift, kScanShift), Down('2', '2'), Up('2', '2'), Up(kVkShift, kScanShift)}},
      {test::kCzechLayout, '1', {Down(kVkShift, kScanShift), Down('1', '1'), Up('1', '1'), Up(kVkShift, kScanShift)}},
      {test::kCzechLayout, '+', {Down('1', '1'), Up('1', '1')}},
      {test::kCzechLayout, '@', {Down(kVkRMenu, kScanAlt), Down('V', 'V'), Up('V', 'V'), Up(kVkRMenu, kScanAlt)}},
      {kOddLayout,
       '|',
       {Down(kVkShift, kScanShift), Down(kVkRMenu, kScanAlt), Down(0xDC, 0xDC), Up(0xDC, 0xDC),
        Up(kVkRMenu, kScanAlt), Up(kVkShift, kScanShift)}},
      {kOddLayout, 'q', {Down('Q', 'A'), Up('Q', 'A')}},
      // Characters the layout cannot type are left out.
      {test::kCzechLayout, '~', {}},
      {kOddLayout, '#', {}},
      {test::kUsLayout, '\xE9', {}},
  };
  for (const TCharacterCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "layout " << c.layout << " char '" << c.c << "'");
    keyboard.events.clear();
    keyboard.foregroundLayout = c.layout;
    std::vector<TKeyEvent> expected = c.events;
    for (TKeyEvent& e : expected) e.timeMs = clock.NowMs();
    typist.TypeText(std::string(1, c.c), {.PrefixKey = 0, .PrefixModifiers = 0, .PressEnter = false});
    EXPECT_EQ(keyboard.events, expected);
  }
}

// The text a window with `table` receives from `events`: each key-down of a
// non-modifier key with the Shift and AltGr held at that moment.
std::string Arrived(const std::vector<TKeyEvent>& events, const TLayoutTable& table) {
  std::set<uint8_t> held;
  std::string text;
  for (const TKeyEvent& e : events) {
    if (e.vk == kVkShift || e.vk == kVkRMenu) {
      if (e.up) {
        EXPECT_EQ(held.erase(e.vk), 1u) << "released without being pressed: " << e;
      } else {
        EXPECT_TRUE(held.insert(e.vk).second) << "pressed twice: " << e;
      }
      continue;
    }
    if (e.up || e.vk == kVkReturn) continue;
    const int wanted = e.vk | (held.count(kVkShift) ? kVkScanShift : 0) | (held.count(kVkRMenu) ? 0x600 : 0);
    char got = '?';
    for (const auto& [c, r] : table) {
      if (r == wanted) got = c;
    }
    text += got;
  }
  EXPECT_TRUE(held.empty()) << "a modifier stays down";
  return text;
}

TEST_F(KeyboardTypist, CardTextsArriveIntactOnBothLayouts) {
  for (const TKeyboardLayout layout : {test::kUsLayout, test::kCzechLayout}) {
    for (const std::string text : {"04a1b2c3", "1234567890", "04a1b2c3;Zeleny;Cap;2011-09-01", "user@host"}) {
      SCOPED_TRACE(testing::Message() << "layout " << layout << " text " << text);
      keyboard.events.clear();
      keyboard.foregroundLayout = layout;
      typist.TypeText(text, {.PrefixKey = 0, .PrefixModifiers = 0, .PressEnter = true});
      EXPECT_EQ(Arrived(keyboard.events, keyboard.layouts[layout]), text);
    }
  }
}

TEST_F(KeyboardTypist, LayoutIsAskedAgainForEveryCharacter) {
  // The focus moves to a window with the Czech layout after the first key.
  keyboard.onEvent = [&](const TKeyEvent& e) {
    if (e.up) keyboard.foregroundLayout = test::kCzechLayout;
  };
  typist.TypeText("11", {.PrefixKey = 0, .PrefixModifiers = 0, .PressEnter = false});
  const std::vector<TKeyEvent> expected = {
      Down('1', '1'), Up('1', '1'), Down(kVkShift, kScanShift), Down('1', '1'), Up('1', '1'), Up(kVkShift, kScanShift),
  };
  EXPECT_EQ(keyboard.events, expected);
}

}  // namespace
}  // namespace snimac
