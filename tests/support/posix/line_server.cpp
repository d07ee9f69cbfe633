#include "tests/support/posix/line_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace snimac::test {

TLineServer::TLineServer(THandler handler) : handler_(std::move(handler)) {
  int stop[2];
  if (::pipe2(stop, O_CLOEXEC) != 0) throw std::runtime_error("pipe2");
  stopRead_ = stop[0];
  stopWrite_ = stop[1];
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // any free port
  socklen_t size = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 8) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

TLineServer::~TLineServer() {
  const char stop = 1;
  (void)!::write(stopWrite_, &stop, 1);
  thread_.join();
  ::close(listenFd_);
  ::close(stopRead_);
  ::close(stopWrite_);
}

std::string TLineServer::Address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TLineServer::Received() const {
  std::lock_guard<std::mutex> guard(lock_);
  return received_;
}

std::vector<std::string> TLineServer::Lines() const {
  std::lock_guard<std::mutex> guard(lock_);
  return lines_;
}

int TLineServer::Connections() const {
  std::lock_guard<std::mutex> guard(lock_);
  return connections_;
}

bool TLineServer::WaitForEnded(int count, std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> guard(lock_);
  return changed_.wait_for(guard, limit, [&] { return ended_ >= count; });
}

bool TLineServer::WaitFor(int fd, short events) {
  pollfd entries[2] = {{fd, events, 0}, {stopRead_, POLLIN, 0}};
  for (;;) {
    const int n = ::poll(entries, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || entries[1].revents != 0) return false;
    return true;
  }
}

void TLineServer::Serve() {
  while (WaitFor(listenFd_, POLLIN)) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    {
      std::lock_guard<std::mutex> guard(lock_);
      ++connections_;
    }
    ServeConnection(fd);
    ::close(fd);
    std::lock_guard<std::mutex> guard(lock_);
    ++ended_;
    changed_.notify_all();
  }
}

void TLineServer::ServeConnection(int fd) {
  std::string pending;
  while (WaitFor(fd, POLLIN)) {
    char chunk[512];
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return;  // the client closed (or reset) the connection
    pending.append(chunk, static_cast<size_t>(n));
    {
      std::lock_guard<std::mutex> guard(lock_);
      received_.append(chunk, static_cast<size_t>(n));
    }
    for (size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
      const std::string line = pending.substr(0, end);
      pending.erase(0, end + 2);
      {
        std::lock_guard<std::mutex> guard(lock_);
        lines_.push_back(line);
      }
      const TServerAction action = handler_(line);
      if (!Send(fd, action.send) || action.close) return;
      if (action.endless) return SendEndless(fd, action.trickle);
    }
  }
}

bool TLineServer::Send(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    if (!WaitFor(fd, POLLOUT)) return false;
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      return false;
    }
  }
  return true;
}

void TLineServer::SendEndless(int fd, std::chrono::milliseconds trickle) {
  const std::string chunk(trickle.count() > 0 ? 1 : 4096, 'x');
  for (;;) {
    if (trickle.count() > 0) {
      pollfd stop{stopRead_, POLLIN, 0};
      if (::poll(&stop, 1, static_cast<int>(trickle.count())) != 0) return;
    }
    if (!Send(fd, chunk)) return;  // the client has gone away
  }
}

}  // namespace snimac::test
