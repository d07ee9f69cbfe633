// The virtual serial port on Linux: a tty or pty given by path (for example
// one end of a socat pty pair), opened only if it already exists.
#pragma once

#include <memory>
#include <string>

#include "cards/serial_port.h"
#include "platform/posix/typing_choice.h"

namespace snimac {

// How long one Write may wait for a port that does not take its bytes (a pty
// nobody reads fills up). It runs on the UI thread.
constexpr int kSerialWriteTimeoutMs = 500;

// nullptr when the path does not exist, cannot be opened for writing, or is
// not a character device (a tty or pty; a FIFO or a file is refused). A
// symlink is followed, as socat's link= makes one, but only to such a device.
std::unique_ptr<TSerialPort> OpenTtySerialPort(const std::string& path);

// SNIMAC_SERIAL_PORT, or "snimac-cncb0" in the user's runtime folder
// ($XDG_RUNTIME_DIR; see user_dirs.h).
std::string SerialPortPathFromEnvironment(const TEnvironmentLookup& environment);
constexpr const char* kDefaultSerialPortName = "snimac-cncb0";

}  // namespace snimac
