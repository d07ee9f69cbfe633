// Thread names visible in debuggers and crash dumps (SetThreadDescription).
#pragma once

namespace snimac {

// Installs the Windows thread namer for the core's threads. SetThreadDescription
// exists from Windows 10 1607 on; without it nothing is installed and
// threads stay unnamed.
void InstallWin32ThreadNamer();

}  // namespace snimac
