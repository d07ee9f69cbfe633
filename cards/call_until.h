// A blocking call that cannot be told to give up (a host name look-up),
// bounded in time all the same: it runs on a thread of its own, and when the
// deadline passes first, that thread is left to finish alone. Its result is
// then destroyed when it ends, so a late answer is neither used nor leaked.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace snimac {

enum class TCallEnd {
  Done,      // `value` holds what the call returned
  TimedOut,  // the deadline passed first
  NoThread,  // no thread could be started; the call did not run
};

template <typename T>
struct TCallResult {
  TCallEnd end = TCallEnd::NoThread;
  T value{};
};

// Runs `call` (which returns a T and must not throw) until `deadline`.
template <typename T, typename F>
TCallResult<T> CallUntil(F call, std::chrono::steady_clock::time_point deadline) {
  // Shared with the thread, which may outlive this call.
  struct TState {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    T value{};
  };
  auto state = std::make_shared<TState>();
  std::thread worker;
  try {
    worker = std::thread([state, call = std::move(call)]() mutable {
      T value = call();
      std::lock_guard<std::mutex> guard(state->lock);
      state->value = std::move(value);
      state->done = true;
      state->finished.notify_all();
    });
  } catch (const std::system_error&) {
    return {};
  }
  std::unique_lock<std::mutex> guard(state->lock);
  if (!state->finished.wait_until(guard, deadline, [&] { return state->done; })) {
    guard.unlock();
    worker.detach();
    return {TCallEnd::TimedOut, T{}};
  }
  TCallResult<T> result{TCallEnd::Done, std::move(state->value)};
  guard.unlock();
  worker.join();
  return result;
}

}  // namespace snimac
