// The keyboard port on Windows: key events through SendInput into whatever
// window has the focus, and the foreground window's keyboard layout and title
// for the typist's questions.
#pragma once

#include <cstdint>
#include <string>

#include "cards/keyboard.h"

namespace snimac {

class TWin32Keyboard : public TKeyboard {
 public:
  // One key event with the given virtual key and scan code. Keys on the
  // extended part of the keyboard (right Alt, that is AltGr, among them) are
  // sent as such, so that Windows takes them for the keys the typist means.
  void KeybdEvent(uint8_t vk, uint8_t scan, uint32_t flags) override;
  // The scan code of `code` on the foreground window's layout.
  uint32_t VirtualKeyToScanCode(uint32_t code) override;
  // VkKeyScanEx of the character: the byte is read in the system's ANSI code
  // page (card texts are ASCII).
  int16_t VirtualKeyForChar(char ch, TKeyboardLayout layout) override;
  // The layout of the thread that owns the foreground window (the calling
  // thread's when no window is in the foreground).
  TKeyboardLayout ForegroundLayout() override;
  // The foreground window's title in UTF-8, at most 127 characters.
  std::string ForegroundTitle() override;
};

}  // namespace snimac
