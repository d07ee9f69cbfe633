// The Windows link tests watch threads as the Windows program does: by handle
// (MinGW's thread-local destructors run on freed memory).
#include "platform/win32/adapters/win32_thread_watch.h"

namespace {

const bool g_installed = [] {
  snimac::InstallWin32ThreadWatch();
  return true;
}();

}  // namespace
