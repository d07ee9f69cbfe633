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

// The explicit device list of the environment variable SNIMAC_DEVICES, which
// replaces the discovery: "path|description|serial;path|description|serial…".
//  - Entries are separated by ';'; an entry that is empty or only white space
//    is ignored (so "a|b|c;" and ";;a|b|c" are fine, and "" is an empty list).
//  - White space around each entry and each field is removed.
//  - An entry must have exactly three fields, none of them empty: anything else
//    throws std::invalid_argument whose message names the entry. A device
//    with an unreadable text is a discovery matter; written by hand it is a
//    mistake that would otherwise show only as "no usable reader".
//  - Two entries with the same serial number throw std::invalid_argument
//    too: the port opens devices by serial number, so the second could never
//    be opened.
// Texts are taken as they are (UTF-8); the port cuts them to 63 bytes.
std::vector<TTtyDevice> ParseDeviceList(const std::string& text);

}  // namespace snimac
