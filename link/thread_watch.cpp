#include "link/thread_watch.h"

#include <atomic>
#include <memory>

namespace snimac {
namespace {

struct TThreadSentinel {
  std::shared_ptr<std::atomic<bool>> alive = std::make_shared<std::atomic<bool>>(true);
  ~TThreadSentinel() { alive->store(false); }
};

std::atomic<TThreadWatchMaker> g_maker{nullptr};

TThreadWatch WatchWithSentinel() {
  thread_local TThreadSentinel sentinel;
  std::shared_ptr<std::atomic<bool>> alive = sentinel.alive;
  return TThreadWatch::FromProbe([alive] { return alive->load(); });
}

}  // namespace

void SetThreadWatchMaker(TThreadWatchMaker maker) { g_maker.store(maker); }

TThreadWatch TThreadWatch::Current() {
  if (TThreadWatchMaker maker = g_maker.load()) return maker();
  return WatchWithSentinel();
}

TThreadWatch TThreadWatch::Forever() {
  return FromProbe([] { return true; });
}

}  // namespace snimac
