#include "link/thread_name.h"

#include <atomic>

namespace snimac {

namespace {
std::atomic<TThreadNamer> g_namer{nullptr};
}  // namespace

void SetThreadNamer(TThreadNamer namer) { g_namer.store(namer); }

void NameCurrentThread(const char* name) {
  if (TThreadNamer namer = g_namer.load()) namer(name);
}

}  // namespace snimac
