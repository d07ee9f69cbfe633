// The Linux platform: builds the platform services from the environment and
// owns the adapters behind them (the real clock, FTDI access, the X11
// keyboard, the serial port, the attendance server's client, the user's
// separators). A program creates one, then its UI and the main window.
#pragma once

#include <memory>
#include <string>

#include "app/ftdi_access.h"
#include "app/platform_services.h"
#include "cards/typist.h"
#include "platform/posix/real_clock.h"

namespace snimac {

class TX11Keyboard;

class TPosixPlatform {
 public:
  // Typing goes into the focused X11 window when DISPLAY names one; without
  // a display it goes to `typistWithoutDisplay` (none: texts are not typed).
  // In a Wayland session the start notice says what typing cannot reach
  // (typing_choice.h).
  // Throws std::runtime_error with a message for the user when a setting is
  // wrong or the FTDI access cannot be had.
  explicit TPosixPlatform(std::unique_ptr<TTypist> typistWithoutDisplay);
  ~TPosixPlatform();
  TPosixPlatform(const TPosixPlatform&) = delete;
  TPosixPlatform& operator=(const TPosixPlatform&) = delete;

  const TPlatformServices& Services() const { return services_; }
  TClock& Clock() { return clock_; }
  // Where typed texts go, for the user ("Psaní: …", or the Wayland note).
  const std::string& TypingNote() const { return typingNote_; }

 private:
  TRealClock clock_;
  TFtdiAccess ftdi_;
  std::unique_ptr<TX11Keyboard> keyboard_;
  std::unique_ptr<TTypist> typist_;
  std::string typingNote_;
  TPlatformServices services_;
};

// The environment as the core's setting reader.
std::optional<std::string> EnvironmentSetting(const std::string& name);

}  // namespace snimac
