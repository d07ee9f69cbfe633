#include "platform/win32/adapters/win32_serial_port.h"

#include <windows.h>

#include <climits>

#include "platform/win32/adapters/wide_text.h"

namespace snimac {

namespace {

class TWin32SerialPort : public TSerialPort {
 public:
  TWin32SerialPort(HANDLE port, HANDLE done) : port_(port), done_(done) {}
  ~TWin32SerialPort() override {
    ::CloseHandle(port_);
    ::CloseHandle(done_);
  }
  TWin32SerialPort(const TWin32SerialPort&) = delete;
  TWin32SerialPort& operator=(const TWin32SerialPort&) = delete;

  // One overlapped write, waited for up to the time-out and cancelled after
  // it: the port's own write time-out is the driver's to honour, this bound
  // holds for any device (a pipe, a driver without time-outs).
  bool Write(const void* bytes, size_t count) override {
    if (count == 0) return true;
    if (count > MAXDWORD) return false;
    OVERLAPPED overlapped{};
    // At the end of a file, for a regular file; devices ignore the offset.
    overlapped.Offset = MAXDWORD;
    overlapped.OffsetHigh = MAXDWORD;
    overlapped.hEvent = done_;
    const DWORD size = static_cast<DWORD>(count);
    if (!::WriteFile(port_, bytes, size, nullptr, &overlapped) && ::GetLastError() != ERROR_IO_PENDING) {
      return false;
    }
    if (::WaitForSingleObject(done_, static_cast<DWORD>(kSerialWriteTimeout.count())) != WAIT_OBJECT_0) {
      ::CancelIoEx(port_, &overlapped);
    }
    DWORD written = 0;
    // Waits for the cancellation too: `overlapped` must outlive the transfer.
    const BOOL ok = ::GetOverlappedResult(port_, &overlapped, &written, TRUE);
    return ok && written == size;
  }

 private:
  HANDLE port_;
  HANDLE done_;  // manual-reset event of the write in progress
};

}  // namespace

std::unique_ptr<TSerialPort> OpenWin32SerialPort(const std::string& utf8Path) {
  if (utf8Path.empty()) return nullptr;
  const HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (done == nullptr) return nullptr;
  const HANDLE port = ::CreateFileW(Utf8ToWide(utf8Path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    ::CloseHandle(done);
    return nullptr;
  }
  // On a serial port the driver itself gives up on a write after the
  // time-out (GetCommTimeouts fails for anything else, which keeps the
  // outer bound only). Reads are never made.
  COMMTIMEOUTS timeouts{};
  if (::GetCommTimeouts(port, &timeouts)) {
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(kSerialWriteTimeout.count());
    ::SetCommTimeouts(port, &timeouts);
  }
  return std::make_unique<TWin32SerialPort>(port, done);
}

std::string SerialPortPathFromEnvironment() {
  const auto path = EnvironmentUtf8("SNIMAC_SERIAL_PORT");
  return path && !path->empty() ? *path : kDefaultWin32SerialPortPath;
}

}  // namespace snimac
