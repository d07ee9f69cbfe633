// Thread names visible in debuggers and /proc (pthread_setname_np).
#pragma once

namespace snimac {

// Installs the POSIX thread namer for the core's threads.
void InstallPosixThreadNamer();

}  // namespace snimac
