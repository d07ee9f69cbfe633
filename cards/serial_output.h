// Card texts for an application that reads serial input: written to the
// virtual serial port instead of being typed.
#pragma once

#include <string>

#include "cards/serial_port.h"

namespace snimac {

// Writes all bytes of `text` in one write; nothing without a port. A failed
// write is not retried (the port has its own time-out); false tells the
// caller to report the card as not delivered. False without a port.
bool WriteSerial(TSerialPort* port, const std::string& text);

// What is shown and logged for a card the port did not take.
inline constexpr const char* kSerialWriteFailedStatus = "Kartu se nepodařilo zapsat na sériový port: ";
inline constexpr const char* kSerialWriteFailedLog = "Serial port write failed: ";
inline constexpr const char* kSerialLogSource = "Serial";

}  // namespace snimac
