// The virtual serial port that card numbers go to when the foreground window
// is one of the configured titles (one end of a virtual port pair).
#pragma once

#include <cstddef>

namespace snimac {

class TSerialPort {
 public:
  virtual ~TSerialPort() = default;
  // Writes all bytes; false when the port refused them.
  virtual bool Write(const void* bytes, size_t count) = 0;
};

}  // namespace snimac
