#include "tests/support/recording_keyboard.h"

#include <cstdio>

namespace snimac::test {
namespace {

constexpr int16_t kShift = kVkScanShift;
constexpr int16_t kAltGr = kVkScanCtrl | kVkScanAlt;

// Letters on their own keys (upper case with Shift), space.
TLayoutTable LatinLetters() {
  TLayoutTable t;
  for (char c = 'a'; c <= 'z'; ++c) {
    const auto vk = static_cast<int16_t>(c - 'a' + 'A');
    t[c] = vk;
    t[static_cast<char>(vk)] = static_cast<int16_t>(kShift | vk);
  }
  t[' '] = 0x20;
  return t;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const TKeyEvent& e) {
  char text[64];
  std::snprintf(text, sizeof text, "vk %02X scan %02X %s at %lld ms", e.vk, e.scan, e.up ? "up" : "down",
                static_cast<long long>(e.timeMs));
  return out << text;
}

TLayoutTable UsLayoutTable() {
  TLayoutTable t = LatinLetters();
  for (char c = '0'; c <= '9'; ++c) t[c] = c;
  t['@'] = kShift | '2';
  t[';'] = 0xBA;
  t[':'] = kShift | 0xBA;
  t['-'] = 0xBD;
  t['_'] = kShift | 0xBD;
  return t;
}

TLayoutTable CzechLayoutTable() {
  TLayoutTable t = LatinLetters();
  for (char c = '0'; c <= '9'; ++c) t[c] = static_cast<int16_t>(kShift | c);
  t['+'] = '1';
  t['@'] = kAltGr | 'V';
  t[';'] = 0xC0;
  t['-'] = 0xBD;
  t['_'] = kShift | 0xBD;
  return t;
}

TRecordingKeyboard::TRecordingKeyboard(TClock& clock) : clock_(clock) {
  layouts[kUsLayout] = UsLayoutTable();
  layouts[kCzechLayout] = CzechLayoutTable();
}

void TRecordingKeyboard::KeybdEvent(uint8_t vk, uint8_t scan, uint32_t flags) {
  events.push_back({vk, scan, (flags & kKeyEventKeyUp) != 0, clock_.NowMs()});
  if (onEvent) onEvent(events.back());
}

uint32_t TRecordingKeyboard::VirtualKeyToScanCode(uint32_t code) {
  static const std::map<uint32_t, uint32_t> kScanCodes = {
      {kVkShift, 0x2A}, {kVkControl, 0x1D}, {kVkMenu, 0x38}, {kVkRMenu, 0x38}, {kVkReturn, 0x1C},
  };
  if (code >= kVkF1 && code < kVkF1 + 10u) return 0x3B + (code - kVkF1);  // F1..F10
  if (code == kVkF1 + 10u) return 0x57;                                   // F11
  if (code == kVkF1 + 11u) return 0x58;                                   // F12
  const auto it = kScanCodes.find(code);
  return it == kScanCodes.end() ? 0 : it->second;
}

int16_t TRecordingKeyboard::VirtualKeyForChar(char ch, TKeyboardLayout layout) {
  const auto l = layouts.find(layout);
  if (l == layouts.end()) return -1;
  const auto c = l->second.find(ch);
  return c == l->second.end() ? int16_t{-1} : c->second;
}

}  // namespace snimac::test
