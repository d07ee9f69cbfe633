// The FTDI D2XX calls the link uses, as a port. Adapters: the vendor library
// loaded at run time, the Linux kernel tty driver, Windows COM ports, the
// simulated bus.
// The calls keep the vendor library's shapes and status codes so that the
// library adapter is a plain pass-through.
#pragma once

#include <cstdint>

namespace snimac {

using FT_HANDLE = void*;
using FT_STATUS = uint32_t;

enum : FT_STATUS {
  FT_OK = 0,
  FT_INVALID_HANDLE = 1,
  FT_DEVICE_NOT_FOUND = 2,
  FT_DEVICE_NOT_OPENED = 3,
  FT_IO_ERROR = 4,
  FT_INSUFFICIENT_RESOURCES = 5,
  FT_INVALID_PARAMETER = 6,
  FT_INVALID_BAUD_RATE = 7,
  FT_NOT_SUPPORTED = 17,
  FT_OTHER_ERROR = 18,
};

// FT_ListDevices flags.
constexpr uint32_t FT_LIST_NUMBER_ONLY = 0x80000000u;
constexpr uint32_t FT_LIST_BY_INDEX = 0x40000000u;
constexpr uint32_t FT_LIST_ALL = 0x20000000u;
// FT_OpenEx / FT_ListDevices: what the string argument is.
constexpr uint32_t FT_OPEN_BY_SERIAL_NUMBER = 1;
constexpr uint32_t FT_OPEN_BY_DESCRIPTION = 2;

// Line settings; the link uses 8N1 without flow control, the ports accept the rest.
constexpr uint8_t FT_BITS_8 = 8;
constexpr uint8_t FT_BITS_7 = 7;
constexpr uint8_t FT_STOP_BITS_1 = 0;
constexpr uint8_t FT_STOP_BITS_2 = 2;
constexpr uint8_t FT_PARITY_NONE = 0;
constexpr uint8_t FT_PARITY_ODD = 1;
constexpr uint8_t FT_PARITY_EVEN = 2;
constexpr uint8_t FT_PARITY_MARK = 3;
constexpr uint8_t FT_PARITY_SPACE = 4;
constexpr uint16_t FT_FLOW_NONE = 0x0000;
constexpr uint16_t FT_FLOW_RTS_CTS = 0x0100;
constexpr uint16_t FT_FLOW_DTR_DSR = 0x0200;
constexpr uint16_t FT_FLOW_XON_XOFF = 0x0400;

// The word lengths, stop bits and parities FT_SetDataCharacteristics accepts.
inline bool ValidDataCharacteristics(uint8_t wordLength, uint8_t stopBits, uint8_t parity) {
  return (wordLength == FT_BITS_8 || wordLength == FT_BITS_7) &&
         (stopBits == FT_STOP_BITS_1 || stopBits == FT_STOP_BITS_2) && parity <= FT_PARITY_SPACE;
}

// The converter's latency timer: how long it holds received bytes that do
// not fill a USB packet before it hands them to the host. 16 ms is what a
// converter starts with; the link sets 1 to 255 ms (some converters refuse
// 1, and keep their own timer then).
constexpr uint8_t kConverterDefaultLatencyMs = 16;
constexpr uint8_t kMinLatencyMs = 1;

// Size of the description / serial-number buffers of FT_ListDevices.
constexpr int kFtStringSize = 64;

class TD2xx {
 public:
  virtual ~TD2xx() = default;

  // FT_LIST_NUMBER_ONLY: arg1 is a uint32_t* receiving the device count.
  // FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION / _SERIAL_NUMBER: arg1 is the
  // index (cast to a pointer), arg2 a 64-byte buffer for the zero-terminated text.
  virtual FT_STATUS ListDevices(void* arg1, void* arg2, uint32_t flags) = 0;
  // FT_OPEN_BY_SERIAL_NUMBER: arg is the zero-terminated serial number.
  virtual FT_STATUS OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) = 0;
  virtual FT_STATUS SetBaudRate(FT_HANDLE handle, uint32_t baud) = 0;
  virtual FT_STATUS SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                           uint8_t parity) = 0;
  virtual FT_STATUS SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) = 0;
  // Read time-out: how long FT_Read waits for the requested bytes before it
  // returns FT_OK with fewer (or none).
  virtual FT_STATUS SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) = 0;
  // The converter's latency timer (above), a host-side setting the reader
  // never sees. Ports whose driver offers no such knob succeed doing nothing.
  virtual FT_STATUS SetLatencyTimer(FT_HANDLE handle, uint8_t ms) = 0;
  virtual FT_STATUS Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) = 0;
  virtual FT_STATUS Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) = 0;
  virtual FT_STATUS Close(FT_HANDLE handle) = 0;
};

}  // namespace snimac
