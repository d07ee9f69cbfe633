// Types card texts into the focused window through a keyboard port: the
// prefix hot key with its modifiers, each character as the foreground
// window's layout says it is typed, then Enter. The pauses give the target
// application time to react to the hot key and to the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cards/keyboard.h"
#include "cards/typist.h"
#include "link/clock.h"

namespace snimac {

// Pause after the prefix hot key, and after the text (before Enter).
constexpr int64_t kPrefixPauseMs = 200;
constexpr int64_t kTextPauseMs = 100;

class TKeyboardTypist : public TTypist {
 public:
  // Both must outlive the typist.
  TKeyboardTypist(TKeyboard& keyboard, TClock& clock) : keyboard_(keyboard), clock_(clock) {}

  // Characters the layout has no key for are skipped. Characters that need
  // AltGr (Ctrl+Alt in the layout's answer) are typed with right Alt held.
  void TypeText(const std::string& text, const TTypingOptions& options) override;
  // The keyboard's foreground title ("" when no window has the focus).
  std::optional<std::string> ForegroundTitle() override;

 private:
  void TypePrefix(const TTypingOptions& options);
  void TypeCharacter(char c);
  // Key-down or key-up with MapVirtualKey's scan code.
  void Press(uint8_t vk);
  void Release(uint8_t vk);

  TKeyboard& keyboard_;
  TClock& clock_;
};

}  // namespace snimac
