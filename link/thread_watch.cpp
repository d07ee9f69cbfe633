#include "link/thread_watch.h"

namespace snimac {
namespace {

struct TThreadSentinel {
  std::shared_ptr<std::atomic<bool>> alive = std::make_shared<std::atomic<bool>>(true);
  ~TThreadSentinel() { alive->store(false); }
};

}  // namespace

TThreadWatch TThreadWatch::Current() {
  thread_local TThreadSentinel sentinel;
  return TThreadWatch(sentinel.alive);
}

TThreadWatch TThreadWatch::Forever() { return TThreadWatch(std::make_shared<std::atomic<bool>>(true)); }

}  // namespace snimac
