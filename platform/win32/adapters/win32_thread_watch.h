// Watching a thread by its handle: the link's portable watch relies on a
// thread-local destructor, which MinGW runs on already freed TLS memory.
#pragma once

namespace snimac {

// Installs the handle-based watch for TThreadWatch::Current().
void InstallWin32ThreadWatch();

}  // namespace snimac
