#include "platform/win32/adapters/win32_thread_namer.h"

#include <windows.h>

#include <atomic>

#include "link/thread_name.h"
#include "platform/win32/adapters/wide_text.h"

namespace snimac {

namespace {

using FSetThreadDescription = HRESULT(WINAPI*)(HANDLE thread, PCWSTR description);

std::atomic<FSetThreadDescription> g_setThreadDescription{nullptr};

void NameWin32Thread(const char* name) {
  if (const FSetThreadDescription set = g_setThreadDescription.load()) {
    set(::GetCurrentThread(), Utf8ToWide(name).c_str());
  }
}

}  // namespace

void InstallWin32ThreadNamer() {
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  const FARPROC address = ::GetProcAddress(kernel, "SetThreadDescription");
  if (address == nullptr) return;
  // Through the generic function pointer type: FARPROC cannot say the real one.
  g_setThreadDescription.store(reinterpret_cast<FSetThreadDescription>(reinterpret_cast<void (*)()>(address)));
  SetThreadNamer(&NameWin32Thread);
}

}  // namespace snimac
