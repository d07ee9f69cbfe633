// The D2XX port over Windows COM ports: readers named in an explicit device
// list (SNIMAC_DEVICES, e.g. "COM5|Reader|A1B2"), reached through the
// converter maker's virtual COM port driver or any other serial driver. The
// calls keep the D2XX shapes and status codes of link/d2xx.h.
//
// Behaviour in D2XX terms:
//  - ListDevices(FT_LIST_NUMBER_ONLY) gives the number of listed devices;
//    FT_LIST_BY_INDEX with FT_OPEN_BY_DESCRIPTION / FT_OPEN_BY_SERIAL_NUMBER
//    copies the text of that entry. An empty text counts as unreadable
//    (FT_OTHER_ERROR: the caller skips the device); an index out of range
//    gives FT_DEVICE_NOT_FOUND. Texts longer than 63 bytes are cut (never in
//    the middle of a UTF-8 sequence) to fit the 64-byte buffer with its zero.
//    FT_LIST_ALL and FT_OPEN_BY_LOCATION: FT_INVALID_PARAMETER.
//  - OpenEx(FT_OPEN_BY_SERIAL_NUMBER, or FT_OPEN_BY_DESCRIPTION) finds the
//    entry (unknown or empty text: FT_DEVICE_NOT_FOUND) and opens its port:
//    "COM5" as \\.\COM5, a path that already starts with \\.\ or \\?\ as it
//    is. The port is opened exclusively (a port in use elsewhere, or already
//    open through this object, gives FT_DEVICE_NOT_OPENED, like D2XX), set
//    to 9600 8N1 without flow control and without time-outs, and its pending
//    input and output are discarded. A path that is not a serial port, or
//    any failure on the way: FT_DEVICE_NOT_OPENED.
//  - SetBaudRate: any rate the driver takes (refused or 0:
//    FT_INVALID_BAUD_RATE). SetDataCharacteristics: 7 or 8 bits, 1 or 2 stop
//    bits, parity none/odd/even/mark/space. SetFlowControl: none, RTS/CTS,
//    DTR/DSR, XON/XOFF (with two different characters). Other values:
//    FT_INVALID_PARAMETER.
//  - SetTimeouts sets the port's time-outs: Read returns FT_OK as soon as the
//    requested bytes have arrived, or with fewer (or none) when the read
//    time-out has passed; Write returns FT_OK with fewer bytes when the write
//    time-out passes first. A time-out of 0 means "no limit", as in D2XX.
//  - SetLatencyTimer changes nothing (see there) and succeeds.
//  - A device that went away (unplugged converter: the driver fails the
//    transfer with ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_GEN_FAILURE,
//    ERROR_OPERATION_ABORTED, ...) makes Read, Write and the Set* calls
//    return FT_IO_ERROR, so that the link closes and reopens it. The count
//    already transferred is still reported.
//  - A null, closed or unknown handle: FT_INVALID_HANDLE. A null count or
//    buffer pointer: FT_INVALID_PARAMETER.
//
// Thread safety: any call from any thread; reads and writes on one handle
// may run at the same time. A handle stays valid until Close; Close cancels
// a transfer another thread has in progress on it (that call returns
// FT_IO_ERROR), and the port is closed when the last call on it has ended.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/device_list.h"
#include "link/d2xx.h"
#include "link/d2xx_handles.h"

namespace snimac {

class TComPortD2xx : public TD2xx {
 public:
  explicit TComPortD2xx(std::vector<TListedDevice> devices);
  // Closes every handle still open.
  ~TComPortD2xx() override;

  TComPortD2xx(const TComPortD2xx&) = delete;
  TComPortD2xx& operator=(const TComPortD2xx&) = delete;

  FT_STATUS ListDevices(void* arg1, void* arg2, uint32_t flags) override;
  FT_STATUS OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override;
  FT_STATUS SetBaudRate(FT_HANDLE handle, uint32_t baud) override;
  FT_STATUS SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                   uint8_t parity) override;
  FT_STATUS SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
  FT_STATUS SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) override;
  // Succeeds doing nothing: a COM port's latency timer is not the program's to set.
  FT_STATUS SetLatencyTimer(FT_HANDLE handle, uint8_t ms) override;
  FT_STATUS Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) override;
  FT_STATUS Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) override;
  FT_STATUS Close(FT_HANDLE handle) override;

 private:
  struct TPort;

  const std::vector<TListedDevice> devices_;
  TD2xxHandles<TPort> ports_;
};

// The device name CreateFileW takes for a listed path: "COM5" -> \\.\COM5
// (the only form that reaches COM10 and above); \\.\… and \\?\… unchanged.
std::wstring ComDeviceName(const std::string& path);

}  // namespace snimac
