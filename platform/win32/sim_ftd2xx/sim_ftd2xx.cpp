// FTD2XX.DLL over the built-in simulated readers: the ten D2XX calls of
// FTDI's library, with its calling convention and argument types, passed to
// the simulated bus that SNIMAC_FTDI=sim gives the program itself (two
// readers, "Snimac simulated reader" SIM00001 and "Snimac simulated evid
// reader" SIM00002, the SNIMAC_SIM_* settings, a demonstration card every
// SNIMAC_SIM_CARD_INTERVAL_MS). The bus is made at the first call, from the
// process's environment, on the real clock.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>

#include "app/ftdi_access.h"
#include "platform/win32/adapters/win32_clock.h"

namespace {

using snimac::FT_STATUS;

struct TSimulatedBus {
  snimac::TWin32Clock clock;
  snimac::TFtdiAccess access;  // destroyed before the clock it runs on
};

std::optional<std::string> EnvironmentSetting(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

// The demonstration cards run on a thread inside this DLL, so the DLL stays
// loaded until the process ends: a FreeLibrary must not take the code away
// from under that thread.
void PinThisModule() {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&PinThisModule), &self);
}

void Complain(const std::string& what) {
  const std::string line = "FTD2XX.DLL (simulated readers): " + what + "\n";
  std::fputs(line.c_str(), stderr);
  OutputDebugStringA(line.c_str());
}

snimac::TD2xx* MakeBus() {
  try {
    PinThisModule();
    // Never destroyed: the process ends with it, and joining the card thread
    // while Windows unloads the DLL could hang the exit.
    auto* bus = new TSimulatedBus;
    bus->access = snimac::SimulatedFtdiAccess(EnvironmentSetting, bus->clock);
    return bus->access.d2xx.get();
  } catch (const std::exception& e) {
    Complain(e.what());
  } catch (...) {
    Complain("the simulated readers could not be set up");
  }
  return nullptr;
}

// The bus, made once; nullptr when it could not be made (said on stderr and
// to the debugger), and then every call fails with FT_OTHER_ERROR.
snimac::TD2xx* Bus() {
  static snimac::TD2xx* const bus = MakeBus();
  return bus;
}

// Runs one call on the bus; no exception leaves the DLL.
template <typename TCall>
FT_STATUS OnBus(TCall call) {
  try {
    snimac::TD2xx* bus = Bus();
    return bus ? call(*bus) : snimac::FT_OTHER_ERROR;
  } catch (const std::exception& e) {
    Complain(e.what());
  } catch (...) {
    Complain("unexpected failure");
  }
  return snimac::FT_OTHER_ERROR;
}

// A count through the library's DWORD (unsigned long) out-parameter; a
// missing one stays missing, for the bus to refuse.
FT_STATUS WithCount(LPDWORD out, const auto& call) {
  uint32_t count = 0;
  const FT_STATUS status = call(out ? &count : nullptr);
  if (out) *out = count;
  return status;
}

}  // namespace

extern "C" {

ULONG WINAPI FT_ListDevices(PVOID pArg1, PVOID pArg2, DWORD Flags) {
  return OnBus([&](snimac::TD2xx& bus) { return bus.ListDevices(pArg1, pArg2, Flags); });
}

ULONG WINAPI FT_OpenEx(PVOID pArg1, DWORD Flags, PVOID* pHandle) {
  return OnBus([&](snimac::TD2xx& bus) { return bus.OpenEx(pArg1, Flags, pHandle); });
}

ULONG WINAPI FT_SetBaudRate(PVOID ftHandle, ULONG BaudRate) {
  return OnBus([&](snimac::TD2xx& bus) { return bus.SetBaudRate(ftHandle, BaudRate); });
}

ULONG WINAPI FT_SetDataCharacteristics(PVOID ftHandle, UCHAR WordLength, UCHAR StopBits, UCHAR Parity) {
  return OnBus([&](snimac::TD2xx& bus) { return bus.SetDataCharacteristics(ftHandle, WordLength, StopBits, Parity); });
}

ULONG WINAPI FT_SetFlowControl(PVOID ftHandle, USHORT FlowControl, UCHAR XonChar, UCHAR XoffChar) {
  return OnBus([&](snimac::TD2xx& bus) { return bus.SetFlowControl(ftHandle, FlowControl, XonChar, XoffChar); });
}

ULONG WINAPI FT_SetTimeouts(PVOID ftHandle, ULONG ReadTimeout, ULONG WriteTimeout) {
  return OnBus([&](snimac::TD2xx& bus) { return bus.SetTimeouts(ftHandle, ReadTimeout, WriteTimeout); });
}

ULONG WINAPI FT_SetLatencyTimer(PVOID ftHandle, UCHAR ucLatency) {
  return OnBus([&](snimac::TD2xx& bus) { return bus.SetLatencyTimer(ftHandle, ucLatency); });
}

ULONG WINAPI FT_Write(PVOID ftHandle, LPVOID lpBuffer, DWORD dwBytesToWrite, LPDWORD lpBytesWritten) {
  return OnBus([&](snimac::TD2xx& bus) {
    return WithCount(lpBytesWritten,
                     [&](uint32_t* written) { return bus.Write(ftHandle, lpBuffer, dwBytesToWrite, written); });
  });
}

ULONG WINAPI FT_Read(PVOID ftHandle, LPVOID lpBuffer, DWORD dwBytesToRead, LPDWORD lpBytesReturned) {
  return OnBus([&](snimac::TD2xx& bus) {
    return WithCount(lpBytesReturned,
                     [&](uint32_t* received) { return bus.Read(ftHandle, lpBuffer, dwBytesToRead, received); });
  });
}

ULONG WINAPI FT_Close(PVOID ftHandle) {
  return OnBus([&](snimac::TD2xx& bus) { return bus.Close(ftHandle); });
}

}  // extern "C"
