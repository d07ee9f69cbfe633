#include "platform/win32/adapters/win32_clock.h"

#include <windows.h>
#include <timeapi.h>

#include <algorithm>

namespace snimac {

TWin32Clock::TWin32Clock() : fineTimer_(::timeBeginPeriod(1) == TIMERR_NOERROR) {
  // Never fails on Windows XP and later.
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  frequency_ = frequency.QuadPart;
}

TWin32Clock::~TWin32Clock() {
  if (fineTimer_) ::timeEndPeriod(1);
}

int64_t TWin32Clock::NowUs() {
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  // In two parts, so that counts * 1e6 cannot overflow after long up-times.
  const int64_t seconds = counter.QuadPart / frequency_;
  const int64_t rest = counter.QuadPart % frequency_;
  return seconds * 1000000 + rest * 1000000 / frequency_;
}

void TWin32Clock::SleepUs(int64_t us) {
  if (us <= 0) return;
  int64_t ms = (us + 999) / 1000;
  // Sleep takes a DWORD, and INFINITE (all ones) means "forever".
  while (ms > 0) {
    const DWORD step = static_cast<DWORD>(std::min<int64_t>(ms, INFINITE - 1));
    ::Sleep(step);
    ms -= step;
  }
}

TLocalTime TWin32Clock::LocalNow() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  TLocalTime local;
  local.year = now.wYear;
  local.month = now.wMonth;
  local.day = now.wDay;
  local.hour = now.wHour;
  local.minute = now.wMinute;
  local.second = now.wSecond;
  local.millisecond = now.wMilliseconds;
  return local;
}

}  // namespace snimac
