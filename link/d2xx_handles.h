// The handles a D2XX port gives out for its open devices: a number of their
// own, never reused, so that a closed handle stays invalid even after other
// devices have been opened. Any call from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "link/d2xx.h"

namespace snimac {

template <typename TPort>
class TD2xxHandles {
 public:
  FT_HANDLE Add(std::shared_ptr<TPort> port) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uintptr_t id = next_++;
    ports_.emplace(id, std::move(port));
    return reinterpret_cast<FT_HANDLE>(id);
  }

  // Null for a null, closed or unknown handle. The port stays alive while
  // the caller holds it, even when another thread closes the handle.
  std::shared_ptr<TPort> Find(FT_HANDLE handle) const {
    if (handle == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = ports_.find(reinterpret_cast<uintptr_t>(handle));
    return it == ports_.end() ? nullptr : it->second;
  }

  // Takes the port out (null when unknown); it closes with its last holder.
  std::shared_ptr<TPort> Remove(FT_HANDLE handle) {
    if (handle == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = ports_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == ports_.end()) return nullptr;
    std::shared_ptr<TPort> port = std::move(it->second);
    ports_.erase(it);
    return port;
  }

  // Whether an open port satisfies `test`.
  template <typename F>
  bool Any(F&& test) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : ports_) {
      if (test(*entry.second)) return true;
    }
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::map<uintptr_t, std::shared_ptr<TPort>> ports_;  // handle value -> open port
  uintptr_t next_ = 1;
};

}  // namespace snimac
