// What start-up needs from the platform besides the window: FTDI access,
// time, the virtual serial port and the platform's default paths.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/paths.h"
#include "cards/serial_port.h"
#include "link/clock.h"
#include "link/d2xx.h"

namespace snimac {

struct TPlatformServices {
  TD2xx* d2xx = nullptr;
  TClock* clock = nullptr;
  // Opens the virtual serial port only if it exists; nullptr when it cannot be opened.
  std::function<std::unique_ptr<TSerialPort>()> openSerialPort;
  std::string defaultDbFileName;
  std::string defaultLogDir;  // ends with the separator
  TPathStyle pathStyle = NativePathStyle();
};

}  // namespace snimac
