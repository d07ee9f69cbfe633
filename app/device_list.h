// The explicit device list that replaces device discovery: serial devices
// (a tty or a pty on Linux, a COM port on Windows) named by hand with the
// description and serial number that the D2XX calls report for them.
#pragma once

#include <string>
#include <vector>

namespace snimac {

struct TListedDevice {
  std::string path;         // e.g. /dev/ttyUSB0, a pty slave /dev/pts/3, or COM5
  std::string description;  // as FT_ListDevices reports it; empty = unreadable
  std::string serial;       // the serial number the device is opened by; empty = unreadable
};

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
std::vector<TListedDevice> ParseDeviceList(const std::string& text);

}  // namespace snimac
