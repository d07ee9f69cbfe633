// A keyboard for tests: records every key event with the clock time at which
// it happened, and answers layout questions from tables, like Windows does
// for the US and the Czech (QWERTZ) layout.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cards/keyboard.h"
#include "link/clock.h"

namespace snimac::test {

struct TKeyEvent {
  uint8_t vk = 0;
  uint8_t scan = 0;
  bool up = false;
  int64_t timeMs = 0;

  bool operator==(const TKeyEvent&) const = default;
};
// "vk 10 scan 2A down at 200 ms", for readable test failures.
std::ostream& operator<<(std::ostream& out, const TKeyEvent& e);

// Character -> VkKeyScanEx answer (virtual key, plus 0x100 Shift, 0x600 AltGr).
using TLayoutTable = std::map<char, int16_t>;

// Letters, digits, space, ';', '-', '@' and their neighbours as on a US keyboard.
TLayoutTable UsLayoutTable();
// Czech QWERTZ as Windows reports it: digits need Shift (unshifted, the top
// row types + and accented letters), '@' needs AltGr, ';' is left of the
// digits. Y and Z trade places, which does not show here: virtual keys name
// the letter, not the position.
TLayoutTable CzechLayoutTable();

constexpr TKeyboardLayout kUsLayout = 0x04090409;
constexpr TKeyboardLayout kCzechLayout = 0x04050405;

class TRecordingKeyboard : public TKeyboard {
 public:
  // Starts with the US and Czech tables and the US layout in the foreground.
  explicit TRecordingKeyboard(TClock& clock);

  void KeybdEvent(uint8_t vk, uint8_t scan, uint32_t flags) override;
  // Scan codes of a PC keyboard for modifiers, Enter and F1..F12; 0 for others.
  uint32_t VirtualKeyToScanCode(uint32_t code) override;
  // From layouts[layout]; -1 for characters (or layouts) not in the tables.
  int16_t VirtualKeyForChar(char ch, TKeyboardLayout layout) override;
  TKeyboardLayout ForegroundLayout() override { return foregroundLayout; }
  std::string ForegroundTitle() override { return foregroundTitle; }

  std::map<TKeyboardLayout, TLayoutTable> layouts;
  TKeyboardLayout foregroundLayout = kUsLayout;
  std::string foregroundTitle;
  std::vector<TKeyEvent> events;
  // Called after each recorded event, e.g. to move the focus mid-text.
  std::function<void(const TKeyEvent&)> onEvent;

 private:
  TClock& clock_;
};

}  // namespace snimac::test
