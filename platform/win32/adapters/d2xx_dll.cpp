#include "platform/win32/adapters/d2xx_dll.h"

#include <windows.h>

#include <stdexcept>

#include "app/texts.h"
#include "platform/win32/adapters/wide_text.h"
#include "platform/win32/adapters/win32_texts.h"

namespace snimac {

// The signatures of ftd2xx.h: FT_STATUS is ULONG, FT_HANDLE is PVOID, and
// every call is WINAPI (__stdcall on 32-bit Windows, where it matters).
struct TD2xxDll::TCalls {
  using FListDevices = ULONG(WINAPI*)(PVOID pArg1, PVOID pArg2, DWORD Flags);
  using FOpenEx = ULONG(WINAPI*)(PVOID pArg1, DWORD Flags, PVOID* pHandle);
  using FSetBaudRate = ULONG(WINAPI*)(PVOID ftHandle, ULONG BaudRate);
  using FSetDataCharacteristics = ULONG(WINAPI*)(PVOID ftHandle, UCHAR WordLength, UCHAR StopBits,
                                                 UCHAR Parity);
  using FSetFlowControl = ULONG(WINAPI*)(PVOID ftHandle, USHORT FlowControl, UCHAR XonChar, UCHAR XoffChar);
  using FSetTimeouts = ULONG(WINAPI*)(PVOID ftHandle, ULONG ReadTimeout, ULONG WriteTimeout);
  using FSetLatencyTimer = ULONG(WINAPI*)(PVOID ftHandle, UCHAR ucLatency);
  using FWrite = ULONG(WINAPI*)(PVOID ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite, LPDWORD lpBytesWritten);
  using FRead = ULONG(WINAPI*)(PVOID ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead, LPDWORD lpBytesReturned);
  using FClose = ULONG(WINAPI*)(PVOID ftHandle);

  explicit TCalls(const std::wstring& wideName) : name(WideToUtf8(wideName)) {
    library = ::LoadLibraryW(wideName.c_str());
    if (library == nullptr) {
      throw std::runtime_error(texts::With(win32_texts::kErrLoadLibrary, name) + SystemErrorText(::GetLastError()));
    }
    try {
      Resolve(listDevices, "FT_ListDevices");
      Resolve(openEx, "FT_OpenEx");
      Resolve(setBaudRate, "FT_SetBaudRate");
      Resolve(setDataCharacteristics, "FT_SetDataCharacteristics");
      Resolve(setFlowControl, "FT_SetFlowControl");
      Resolve(setTimeouts, "FT_SetTimeouts");
      setLatencyTimer = Optional<FSetLatencyTimer>("FT_SetLatencyTimer");
      Resolve(write, "FT_Write");
      Resolve(read, "FT_Read");
      Resolve(close, "FT_Close");
    } catch (...) {
      ::FreeLibrary(library);
      throw;
    }
  }
  ~TCalls() { ::FreeLibrary(library); }
  TCalls(const TCalls&) = delete;
  TCalls& operator=(const TCalls&) = delete;

  template <typename F>
  void Resolve(F& function, const char* symbol) {
    function = Optional<F>(symbol);
    if (function == nullptr) {
      throw std::runtime_error(texts::With(win32_texts::kErrMissingFunction, name) + symbol + ": " +
                               SystemErrorText(::GetLastError()));
    }
  }

  // nullptr when the library lacks it.
  template <typename F>
  F Optional(const char* symbol) {
    const FARPROC address = ::GetProcAddress(library, symbol);
    if (address == nullptr) return nullptr;
    // Through the generic function pointer type: the address is of the type
    // ftd2xx.h declares, which FARPROC cannot say.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(address));
  }

  std::string name;  // for messages
  HMODULE library = nullptr;
  FListDevices listDevices = nullptr;
  FOpenEx openEx = nullptr;
  FSetBaudRate setBaudRate = nullptr;
  FSetDataCharacteristics setDataCharacteristics = nullptr;
  FSetFlowControl setFlowControl = nullptr;
  FSetTimeouts setTimeouts = nullptr;
  FSetLatencyTimer setLatencyTimer = nullptr;
  FWrite write = nullptr;
  FRead read = nullptr;
  FClose close = nullptr;
};

TD2xxDll::TD2xxDll(const std::wstring& name) : calls_(std::make_unique<TCalls>(name)) {}

TD2xxDll::~TD2xxDll() = default;

FT_STATUS TD2xxDll::ListDevices(void* arg1, void* arg2, uint32_t flags) {
  // FT_LIST_NUMBER_ONLY stores a DWORD through arg1: 32 bits, as the port's uint32_t.
  return calls_->listDevices(arg1, arg2, flags);
}

FT_STATUS TD2xxDll::OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
  return calls_->openEx(arg, flags, handle);
}

FT_STATUS TD2xxDll::SetBaudRate(FT_HANDLE handle, uint32_t baud) { return calls_->setBaudRate(handle, baud); }

FT_STATUS TD2xxDll::SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                           uint8_t parity) {
  return calls_->setDataCharacteristics(handle, wordLength, stopBits, parity);
}

FT_STATUS TD2xxDll::SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) {
  return calls_->setFlowControl(handle, flow, xon, xoff);
}

FT_STATUS TD2xxDll::SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) {
  return calls_->setTimeouts(handle, readMs, writeMs);
}

FT_STATUS TD2xxDll::SetLatencyTimer(FT_HANDLE handle, uint8_t ms) {
  if (calls_->setLatencyTimer == nullptr) return FT_NOT_SUPPORTED;
  return calls_->setLatencyTimer(handle, ms);
}

FT_STATUS TD2xxDll::Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) {
  // FT_Write takes LPVOID; it does not modify the buffer. The count goes
  // through a DWORD of its own (unsigned long, not the port's uint32_t).
  DWORD done = 0;
  const FT_STATUS status = calls_->write(handle, const_cast<void*>(buffer), count, written ? &done : nullptr);
  if (written) *written = done;
  return status;
}

FT_STATUS TD2xxDll::Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) {
  DWORD done = 0;
  const FT_STATUS status = calls_->read(handle, buffer, count, received ? &done : nullptr);
  if (received) *received = done;
  return status;
}

FT_STATUS TD2xxDll::Close(FT_HANDLE handle) { return calls_->close(handle); }

}  // namespace snimac
