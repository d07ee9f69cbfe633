#include "tests/support/posix/unreachable_ports.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace snimac::test {

namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

// A socket bound to a free loopback port; the port through `port`.
int BoundSocket(uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("cannot bind on 127.0.0.1");
  }
  port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

uint16_t ClosedLoopbackPort() {
  uint16_t port = 0;
  ::close(BoundSocket(port));
  return port;
}

TFullBacklogListener::TFullBacklogListener() {
  listenFd_ = BoundSocket(port_);
  if (::listen(listenFd_, 0) != 0) throw std::runtime_error("listen");
  const sockaddr_in address = Loopback(port_);
  for (int i = 0; i < 16; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    fillers_.push_back(fd);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) continue;
    if (errno != EINPROGRESS) throw std::runtime_error("connect to the backlog listener");
    pollfd entry{fd, POLLOUT, 0};
    if (::poll(&entry, 1, 200) == 0) return;  // pending: the backlog is full
  }
  throw std::runtime_error("the listener's backlog did not fill");
}

TFullBacklogListener::~TFullBacklogListener() {
  for (int fd : fillers_) ::close(fd);
  ::close(listenFd_);
}

}  // namespace snimac::test
