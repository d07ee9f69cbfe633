// A TCP client that talks in text lines ended by CR LF: the attendance
// server's protocol. Every operation is bounded in time, and a reply line in
// length, so that a dead, silent or misbehaving server cannot hold the
// caller (the UI thread) for longer than the time-outs it passes.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace snimac {

enum class TConnectResult {
  Connected,
  Failed,    // name not resolved, refused, unreachable
  TimedOut,  // nothing settled within the time-out
};

enum class TLineStatus {
  Line,      // a whole line arrived; `text` holds it without CR LF
  TimedOut,  // no whole line within the time-out
  TooLong,   // more than the maximum length arrived without a line end
  Closed,    // the server closed the connection before a line end
  Failed,    // not connected, or a socket error
};

struct TLineRead {
  TLineStatus status = TLineStatus::Failed;
  std::string text;
};

class TLineClient {
 public:
  virtual ~TLineClient() = default;
  // Resolves `host` and connects; the time-out bounds resolving and
  // connecting together. An open connection is closed first.
  virtual TConnectResult Connect(const std::string& host, uint16_t port,
                                 std::chrono::milliseconds timeout) = 0;
  // Sends `line` followed by CR LF; false when not all of it could be sent
  // within the time-out.
  virtual bool WriteLine(const std::string& line, std::chrono::milliseconds timeout) = 0;
  // Reads one line ended by CR LF (a bare LF does not end a line). The
  // time-out bounds the whole call, however the bytes trickle in; a line
  // longer than `maxLength` (without CR LF) is TooLong. Bytes after the
  // line end are kept for the next call. After anything but Line the
  // position in the stream is unknown: the caller should disconnect.
  virtual TLineRead ReadLine(std::chrono::milliseconds timeout, size_t maxLength) = 0;
  virtual void Disconnect() = 0;
  virtual bool Connected() const = 0;
};

}  // namespace snimac
