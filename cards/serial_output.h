// Card texts for an application that reads serial input: written to the
// virtual serial port instead of being typed.
#pragma once

#include <string>

#include "cards/serial_port.h"

namespace snimac {

// Writes all bytes of `text` in one write; nothing without a port. The
// result is not acted on (a failed write is not retried); it is returned so
// that a caller can log it. False without a port.
bool WriteSerial(TSerialPort* port, const std::string& text);

}  // namespace snimac
