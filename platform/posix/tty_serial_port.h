// The virtual serial port on Linux: a tty or pty given by path (for example
// one end of a socat pty pair), opened only if it already exists.
#pragma once

#include <memory>
#include <string>

#include "cards/serial_port.h"

namespace snimac {

// nullptr when the path does not exist or cannot be opened for writing.
std::unique_ptr<TSerialPort> OpenTtySerialPort(const std::string& path);

// SNIMAC_SERIAL_PORT, or the default path.
std::string SerialPortPathFromEnvironment();
constexpr const char* kDefaultSerialPortPath = "/tmp/snimac-cncb0";

}  // namespace snimac
