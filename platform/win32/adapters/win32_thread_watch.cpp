#include "platform/win32/adapters/win32_thread_watch.h"

#include <windows.h>

#include <memory>

#include "link/thread_watch.h"

namespace snimac {
namespace {

// A handle of the calling thread that outlives it: signalled once it ends.
TThreadWatch WatchCurrentWin32Thread() {
  const HANDLE thread = ::OpenThread(SYNCHRONIZE, FALSE, ::GetCurrentThreadId());
  // Without a handle the thread cannot be watched; its owner still ends the link.
  if (thread == nullptr) return TThreadWatch::Forever();
  std::shared_ptr<void> handle(thread, ::CloseHandle);
  return TThreadWatch::FromProbe([handle] { return ::WaitForSingleObject(handle.get(), 0) == WAIT_TIMEOUT; });
}

}  // namespace

void InstallWin32ThreadWatch() { SetThreadWatchMaker(&WatchCurrentWin32Thread); }

}  // namespace snimac
