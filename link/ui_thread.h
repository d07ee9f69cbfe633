// The user-interface thread's event queue as the link sees it: work posted
// here runs later, in order, on the UI thread. Posting never waits.
#pragma once

#include <functional>

namespace snimac {

class TUiThread {
 public:
  virtual ~TUiThread() = default;
  virtual void Post(std::function<void()> task) = 0;
};

}  // namespace snimac
