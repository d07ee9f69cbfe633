// The Windows platform: builds the platform services from the environment
// and owns the adapters behind them (the real clock, FTDI access through
// FTD2XX.DLL, COM ports or the simulated readers, the keyboard, the virtual
// serial port, the attendance server's client, the user's separators). The
// program creates one, then its view and the main window.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/ftdi_access.h"
#include "app/platform_services.h"
#include "cards/typist.h"
#include "platform/win32/adapters/win32_clock.h"
#include "platform/win32/adapters/win32_keyboard.h"

namespace snimac {

class TWin32Platform {
 public:
  // Throws std::runtime_error (or std::invalid_argument) with a message for
  // the user when a setting is wrong or the FTDI access cannot be had.
  TWin32Platform();
  ~TWin32Platform();
  TWin32Platform(const TWin32Platform&) = delete;
  TWin32Platform& operator=(const TWin32Platform&) = delete;

  const TPlatformServices& Services() const { return services_; }
  TClock& Clock() { return clock_; }
  // "d2xx", "tty" or "sim": how the FTDI converters are reached.
  const std::string& FtdiKind() const { return ftdi_.kind; }

 private:
  TWin32Clock clock_;
  TFtdiAccess ftdi_;
  TWin32Keyboard keyboard_;
  std::unique_ptr<TTypist> typist_;
  TPlatformServices services_;
};

// The FTDI access Windows offers: the maker's library by default, COM ports
// for a listed device, no discovery of its own over the serial driver.
TFtdiDrivers WindowsFtdiDrivers();

}  // namespace snimac
