// The explicit device list that replaces device discovery: serial devices
// (a tty or a pty on Linux, a COM port on Windows) named by hand with the
// description and serial number that the D2XX calls report for them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/d2xx.h"

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

// The D2XX answers of a port that serves a device list (the tty port on
// Linux, the COM port on Windows), the same on every system.

// Checks the arguments of FT_ListDevices before anything is listed: FT_OK
// for FT_LIST_NUMBER_ONLY with a count to fill in, and for FT_LIST_BY_INDEX
// with FT_OPEN_BY_DESCRIPTION or FT_OPEN_BY_SERIAL_NUMBER and a buffer;
// FT_INVALID_PARAMETER for anything else (FT_LIST_ALL, FT_OPEN_BY_LOCATION,
// null pointers). The buffer of a valid text query is emptied here, so that
// it never holds a stale text, whatever the query then gives.
FT_STATUS CheckListQuery(void* arg1, void* arg2, uint32_t flags);

// FT_ListDevices answered from `devices` (the arguments as CheckListQuery
// takes them, which it calls first): the count, or the text of entry `arg1`
// cut to 63 bytes (never inside a UTF-8 sequence) plus its zero. An empty
// text is unreadable: FT_OTHER_ERROR (the caller skips the device); an index
// out of range: FT_DEVICE_NOT_FOUND.
FT_STATUS ListFromDevices(const std::vector<TListedDevice>& devices, void* arg1, void* arg2, uint32_t flags);

// Checks the arguments of FT_OpenEx before anything is looked up: `handle`
// is set to null (FT_INVALID_PARAMETER when it is null itself); FT_OK for a
// text with FT_OPEN_BY_SERIAL_NUMBER or FT_OPEN_BY_DESCRIPTION,
// FT_INVALID_PARAMETER for other flags or no text, FT_DEVICE_NOT_FOUND for
// an empty text (no device is known by that).
FT_STATUS CheckOpenQuery(void* arg, uint32_t flags, FT_HANDLE* handle);

// The device FT_OpenEx means: the first entry whose serial number
// (FT_OPEN_BY_SERIAL_NUMBER) or description (FT_OPEN_BY_DESCRIPTION) is
// `key`. Null when there is none, when `key` is empty or `flags` other, or
// when the entry names no path to open.
const TListedDevice* FindDevice(const std::vector<TListedDevice>& devices, const std::string& key,
                                uint32_t flags);

}  // namespace snimac
