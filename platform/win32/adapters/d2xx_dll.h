// The D2XX port over FTDI's vendor library FTD2XX.DLL, loaded at run time
// with LoadLibraryW; every call is a plain pass-through (statuses and counts
// as the library returns them).
#pragma once

#include <memory>
#include <string>

#include "link/d2xx.h"

namespace snimac {

class TD2xxDll : public TD2xx {
 public:
  static constexpr const wchar_t* kDefaultName = L"FTD2XX.DLL";

  // Loads the library (LoadLibraryW with the usual search order, so a bare
  // name is looked up in the program's folder, then the system folders and
  // PATH) and resolves the ten calls by their undecorated names.
  // FT_SetLatencyTimer may be missing: SetLatencyTimer then returns
  // FT_NOT_SUPPORTED and the converter keeps its own timer. Throws
  // std::runtime_error with
  //   "Knihovnu <name> nelze načíst: <system's reason>"
  // when the library cannot be loaded, or with
  //   "Knihovna <name> neobsahuje funkci <FT_…>: <system's reason>"
  // when one of the other calls is missing.
  explicit TD2xxDll(const std::wstring& name = kDefaultName);
  ~TD2xxDll() override;  // FreeLibrary

  TD2xxDll(const TD2xxDll&) = delete;
  TD2xxDll& operator=(const TD2xxDll&) = delete;

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
  struct TCalls;  // the library's entry points, typed as in ftd2xx.h
  std::unique_ptr<TCalls> calls_;
};

}  // namespace snimac
