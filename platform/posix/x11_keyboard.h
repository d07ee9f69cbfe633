// The keyboard port on X11: key events through XTest, layouts from XKB (the
// layout is the keyboard group), the foreground title from the window
// manager's _NET_ACTIVE_WINDOW. Windows virtual-key codes are mapped to the
// keys of the current keymap the way Windows names keys: letter keys by the
// letter they type, other keys by their place on a US keyboard.
//
// Use it from one thread. The keymap is read again whenever it changes
// (setxkbmap, a new keyboard).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cards/keyboard.h"

struct _XDisplay;
struct _XkbDesc;

namespace snimac {

class TX11Keyboard : public TKeyboard {
 public:
  // Connects to `displayName`, or to $DISPLAY when it is empty. Throws
  // std::runtime_error when the display cannot be opened or has no XTEST or
  // XKEYBOARD extension.
  explicit TX11Keyboard(const std::string& displayName = "");
  ~TX11Keyboard() override;
  TX11Keyboard(const TX11Keyboard&) = delete;
  TX11Keyboard& operator=(const TX11Keyboard&) = delete;

  // Presses or releases the key of `vk` in the current group; `scan` is not
  // used (X has its own key codes). Virtual keys without a key are dropped.
  void KeybdEvent(uint8_t vk, uint8_t scan, uint32_t flags) override;
  // The X key code of `code` in the current group, 0 when no key has it.
  uint32_t VirtualKeyToScanCode(uint32_t code) override;
  // Printable ASCII only: the virtual key and the modifiers (0x100 Shift,
  // 0x600 AltGr) that type `ch` in group `layout` with the fewest modifiers;
  // -1 when no key types it.
  int16_t VirtualKeyForChar(char ch, TKeyboardLayout layout) override;
  // The current XKB group (0..3).
  TKeyboardLayout ForegroundLayout() override;
  // _NET_WM_NAME (or WM_NAME) of the active window, in UTF-8, cut to 127
  // bytes; "" when no window is active.
  std::string ForegroundTitle() override;

 private:
  // Which key each virtual key is in one group, and back.
  struct TGroupKeys {
    std::array<uint8_t, 256> keycodeOfVk{};
    std::array<uint8_t, 256> vkOfKeycode{};  // letters, digits, punctuation, space
    unsigned level3Mask = 0;                 // the modifier AltGr sets; 0 when there is no AltGr
  };
  struct TDisplayCloser {
    void operator()(_XDisplay* display) const;
  };
  struct TKeymapFree {
    void operator()(_XkbDesc* xkb) const;
  };

  // One round trip: the current group, and the keymap read again if the
  // server said it changed.
  unsigned Sync();
  void LoadKeymap();
  TGroupKeys BuildGroup(unsigned group) const;
  std::optional<int> ModifiersForLevel(unsigned keycode, int group, int level, unsigned level3Mask) const;
  std::optional<std::string> TitleProperty(unsigned long window);

  std::unique_ptr<_XDisplay, TDisplayCloser> display_;
  std::unique_ptr<_XkbDesc, TKeymapFree> xkb_;
  std::array<TGroupKeys, 4> groups_;
  int xkbEventType_ = 0;
  unsigned long activeWindowAtom_ = 0;
  unsigned long wmNameAtom_ = 0;
  unsigned long utf8StringAtom_ = 0;
};

}  // namespace snimac
