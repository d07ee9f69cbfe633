#include "sim/sim_attendance_server.h"

#include <iterator>
#include <utility>

namespace snimac::sim {

namespace {

// Replies that must not confirm a record.
const char* const kGarbage[] = {"ok", "OK ", " OK", "NOK", "ERR", "", "O", "OKK", "\x01OK", "Ok"};
constexpr size_t kTooLong = 300;

}  // namespace

const char* ServerModeName(TSimServerMode mode) {
  switch (mode) {
    case TSimServerMode::Up: return "up";
    case TSimServerMode::Down: return "down";
    case TSimServerMode::Unreachable: return "unreachable";
    case TSimServerMode::Slow: return "slow";
    case TSimServerMode::Garbage: return "garbage";
    case TSimServerMode::ClosesEarly: return "closes-early";
  }
  return "?";
}

int64_t TSimAttendanceServer::Between(int64_t lowUs, int64_t highUs) {
  return std::uniform_int_distribution<int64_t>(lowUs, highUs)(rng_);
}

TSimAttendanceServer::TConnection TSimAttendanceServer::Accept() {
  ++counts_.connects;
  TConnection c;
  switch (mode_) {
    case TSimServerMode::Down:
      c.refused = true;
      c.delayUs = Between(100, 2000);
      break;
    case TSimServerMode::Unreachable:
      c.delayUs = -1;
      break;
    case TSimServerMode::ClosesEarly:
      c.delayUs = Between(500, 20000);
      c.closeAfterLines = static_cast<int>(Between(0, 2));
      break;
    default:
      c.delayUs = Between(500, 20000);
      break;
  }
  return c;
}

TSimAttendanceServer::TReply TSimAttendanceServer::Answer(const std::string&, int linesBefore, int closeAfterLines) {
  ++counts_.linesHeard;
  TReply r{"OK", Between(2000, 50000), false};
  switch (mode_) {
    case TSimServerMode::Slow:
      r.delayUs = Between(200000, 2500000);
      break;
    case TSimServerMode::Garbage:
      if (Between(0, 1) == 0) {
        const int64_t pick = Between(0, static_cast<int64_t>(std::size(kGarbage)));
        r.text = pick == static_cast<int64_t>(std::size(kGarbage)) ? std::string(kTooLong, 'O') : kGarbage[pick];
      }
      break;
    case TSimServerMode::ClosesEarly:
      r.closes = closeAfterLines >= 0 && linesBefore >= closeAfterLines;
      break;
    default:
      break;
  }
  return r;
}

TSimLineClient::TSimLineClient(TSimAttendanceServer& server, TClock& clock, TWait wait)
    : server_(server), clock_(clock), wait_(std::move(wait)) {}

void TSimLineClient::WaitUntil(int64_t untilUs) {
  if (wait_) {
    wait_(untilUs);
  } else {
    clock_.SleepUntilUs(untilUs);
  }
}

TConnectResult TSimLineClient::Connect(const std::string&, uint16_t, std::chrono::milliseconds timeout) {
  Disconnect();
  const int64_t start = clock_.NowUs();
  const int64_t limit = static_cast<int64_t>(timeout.count()) * 1000;
  const TSimAttendanceServer::TConnection c = server_.Accept();
  if (c.delayUs < 0 || c.delayUs > limit) {
    WaitUntil(start + limit);
    return TConnectResult::TimedOut;
  }
  WaitUntil(start + c.delayUs);
  if (c.refused) return TConnectResult::Failed;
  connected_ = true;
  closedByServer_ = false;
  linesSent_ = 0;
  closeAfterLines_ = c.closeAfterLines;
  return TConnectResult::Connected;
}

bool TSimLineClient::WriteLine(const std::string& line, std::chrono::milliseconds) {
  if (!connected_ || closedByServer_) return false;
  Settle(false);  // a line sent before the last reply was read confirms nothing
  pendingLine_ = line;
  reply_ = server_.Answer(line, linesSent_++, closeAfterLines_);
  replyPending_ = true;
  lineSentUs_ = clock_.NowUs();
  return true;
}

TLineRead TSimLineClient::ReadLine(std::chrono::milliseconds timeout, size_t maxLength) {
  if (!connected_) return {};
  const int64_t deadline = clock_.NowUs() + static_cast<int64_t>(timeout.count()) * 1000;
  if (!replyPending_ || closedByServer_) {
    if (closedByServer_) return {TLineStatus::Closed, ""};
    WaitUntil(deadline);
    return {TLineStatus::TimedOut, ""};
  }
  const int64_t replyAt = lineSentUs_ + reply_.delayUs;
  if (replyAt > deadline) {
    WaitUntil(deadline);
    return {TLineStatus::TimedOut, ""};
  }
  WaitUntil(replyAt);
  if (reply_.closes) {
    closedByServer_ = true;
    Settle(false);
    return {TLineStatus::Closed, ""};
  }
  if (reply_.text.size() > maxLength) {
    Settle(false);
    return {TLineStatus::TooLong, ""};
  }
  const std::string text = reply_.text;
  Settle(text == "OK");
  return {TLineStatus::Line, text};
}

void TSimLineClient::Settle(bool kept) {
  if (!replyPending_) return;
  replyPending_ = false;
  if (kept) {
    server_.Keep(pendingLine_);
  } else {
    server_.NotKept();
  }
}

void TSimLineClient::Disconnect() {
  Settle(false);
  connected_ = false;
  closedByServer_ = false;
}

}  // namespace snimac::sim
