#include "cards/keyboard_typist.h"

#include <iterator>

namespace snimac {
namespace {

struct TModifierKey {
  uint32_t bit;  // in PrefixModifiers
  uint8_t vk;
};

// Held around the prefix key: pressed in this order, released in reverse.
constexpr TModifierKey kModifierKeys[] = {
    {kModifierShift, kVkShift},
    {kModifierCtrl, kVkControl},
    {kModifierAlt, kVkMenu},
};

constexpr int kVkScanAltGr = kVkScanCtrl | kVkScanAlt;
// The key VkKeyScanEx names when the layout has no key for a character (-1).
constexpr uint8_t kNoKey = 0xFF;

bool IsAsciiLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

uint8_t AsciiUpper(char c) {
  return static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

}  // namespace

void TKeyboardTypist::TypeText(const std::string& text, const TTypingOptions& options) {
  if (options.PrefixKey != 0) TypePrefix(options);
  for (const char c : text) TypeCharacter(c);
  clock_.SleepMs(kTextPauseMs);
  if (options.PressEnter) {
    Press(kVkReturn);
    Release(kVkReturn);
  }
}

std::optional<std::string> TKeyboardTypist::ForegroundTitle() { return keyboard_.ForegroundTitle(); }

void TKeyboardTypist::TypePrefix(const TTypingOptions& options) {
  for (const TModifierKey& m : kModifierKeys) {
    if (options.PrefixModifiers & m.bit) Press(m.vk);
  }
  // Virtual keys are bytes; the prefix option only yields F1..F24, letters and digits.
  const auto key = static_cast<uint8_t>(options.PrefixKey);
  Press(key);
  Release(key);
  for (auto m = std::rbegin(kModifierKeys); m != std::rend(kModifierKeys); ++m) {
    if (options.PrefixModifiers & m->bit) Release(m->vk);
  }
  clock_.SleepMs(kPrefixPauseMs);
}

void TKeyboardTypist::TypeCharacter(char c) {
  // Asked for every character: the focus (and with it the layout) may move
  // to another window while a text is being typed.
  const int r = keyboard_.VirtualKeyForChar(c, keyboard_.ForegroundLayout());
  const auto reported = static_cast<uint8_t>(r & 0xFF);
  // A key the layout does not have would type something else or nothing at
  // all; leaving the character out is the honest result.
  if (reported == kNoKey) return;
  const bool shift = (r & kVkScanShift) != 0;
  const bool altGr = (r & kVkScanAltGr) == kVkScanAltGr;
  // Letters and digits go as their own virtual keys (the layout reports no
  // Shift for lower-case letters, so they arrive in lower case); anything
  // else as the key the layout named. That key is also the scan argument.
  const uint8_t key = IsAsciiLetterOrDigit(c) ? AsciiUpper(c) : reported;
  if (shift) Press(kVkShift);
  if (altGr) Press(kVkRMenu);
  keyboard_.KeybdEvent(key, reported, 0);
  keyboard_.KeybdEvent(key, reported, kKeyEventKeyUp);
  if (altGr) Release(kVkRMenu);
  if (shift) Release(kVkShift);
}

void TKeyboardTypist::Press(uint8_t vk) {
  keyboard_.KeybdEvent(vk, static_cast<uint8_t>(keyboard_.VirtualKeyToScanCode(vk)), 0);
}

void TKeyboardTypist::Release(uint8_t vk) {
  keyboard_.KeybdEvent(vk, static_cast<uint8_t>(keyboard_.VirtualKeyToScanCode(vk)), kKeyEventKeyUp);
}

}  // namespace snimac
