// The D2XX port over the Linux kernel driver: every FTDI converter (or any
// other serial device, or a pty) is a tty, opened and set up with termios.
// The calls keep the D2XX shapes and status codes of link/d2xx.h.
//
// Behaviour in D2XX terms:
//  - ListDevices(FT_LIST_NUMBER_ONLY) runs the discovery function afresh and
//    keeps its result; the FT_LIST_BY_INDEX queries that follow answer from
//    that result (a BY_INDEX query before any count runs the discovery once).
//    An empty description or serial number counts as unreadable: the query
//    returns FT_OTHER_ERROR (the caller skips such a device). Index out of
//    range: FT_DEVICE_NOT_FOUND. Texts longer than 63 bytes are cut (never in
//    the middle of a UTF-8 sequence) so that they fit the 64-byte buffer with
//    the terminating zero. FT_LIST_ALL and FT_OPEN_BY_LOCATION are not
//    supported (FT_INVALID_PARAMETER).
//  - OpenEx(FT_OPEN_BY_SERIAL_NUMBER, or FT_OPEN_BY_DESCRIPTION) looks the
//    device up in a fresh discovery; an unknown or empty text gives
//    FT_DEVICE_NOT_FOUND. The tty is opened O_RDWR|O_NOCTTY|O_NONBLOCK, locked
//    with flock(LOCK_EX|LOCK_NB) (a device open elsewhere, or already open
//    through this object, gives FT_DEVICE_NOT_OPENED, like D2XX), set raw
//    9600 8N1 without flow control, and its pending input is discarded.
//    open(), flock() or termios failure: FT_DEVICE_NOT_OPENED.
//  - SetBaudRate: the termios rates from 50 to 4000000 baud; any other rate
//    gives FT_INVALID_BAUD_RATE. SetDataCharacteristics: 7 or 8 bits, 1 or 2
//    stop bits, parity none/odd/even/mark/space; SetFlowControl: none,
//    RTS/CTS, XON/XOFF (DTR/DSR is not possible with termios). Other values:
//    FT_INVALID_PARAMETER.
//  - SetTimeouts stores both time-outs. Read returns FT_OK as soon as the
//    requested bytes have arrived, or with fewer (or none) when the read
//    time-out has passed (measured on the monotonic clock, not VTIME).
//    Write returns FT_OK once all bytes are handed to the driver, or with
//    fewer when the write time-out passes while the driver's buffer is full.
//    A time-out of 0 means "no limit", as in D2XX, whose default it is; the
//    link always sets its own time-outs right after the open.
//  - SetLatencyTimer (1 to 255 ms; 0: FT_INVALID_PARAMETER) sets the
//    converter's latency timer through the kernel's two knobs: the exact
//    value in <usb-serial sysfs>/<ttyUSBn>/latency_timer when that file exists
//    and is writable (usually only for root), otherwise the driver's
//    low-latency mode (ASYNC_LOW_LATENCY via TIOCGSERIAL/TIOCSSERIAL, open to
//    every user; ftdi_sio then runs the timer at 1 ms) for values below the
//    converter's own 16 ms. The mode is cleared where it would override the
//    value chosen. A device with neither knob (a pty, most other serial
//    devices) has no latency timer to set: FT_OK.
//  - A device that went away (unplugged converter, closed pty master: POLLHUP,
//    POLLERR, EIO, end of file) makes Read, Write and the Set* calls return
//    FT_IO_ERROR, so that the link closes and reopens it. The count already
//    transferred is still reported.
//  - A null, closed or unknown handle: FT_INVALID_HANDLE. A null count or
//    buffer pointer: FT_INVALID_PARAMETER.
//
// Thread safety: any call from any thread. A handle stays valid until Close;
// closing it while another thread is inside Read on it is allowed (that Read
// finishes on the still-open descriptor, the descriptor is closed after it).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/device_list.h"
#include "link/d2xx.h"
#include "link/d2xx_handles.h"

namespace snimac {

// One device as the D2XX port presents it.
using TTtyDevice = TListedDevice;

// The device list source: DiscoverFtdiTtys (platform/posix/tty_discovery.h),
// or a fixed list, e.g. from ParseDeviceList(getenv("SNIMAC_DEVICES")).
// May throw; the port reports that as FT_OTHER_ERROR.
using TTtyDiscovery = std::function<std::vector<TTtyDevice>()>;

class TTtyD2xx : public TD2xx {
 public:
  static constexpr const char* kUsbSerialSysfs = "/sys/bus/usb-serial/devices";

  // `usbSerialSysfs`: where the kernel lists the USB serial ttys (tests give
  // a folder of their own).
  explicit TTtyD2xx(TTtyDiscovery discover, std::string usbSerialSysfs = kUsbSerialSysfs);
  // Closes every handle still open.
  ~TTtyD2xx() override;

  TTtyD2xx(const TTtyD2xx&) = delete;
  TTtyD2xx& operator=(const TTtyD2xx&) = delete;

  FT_STATUS ListDevices(void* arg1, void* arg2, uint32_t flags) override;
  FT_STATUS OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) override;
  FT_STATUS SetBaudRate(FT_HANDLE handle, uint32_t baud) override;
  FT_STATUS SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                   uint8_t parity) override;
  FT_STATUS SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
  FT_STATUS SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) override;
  FT_STATUS SetLatencyTimer(FT_HANDLE handle, uint8_t ms) override;
  FT_STATUS Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) override;
  FT_STATUS Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) override;
  FT_STATUS Close(FT_HANDLE handle) override;

 private:
  struct TPort;

  // Runs the discovery; false when it threw.
  bool Discover(std::vector<TTtyDevice>& devices);

  // Writes the sysfs latency_timer of the tty at `path`; false when there is
  // none or it cannot be written.
  bool WriteSysfsLatency(const std::string& path, uint8_t ms) const;

  TTtyDiscovery discover_;
  const std::string usbSerialSysfs_;
  std::mutex mutex_;                     // guards the two below
  std::vector<TTtyDevice> listed_;       // result of the last count
  bool haveListed_ = false;
  TD2xxHandles<TPort> ports_;
};

}  // namespace snimac
