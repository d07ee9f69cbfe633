#include "platform/win32/adapters/com_port_d2xx.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/win32/adapters/wide_text.h"

namespace snimac {

namespace {

// Stop bits and parity share their codes with the DCB's.
static_assert(ONESTOPBIT == FT_STOP_BITS_1 && TWOSTOPBITS == FT_STOP_BITS_2);
static_assert(NOPARITY == FT_PARITY_NONE && ODDPARITY == FT_PARITY_ODD && EVENPARITY == FT_PARITY_EVEN &&
              MARKPARITY == FT_PARITY_MARK && SPACEPARITY == FT_PARITY_SPACE);

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Drivers differ in how a total time-out ends a transfer: most complete it
// with fewer bytes, some fail it with one of these.
bool IsTimeout(DWORD error) { return error == ERROR_SEM_TIMEOUT || error == WAIT_TIMEOUT || error == ERROR_TIMEOUT; }

void SetFlowControlOff(DCB& dcb) {
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
}

}  // namespace

std::wstring ComDeviceName(const std::string& path) {
  if (StartsWith(path, "\\\\.\\") || StartsWith(path, "\\\\?\\")) return Utf8ToWide(path);
  return Utf8ToWide("\\\\.\\" + path);
}

struct TComPortD2xx::TPort {
  TPort(HANDLE port, std::wstring deviceName)
      : handle(port),
        name(std::move(deviceName)),
        readEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        writeEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~TPort() {
    ::CloseHandle(handle);
    if (readEvent) ::CloseHandle(readEvent);
    if (writeEvent) ::CloseHandle(writeEvent);
  }
  TPort(const TPort&) = delete;
  TPort& operator=(const TPort&) = delete;

  // Applies `change` to the port's DCB. `change` returns FT_OK or the status
  // for an unsupported argument (then nothing is changed); a DCB that the
  // driver refuses as invalid gives `refused`.
  template <typename F>
  FT_STATUS Update(FT_STATUS refused, F&& change) {
    std::lock_guard<std::mutex> lock(stateMutex);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb)) return FT_IO_ERROR;
    const FT_STATUS status = change(dcb);
    if (status != FT_OK) return status;
    if (!::SetCommState(handle, &dcb)) return ::GetLastError() == ERROR_INVALID_PARAMETER ? refused : FT_IO_ERROR;
    return FT_OK;
  }

  FT_STATUS SetTimeouts(uint32_t readMs, uint32_t writeMs) {
    // No interval time-out and no per-byte part: a read ends when the count
    // has arrived or the total time-out has passed, and 0 waits without limit.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = readMs;
    timeouts.WriteTotalTimeoutConstant = writeMs;
    std::lock_guard<std::mutex> lock(stateMutex);
    // Wine keeps the time-outs without asking the device, so that they are
    // set even on a port whose device went away: its state is read first.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle, &dcb)) return FT_IO_ERROR;
    return ::SetCommTimeouts(handle, &timeouts) ? FT_OK : FT_IO_ERROR;
  }

  // One overlapped ReadFile or WriteFile, waited for. Overlapped, so that a
  // read and a write on the port can be under way at the same time, and so
  // that Close can cancel a transfer in progress.
  FT_STATUS Transfer(bool writing, void* bytes, uint32_t count, uint32_t* done) {
    *done = 0;
    if (count == 0) return FT_OK;
    std::lock_guard<std::mutex> lock(writing ? writeMutex : readMutex);
    OVERLAPPED overlapped{};
    overlapped.hEvent = writing ? writeEvent : readEvent;
    if (overlapped.hEvent == nullptr) return FT_INSUFFICIENT_RESOURCES;
    const BOOL started = writing ? ::WriteFile(handle, bytes, count, nullptr, &overlapped)
                                 : ::ReadFile(handle, bytes, count, nullptr, &overlapped);
    DWORD error = started ? ERROR_SUCCESS : ::GetLastError();
    if (!started && error != ERROR_IO_PENDING) return IsTimeout(error) ? FT_OK : FT_IO_ERROR;
    // A Close that came before the transfer started could not cancel it.
    if (closed.load()) ::CancelIoEx(handle, &overlapped);
    DWORD n = 0;
    error = ::GetOverlappedResult(handle, &overlapped, &n, TRUE) ? ERROR_SUCCESS : ::GetLastError();
    *done = n;
    if (error == ERROR_SUCCESS || IsTimeout(error)) return FT_OK;
    return FT_IO_ERROR;  // the device went away, or the handle was closed meanwhile
  }

  const HANDLE handle;
  const std::wstring name;
  const HANDLE readEvent;
  const HANDLE writeEvent;
  std::mutex stateMutex;  // read-modify-write of the DCB, the time-outs
  std::mutex readMutex;   // one read at a time (readEvent)
  std::mutex writeMutex;  // one write at a time (writeEvent)
  std::atomic<bool> closed{false};
};

TComPortD2xx::TComPortD2xx(std::vector<TListedDevice> devices) : devices_(std::move(devices)) {}

TComPortD2xx::~TComPortD2xx() = default;  // the ports close their handles

FT_STATUS TComPortD2xx::ListDevices(void* arg1, void* arg2, uint32_t flags) {
  return ListFromDevices(devices_, arg1, arg2, flags);
}

FT_STATUS TComPortD2xx::OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
  const FT_STATUS valid = CheckOpenQuery(arg, flags, handle);
  if (valid != FT_OK) return valid;
  const TListedDevice* device = FindDevice(devices_, static_cast<const char*>(arg), flags);
  if (device == nullptr) return FT_DEVICE_NOT_FOUND;
  const std::wstring name = ComDeviceName(device->path);
  // One user at a time, as with D2XX; not left to the driver alone.
  if (ports_.Any([&](const TPort& open) { return _wcsicmp(open.name.c_str(), name.c_str()) == 0; })) {
    return FT_DEVICE_NOT_OPENED;
  }

  // No sharing: a port that another program has open is not opened.
  const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FT_DEVICE_NOT_OPENED;
  auto port = std::make_shared<TPort>(file, name);  // closes the handle on every failure below
  if (port->readEvent == nullptr || port->writeEvent == nullptr) return FT_INSUFFICIENT_RESOURCES;
  // GetCommState fails for anything that is not a serial port.
  const FT_STATUS status = port->Update(FT_DEVICE_NOT_OPENED, [](DCB& dcb) {
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    // A line error must not stop every later transfer until it is cleared.
    dcb.fAbortOnError = FALSE;
    SetFlowControlOff(dcb);
    return FT_OK;
  });
  if (status != FT_OK) return FT_DEVICE_NOT_OPENED;
  if (port->SetTimeouts(0, 0) != FT_OK) return FT_DEVICE_NOT_OPENED;
  // Input from before the open is not ours, nor output still queued.
  ::PurgeComm(file, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);

  *handle = ports_.Add(std::move(port));
  return FT_OK;
}

FT_STATUS TComPortD2xx::SetBaudRate(FT_HANDLE handle, uint32_t baud) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (baud == 0) return FT_INVALID_BAUD_RATE;
  return port->Update(FT_INVALID_BAUD_RATE, [&](DCB& dcb) {
    dcb.BaudRate = baud;
    return FT_OK;
  });
}

FT_STATUS TComPortD2xx::SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                               uint8_t parity) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (!ValidDataCharacteristics(wordLength, stopBits, parity)) return FT_INVALID_PARAMETER;
  return port->Update(FT_INVALID_PARAMETER, [&](DCB& dcb) {
    dcb.ByteSize = wordLength;
    dcb.StopBits = stopBits;
    dcb.Parity = parity;
    dcb.fParity = parity != FT_PARITY_NONE;
    return FT_OK;
  });
}

FT_STATUS TComPortD2xx::SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (flow != FT_FLOW_NONE && flow != FT_FLOW_RTS_CTS && flow != FT_FLOW_DTR_DSR && flow != FT_FLOW_XON_XOFF) {
    return FT_INVALID_PARAMETER;
  }
  // Windows refuses a DCB whose XON and XOFF characters are equal, even
  // without XON/XOFF flow control: the characters are only set for it.
  if (flow == FT_FLOW_XON_XOFF && xon == xoff) return FT_INVALID_PARAMETER;
  return port->Update(FT_INVALID_PARAMETER, [&](DCB& dcb) {
    SetFlowControlOff(dcb);
    if (flow == FT_FLOW_RTS_CTS) {
      dcb.fOutxCtsFlow = TRUE;
      dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    } else if (flow == FT_FLOW_DTR_DSR) {
      dcb.fOutxDsrFlow = TRUE;
      dcb.fDtrControl = DTR_CONTROL_HANDSHAKE;
    } else if (flow == FT_FLOW_XON_XOFF) {
      dcb.fOutX = TRUE;
      dcb.fInX = TRUE;
      dcb.XonChar = static_cast<char>(xon);
      dcb.XoffChar = static_cast<char>(xoff);
    }
    return FT_OK;
  });
}

FT_STATUS TComPortD2xx::SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  return port->SetTimeouts(readMs, writeMs);
}

// Nothing to set: the serial API has no latency timer. Under the converter
// maker's virtual COM port driver the timer is a setting of the port itself
// (its advanced properties, kept by the driver in the registry and read when
// the device starts), which a program cannot change for its own handle; with
// any other serial driver there is no such timer at all.
FT_STATUS TComPortD2xx::SetLatencyTimer(FT_HANDLE handle, uint8_t ms) {
  if (!ports_.Find(handle)) return FT_INVALID_HANDLE;
  return ms < kMinLatencyMs ? FT_INVALID_PARAMETER : FT_OK;
}

FT_STATUS TComPortD2xx::Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (written == nullptr || (buffer == nullptr && count > 0)) return FT_INVALID_PARAMETER;
  // WriteFile does not modify the bytes.
  return port->Transfer(true, const_cast<void*>(buffer), count, written);
}

FT_STATUS TComPortD2xx::Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (received == nullptr || (buffer == nullptr && count > 0)) return FT_INVALID_PARAMETER;
  return port->Transfer(false, buffer, count, received);
}

FT_STATUS TComPortD2xx::Close(FT_HANDLE handle) {
  const std::shared_ptr<TPort> port = ports_.Remove(handle);
  if (!port) return FT_INVALID_HANDLE;
  // A transfer another thread has under way ends now, not at its time-out
  // (which may be "never"); the handle closes with the last reference.
  port->closed.store(true);
  ::CancelIoEx(port->handle, nullptr);
  return FT_OK;
}

}  // namespace snimac
