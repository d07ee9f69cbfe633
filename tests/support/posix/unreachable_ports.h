// Loopback endpoints that do not answer like a server, for connect tests:
// a port nobody listens on (refused at once), and a listener whose backlog
// is full so that a further connect stays pending (as with a host that
// never answers), without ever leaving 127.0.0.1.
#pragma once

#include <cstdint>
#include <vector>

namespace snimac::test {

// A port on 127.0.0.1 that was free a moment ago and has no listener.
uint16_t ClosedLoopbackPort();

class TFullBacklogListener {
 public:
  // Listens with the smallest backlog and never accepts; connects to it
  // until one stays pending. Throws when the backlog cannot be filled.
  TFullBacklogListener();
  ~TFullBacklogListener();
  TFullBacklogListener(const TFullBacklogListener&) = delete;
  TFullBacklogListener& operator=(const TFullBacklogListener&) = delete;

  uint16_t Port() const { return port_; }

 private:
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::vector<int> fillers_;
};

}  // namespace snimac::test
