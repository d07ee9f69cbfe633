// The virtual serial port on Windows: \\.\CNCB0, one end of a com0com port
// pair (or any device, pipe or file named by SNIMAC_SERIAL_PORT), opened
// only if it already exists. Every write is bounded in time, so that a port
// whose other end nobody reads cannot hold the program.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "cards/serial_port.h"

namespace snimac {

constexpr const char* kDefaultWin32SerialPortPath = "\\\\.\\CNCB0";
// How long one write may take before it is given up (and reported false).
constexpr std::chrono::milliseconds kSerialWriteTimeout{1000};

// Opens `utf8Path` for reading and writing, without sharing (OPEN_EXISTING:
// nothing is created); nullptr when that fails. A serial port gets the
// write time-out as its own as well.
std::unique_ptr<TSerialPort> OpenWin32SerialPort(const std::string& utf8Path);

// SNIMAC_SERIAL_PORT, or \\.\CNCB0 when it is unset or empty.
std::string SerialPortPathFromEnvironment();

}  // namespace snimac
