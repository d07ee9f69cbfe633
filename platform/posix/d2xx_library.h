// The D2XX port over FTDI's vendor library libftd2xx.so, loaded at run time
// with dlopen; every call is a plain pass-through (statuses and counts as the
// library returns them).
#pragma once

#include <string>

#include "link/d2xx.h"

namespace snimac {

class TD2xxLibrary : public TD2xx {
 public:
  static constexpr const char* kDefaultName = "libftd2xx.so";

  // Loads the library (dlopen with the usual search rules, so a bare name is
  // looked up in LD_LIBRARY_PATH, ld.so.cache, /lib, /usr/lib) and resolves
  // the ten functions. FT_SetLatencyTimer may be missing: SetLatencyTimer
  // then returns FT_NOT_SUPPORTED and the converter keeps its own timer.
  // Throws std::runtime_error with
  //   "Knihovnu <name> nelze načíst: <dlerror()>"
  // when the library cannot be loaded, or with
  //   "Knihovna <name> neobsahuje funkci <FT_…>: <dlerror()>"
  // when one of the other functions is missing.
  explicit TD2xxLibrary(const std::string& name = kDefaultName);
  ~TD2xxLibrary() override;  // dlclose

  TD2xxLibrary(const TD2xxLibrary&) = delete;
  TD2xxLibrary& operator=(const TD2xxLibrary&) = delete;

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
  // Signatures of ftd2xx.h on Linux, where WinTypes.h makes DWORD and ULONG
  // 32-bit unsigned ints, UCHAR unsigned char, USHORT unsigned short, and
  // WINAPI expands to nothing (default C calling convention).
  using FListDevices = FT_STATUS (*)(void* pArg1, void* pArg2, uint32_t Flags);
  using FOpenEx = FT_STATUS (*)(void* pArg1, uint32_t Flags, FT_HANDLE* pHandle);
  using FSetBaudRate = FT_STATUS (*)(FT_HANDLE ftHandle, uint32_t BaudRate);
  using FSetDataCharacteristics = FT_STATUS (*)(FT_HANDLE ftHandle, uint8_t WordLength, uint8_t StopBits,
                                                uint8_t Parity);
  using FSetFlowControl = FT_STATUS (*)(FT_HANDLE ftHandle, uint16_t FlowControl, uint8_t XonChar,
                                        uint8_t XoffChar);
  using FSetTimeouts = FT_STATUS (*)(FT_HANDLE ftHandle, uint32_t ReadTimeout, uint32_t WriteTimeout);
  using FSetLatencyTimer = FT_STATUS (*)(FT_HANDLE ftHandle, uint8_t ucLatency);
  using FWrite = FT_STATUS (*)(FT_HANDLE ftHandle, void* lpBuffer, uint32_t dwBytesToWrite,
                               uint32_t* lpBytesWritten);
  using FRead = FT_STATUS (*)(FT_HANDLE ftHandle, void* lpBuffer, uint32_t dwBytesToRead,
                              uint32_t* lpBytesReturned);
  using FClose = FT_STATUS (*)(FT_HANDLE ftHandle);

  template <typename F>
  void Resolve(F& function, const char* symbol);
  // nullptr when the library lacks it.
  template <typename F>
  F Optional(const char* symbol);

  std::string name_;
  void* library_ = nullptr;
  FListDevices listDevices_ = nullptr;
  FOpenEx openEx_ = nullptr;
  FSetBaudRate setBaudRate_ = nullptr;
  FSetDataCharacteristics setDataCharacteristics_ = nullptr;
  FSetFlowControl setFlowControl_ = nullptr;
  FSetTimeouts setTimeouts_ = nullptr;
  FSetLatencyTimer setLatencyTimer_ = nullptr;
  FWrite write_ = nullptr;
  FRead read_ = nullptr;
  FClose close_ = nullptr;
};

}  // namespace snimac
