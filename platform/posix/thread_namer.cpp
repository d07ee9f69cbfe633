#include "platform/posix/thread_namer.h"

#include <pthread.h>

#include "link/thread_name.h"

namespace snimac {

namespace {
void NamePosixThread(const char* name) { pthread_setname_np(pthread_self(), name); }
}  // namespace

void InstallPosixThreadNamer() { SetThreadNamer(&NamePosixThread); }

}  // namespace snimac
