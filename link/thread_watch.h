// Lets the link notice that the thread which created it has ended, without
// any OS call: a thread-local sentinel clears a shared flag at thread exit.
#pragma once

#include <atomic>
#include <memory>

namespace snimac {

class TThreadWatch {
 public:
  // Watches the calling thread.
  static TThreadWatch Current();
  // A watch that never reports its thread gone (single-threaded simulation).
  static TThreadWatch Forever();

  bool Alive() const { return alive_->load(); }

 private:
  explicit TThreadWatch(std::shared_ptr<std::atomic<bool>> alive) : alive_(std::move(alive)) {}
  std::shared_ptr<std::atomic<bool>> alive_;
};

}  // namespace snimac
