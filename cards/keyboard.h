// The keyboard as the core sees it: Windows virtual-key codes and key events,
// asked against the layout of the foreground window. Adapters: Win32
// (keybd_event & co), X11 (XKB + XTest), a recorder for tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace snimac {

// Virtual-key codes the core uses by name (letters and digits are their
// upper-case ASCII codes, F1..F24 are 0x70..0x87).
constexpr uint8_t kVkReturn = 0x0D;
constexpr uint8_t kVkShift = 0x10;
constexpr uint8_t kVkControl = 0x11;
constexpr uint8_t kVkMenu = 0x12;   // Alt
constexpr uint8_t kVkRMenu = 0xA5;  // right Alt: AltGr on layouts that have it
constexpr uint8_t kVkF1 = 0x70;

// Key event flags.
constexpr uint32_t kKeyEventKeyUp = 0x0002;

// VkKeyScanEx result: low byte the virtual key, then the modifiers needed.
constexpr int kVkScanShift = 0x100;
constexpr int kVkScanCtrl = 0x200;
constexpr int kVkScanAlt = 0x400;

// A keyboard layout handle (HKL on Windows, the XKB group on X11).
using TKeyboardLayout = uintptr_t;

class TKeyboard {
 public:
  virtual ~TKeyboard() = default;
  // keybd_event: one key-down (flags 0) or key-up (kKeyEventKeyUp) event.
  virtual void KeybdEvent(uint8_t vk, uint8_t scan, uint32_t flags) = 0;
  // MapVirtualKeyA(code, 0): the scan code of a virtual key (0 when none).
  virtual uint32_t VirtualKeyToScanCode(uint32_t code) = 0;
  // VkKeyScanExA: the virtual key and modifiers that type `ch` on `layout`,
  // or -1 when the layout cannot type it.
  virtual int16_t VirtualKeyForChar(char ch, TKeyboardLayout layout) = 0;
  // GetKeyboardLayout of the thread owning the foreground window.
  virtual TKeyboardLayout ForegroundLayout() = 0;
  // GetWindowTextA of the foreground window, at most 127 characters; empty
  // when there is no foreground window.
  virtual std::string ForegroundTitle() = 0;
};

}  // namespace snimac
