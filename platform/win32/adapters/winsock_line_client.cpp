#include "platform/win32/adapters/winsock_line_client.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "cards/call_until.h"
#include "platform/win32/adapters/wide_text.h"

namespace snimac {

namespace {

static_assert(sizeof(SOCKET) == sizeof(uintptr_t));

using TSteady = std::chrono::steady_clock;

// Winsock for the whole process: started once, on first use, and cleaned up
// at exit.
class TWinsockSession {
 public:
  TWinsockSession() {
    WSADATA data{};
    up_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~TWinsockSession() {
    if (up_) ::WSACleanup();
  }
  TWinsockSession(const TWinsockSession&) = delete;
  TWinsockSession& operator=(const TWinsockSession&) = delete;
  bool Up() const { return up_; }

 private:
  bool up_ = false;
};

bool StartWinsock() {
  static const TWinsockSession session;
  return session.Up();
}

struct TAddrInfoFree {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};
using TAddrInfoList = std::unique_ptr<addrinfo, TAddrInfoFree>;

enum class TWaitFor { Reading, Writing };

// Waits until the socket is ready for `what` or the deadline passes.
// 1 ready (or in error: the next call on the socket tells which), 0 time-out,
// -1 failure. A failed non-blocking connect shows in the exception set.
int WaitUntil(SOCKET s, TWaitFor what, TSteady::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::microseconds>(deadline - TSteady::now());
  const int64_t us = std::max<int64_t>(0, left.count());
  timeval limit{};
  limit.tv_sec = static_cast<long>(std::min<int64_t>(us / 1000000, LONG_MAX));
  limit.tv_usec = static_cast<long>(us % 1000000);
  fd_set ready;
  fd_set failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(s, &ready);
  FD_SET(s, &failed);
  // The first argument is ignored by Winsock.
  const int n = what == TWaitFor::Reading ? ::select(0, &ready, nullptr, &failed, &limit)
                                          : ::select(0, nullptr, &ready, &failed, &limit);
  if (n > 0) return 1;
  return n == 0 ? 0 : -1;
}

// The addresses of `host`, looked up on a thread of its own so that a dead
// name server cannot outlast the deadline.
TCallResult<TAddrInfoList> Resolve(const std::string& host, uint16_t port, TSteady::time_point deadline) {
  return CallUntil<TAddrInfoList>(
      [host, service = std::to_string(port)] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        addrinfo* list = nullptr;
        const int error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
        return TAddrInfoList(error == 0 ? list : nullptr);
      },
      deadline);
}

enum class TAttempt { Connected, Failed, TimedOut };

// One non-blocking connect, waited for until the deadline.
TAttempt ConnectOne(SOCKET s, const addrinfo& address, TSteady::time_point deadline) {
  u_long nonBlocking = 1;
  if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return TAttempt::Failed;
  if (address.ai_addrlen > static_cast<size_t>(INT_MAX)) return TAttempt::Failed;
  if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) return TAttempt::Connected;
  if (::WSAGetLastError() != WSAEWOULDBLOCK) return TAttempt::Failed;
  const int ready = WaitUntil(s, TWaitFor::Writing, deadline);
  if (ready == 0) return TAttempt::TimedOut;
  if (ready < 0) return TAttempt::Failed;
  int error = 0;
  int size = sizeof error;
  if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 || error != 0) {
    return TAttempt::Failed;
  }
  return TAttempt::Connected;
}

}  // namespace

TWinsockLineClient::TWinsockLineClient() : socket_(INVALID_SOCKET), winsockUp_(StartWinsock()) {}

TWinsockLineClient::~TWinsockLineClient() { Disconnect(); }

bool TWinsockLineClient::Connected() const { return socket_ != INVALID_SOCKET; }

TConnectResult TWinsockLineClient::Connect(const std::string& host, uint16_t port,
                                           std::chrono::milliseconds timeout) {
  Disconnect();
  if (!winsockUp_) return TConnectResult::Failed;
  const auto deadline = TSteady::now() + timeout;
  const TCallResult<TAddrInfoList> resolved = Resolve(host, port, deadline);
  if (resolved.end == TCallEnd::TimedOut) return TConnectResult::TimedOut;
  // Every address the name has (e.g. ::1, then 127.0.0.1), within the one deadline.
  for (const addrinfo* address = resolved.value.get(); address; address = address->ai_next) {
    // Not inherited: a program started later must not keep the connection.
    const SOCKET s = ::WSASocketW(address->ai_family, address->ai_socktype, address->ai_protocol, nullptr, 0,
                                  WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) continue;
    const TAttempt attempt = ConnectOne(s, *address, deadline);
    if (attempt == TAttempt::Connected) {
      socket_ = s;
      return TConnectResult::Connected;
    }
    ::closesocket(s);
    if (attempt == TAttempt::TimedOut) return TConnectResult::TimedOut;
  }
  return TConnectResult::Failed;
}

bool TWinsockLineClient::WriteLine(const std::string& line, std::chrono::milliseconds timeout) {
  if (!Connected()) return false;
  const SOCKET s = socket_;
  const auto deadline = TSteady::now() + timeout;
  const std::string bytes = line + "\r\n";
  size_t sent = 0;
  while (sent < bytes.size()) {
    const int want = static_cast<int>(std::min<size_t>(bytes.size() - sent, INT_MAX));
    const int n = ::send(s, bytes.data() + sent, want, 0);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) {
      if (WaitUntil(s, TWaitFor::Writing, deadline) <= 0) return false;
    } else {
      return false;
    }
  }
  return true;
}

TLineRead TWinsockLineClient::ReadLine(std::chrono::milliseconds timeout, size_t maxLength) {
  if (!Connected()) return {TLineStatus::Failed, {}};
  const SOCKET s = socket_;
  const auto deadline = TSteady::now() + timeout;
  for (;;) {
    if (auto line = received_.Next(maxLength)) return *line;
    // Never more than it takes to decide, so the buffer stays bounded.
    char chunk[512];
    const int n = ::recv(s, chunk, static_cast<int>(std::min(sizeof chunk, received_.Room(maxLength))), 0);
    if (n > 0) {
      received_.Add(chunk, static_cast<size_t>(n));
    } else if (n == 0) {
      return {TLineStatus::Closed, {}};
    } else if (::WSAGetLastError() == WSAEWOULDBLOCK) {
      const int ready = WaitUntil(s, TWaitFor::Reading, deadline);
      if (ready == 0) return {TLineStatus::TimedOut, {}};
      if (ready < 0) return {TLineStatus::Failed, {}};
    } else {
      return {TLineStatus::Failed, {}};
    }
  }
}

void TWinsockLineClient::Disconnect() {
  if (Connected()) ::closesocket(socket_);
  socket_ = INVALID_SOCKET;
  received_.Clear();
}

std::string ServerSettingFromEnvironment() { return EnvironmentUtf8("SNIMAC_SERVER").value_or(""); }

}  // namespace snimac
