// Where typed card texts go: into the focused window as key events, or, in a
// host without a window system, as lines of text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace snimac {

// Keys held around the prefix key (bits of PrefixModifiers).
constexpr uint32_t kModifierAlt = 1;
constexpr uint32_t kModifierShift = 2;
constexpr uint32_t kModifierCtrl = 4;

struct TTypingOptions {
  int32_t PrefixKey = 0;         // virtual key typed before the text; 0 = none
  uint32_t PrefixModifiers = 0;  // 1 Alt, 2 Shift, 4 Ctrl held around the prefix key
  bool PressEnter = true;        // Enter after the text
};

class TTypist {
 public:
  virtual ~TTypist() = default;
  // Returns when everything is typed (pauses included).
  virtual void TypeText(const std::string& text, const TTypingOptions& options) = 0;
  // The foreground window's title, for routing cards to the serial port;
  // nothing when there is no window system (no title can match then).
  virtual std::optional<std::string> ForegroundTitle() = 0;
};

}  // namespace snimac
