#include "platform/posix/tcp_line_client.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "cards/call_until.h"

namespace snimac {

namespace {

using TSteady = std::chrono::steady_clock;

struct TAddrInfoFree {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};
using TAddrInfoList = std::unique_ptr<addrinfo, TAddrInfoFree>;

// Waits until `fd` is ready for `events` or the deadline passes.
// 1 ready (or hung up / in error: the next call on the socket tells which),
// 0 time-out, -1 failure.
int PollUntil(int fd, short events, TSteady::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - TSteady::now());
    pollfd entry{fd, events, 0};
    const int n = ::poll(&entry, 1, static_cast<int>(std::max<int64_t>(0, left.count())));
    if (n > 0) return 1;
    if (n == 0) return 0;
    if (errno != EINTR) return -1;
  }
}

// The addresses of `host`, looked up on a thread of its own so that a dead
// name server cannot outlast the deadline.
TCallResult<TAddrInfoList> Resolve(const std::string& host, uint16_t port, TSteady::time_point deadline) {
  return CallUntil<TAddrInfoList>(
      [host, service = std::to_string(port)] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        const int error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
        return TAddrInfoList(error == 0 ? list : nullptr);
      },
      deadline);
}

enum class TAttempt { Connected, Failed, TimedOut };

// One non-blocking connect, waited for until the deadline.
TAttempt ConnectOne(int fd, const addrinfo& address, TSteady::time_point deadline) {
  if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0) return TAttempt::Connected;
  // EINTR: the connect goes on in the background, as with EINPROGRESS.
  if (errno != EINPROGRESS && errno != EINTR) return TAttempt::Failed;
  const int ready = PollUntil(fd, POLLOUT, deadline);
  if (ready == 0) return TAttempt::TimedOut;
  if (ready < 0) return TAttempt::Failed;
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return TAttempt::Failed;
  return TAttempt::Connected;
}

}  // namespace

TTcpLineClient::~TTcpLineClient() { Disconnect(); }

TConnectResult TTcpLineClient::Connect(const std::string& host, uint16_t port,
                                       std::chrono::milliseconds timeout) {
  Disconnect();
  const auto deadline = TSteady::now() + timeout;
  const TCallResult<TAddrInfoList> resolved = Resolve(host, port, deadline);
  if (resolved.end == TCallEnd::TimedOut) return TConnectResult::TimedOut;
  // Every address the name has (e.g. ::1, then 127.0.0.1), within the one deadline.
  for (const addrinfo* address = resolved.value.get(); address; address = address->ai_next) {
    const int fd = ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address->ai_protocol);
    if (fd < 0) continue;
    const TAttempt attempt = ConnectOne(fd, *address, deadline);
    if (attempt == TAttempt::Connected) {
      fd_ = fd;
      return TConnectResult::Connected;
    }
    ::close(fd);
    if (attempt == TAttempt::TimedOut) return TConnectResult::TimedOut;
  }
  return TConnectResult::Failed;
}

bool TTcpLineClient::WriteLine(const std::string& line, std::chrono::milliseconds timeout) {
  if (fd_ < 0) return false;
  const auto deadline = TSteady::now() + timeout;
  const std::string bytes = line + "\r\n";
  size_t sent = 0;
  while (sent < bytes.size()) {
    // MSG_NOSIGNAL: a server that has gone away is an error here, not SIGPIPE.
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (PollUntil(fd_, POLLOUT, deadline) <= 0) return false;
    } else {
      return false;
    }
  }
  return true;
}

TLineRead TTcpLineClient::ReadLine(std::chrono::milliseconds timeout, size_t maxLength) {
  if (fd_ < 0) return {TLineStatus::Failed, {}};
  const auto deadline = TSteady::now() + timeout;
  for (;;) {
    if (auto line = received_.Next(maxLength)) return *line;
    // Never more than it takes to decide, so the buffer stays bounded.
    char chunk[512];
    const ssize_t n = ::recv(fd_, chunk, std::min(sizeof chunk, received_.Room(maxLength)), 0);
    if (n > 0) {
      received_.Add(chunk, static_cast<size_t>(n));
    } else if (n == 0) {
      return {TLineStatus::Closed, {}};
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      const int ready = PollUntil(fd_, POLLIN, deadline);
      if (ready == 0) return {TLineStatus::TimedOut, {}};
      if (ready < 0) return {TLineStatus::Failed, {}};
    } else {
      return {TLineStatus::Failed, {}};
    }
  }
}

void TTcpLineClient::Disconnect() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  received_.Clear();
}

std::string ServerSettingFromEnvironment() {
  const char* setting = std::getenv("SNIMAC_SERVER");
  return setting ? setting : "";
}

}  // namespace snimac
