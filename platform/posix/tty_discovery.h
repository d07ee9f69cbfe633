// Where the tty D2XX port (tty_d2xx.h) gets its device list from.
#pragma once

#include <string>
#include <vector>

#include "platform/posix/tty_d2xx.h"

namespace snimac {

// The FTDI converters the kernel driver (ftdi_sio) presents as ttys, found with
// libudev: tty devices whose USB device has idVendor 0403. path = the device
// node (/dev/ttyUSB0), description = the USB "product" string, serial = the
// USB "serial" string (empty when the attribute is missing: such a device is
// listed, and the port reports its text as unreadable). Converters with
// several interfaces (FT2232, FT4232) get the letter of the interface appended
// as D2XX does: serial "FT1234A", description "Dual RS232 A".
// Listed in udev's order (sorted by sysfs path). No converter: an empty list.
// Throws std::runtime_error when libudev cannot be used at all.
std::vector<TTtyDevice> DiscoverFtdiTtys();


}  // namespace snimac
