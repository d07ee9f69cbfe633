// A simulated attendance server and the client that reaches it (the
// TLineClient port), on the simulation's clock, with the faults a real one
// shows: down (the connect is refused), unreachable (the connect times out),
// slow replies, garbage replies and a connection closed early.
//
// The server keeps a record only when its "OK" reaches the program in time:
// a reply the program never reads confirms nothing, so the record is not
// kept (the server answers each line with "OK" within the program's reply
// time-out, or the record is not its to keep). Lines heard but not confirmed
// are counted.
//
// Time: a client call that would wait (a connect that hangs, a reply on its
// way) hands the wait to `wait(untilUs)`, so that a single-threaded
// simulation can go on running the link meanwhile, as the link thread does
// while the UI thread waits; by default the clock sleeps.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cards/line_client.h"
#include "link/clock.h"

namespace snimac::sim {

enum class TSimServerMode {
  Up,           // every line answered "OK" after a short while
  Down,         // connects refused at once
  Unreachable,  // connects hang until the caller's time-out
  Slow,         // replies take 0.2 to 2.5 s
  Garbage,      // about every other line answered with something but "OK"
  ClosesEarly,  // the connection is closed after 0 to 2 confirmed lines
};

const char* ServerModeName(TSimServerMode mode);

struct TSimServerCounts {
  uint64_t connects = 0;
  uint64_t linesHeard = 0;
  uint64_t unconfirmed = 0;  // heard but not kept: no "OK" reached the program
};

class TSimAttendanceServer {
 public:
  explicit TSimAttendanceServer(uint32_t seed = 1) : rng_(seed) {}

  void SetMode(TSimServerMode mode) { mode_ = mode; }
  TSimServerMode Mode() const { return mode_; }
  // The lines kept, in order, as received (without CR LF).
  const std::vector<std::string>& Records() const { return records_; }
  const TSimServerCounts& Counts() const { return counts_; }

  // ---- For the client ----
  struct TConnection {
    bool refused = false;
    int64_t delayUs = 0;      // until connected or refused; -1: never
    int closeAfterLines = -1;  // -1: stays open
  };
  struct TReply {
    std::string text;     // the line, without CR LF
    int64_t delayUs = 0;  // from the line's arrival to the reply's
    bool closes = false;  // the server closes instead of answering
  };
  TConnection Accept();
  TReply Answer(const std::string& line, int linesBefore, int closeAfterLines);
  void Keep(const std::string& line) { records_.push_back(line); }
  void NotKept() { ++counts_.unconfirmed; }

 private:
  int64_t Between(int64_t lowUs, int64_t highUs);

  TSimServerMode mode_ = TSimServerMode::Up;
  std::mt19937 rng_;
  std::vector<std::string> records_;
  TSimServerCounts counts_;
};

class TSimLineClient : public TLineClient {
 public:
  using TWait = std::function<void(int64_t untilUs)>;
  TSimLineClient(TSimAttendanceServer& server, TClock& clock, TWait wait = {});

  TConnectResult Connect(const std::string& host, uint16_t port, std::chrono::milliseconds timeout) override;
  bool WriteLine(const std::string& line, std::chrono::milliseconds timeout) override;
  TLineRead ReadLine(std::chrono::milliseconds timeout, size_t maxLength) override;
  void Disconnect() override;
  bool Connected() const override { return connected_; }

 private:
  void WaitUntil(int64_t untilUs);
  void Settle(bool kept);

  TSimAttendanceServer& server_;
  TClock& clock_;
  TWait wait_;
  bool connected_ = false;
  bool closedByServer_ = false;
  int linesSent_ = 0;
  int closeAfterLines_ = -1;
  bool replyPending_ = false;
  std::string pendingLine_;
  TSimAttendanceServer::TReply reply_;
  int64_t lineSentUs_ = 0;
};

}  // namespace snimac::sim
