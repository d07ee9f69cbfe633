#include "cards/serial_output.h"

namespace snimac {

bool WriteSerial(TSerialPort* port, const std::string& text) {
  if (!port) return false;
  return port->Write(text.data(), text.size());
}

}  // namespace snimac
