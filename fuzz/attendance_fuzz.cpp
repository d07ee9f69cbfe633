// The attendance queue against a server and a file that do anything: replies
// of any bytes in any pieces (through the same line assembly the TCP client
// uses), refused writes, closed connections, time-outs, failed appends and
// flushes. Every read must leave the queue exactly once, in order, and only
// when the server answered "OK" to its own line or the file vouched for it.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "cards/attendance.h"
#include "cards/line_assembler.h"
#include "cards/read_time.h"
#include "fuzz/attendance_script.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"

namespace snimac::fuzz {
namespace {

const std::string kFileName = "vestibar.db";

// What the harness expects of the queue, shared by the doubles.
struct TLedger {
  std::deque<TLogItem> pending;     // added and not yet delivered, in order
  bool confirmed = false;           // the server's last reply was "OK"
  std::deque<std::string> durable;  // file lines flushed and not yet reported delivered
  bool inCycle = true;              // false once the queue is being destroyed
};

class TFuzzLineClient : public TLineClient {
 public:
  TFuzzLineClient(TFuzzInput& in, TLedger& ledger) : in_(in), ledger_(ledger) {}

  TConnectResult Connect(const std::string&, uint16_t, std::chrono::milliseconds) override {
    FUZZ_CHECK(ledger_.inCycle);
    received_.Clear();
    switch (in_.Byte() % 3) {
      case kConnects: connected_ = true; return TConnectResult::Connected;
      case kRefused: connected_ = false; return TConnectResult::Failed;
      default: connected_ = false; return TConnectResult::TimedOut;
    }
  }
  bool WriteLine(const std::string& line, std::chrono::milliseconds) override {
    FUZZ_CHECK(connected_ && !ledger_.pending.empty());
    const TLogItem& head = ledger_.pending.front();
    FUZZ_CHECK(line == "L " + FormatRecordTime(head.Time) + " " + head.Text);
    ledger_.confirmed = false;
    return (in_.Byte() & kRefuseWrite) == 0;
  }
  TLineRead ReadLine(std::chrono::milliseconds, size_t maxLength) override {
    FUZZ_CHECK(connected_);
    for (;;) {
      if (auto line = received_.Next(maxLength)) {
        if (line->status == TLineStatus::Line) {
          FUZZ_CHECK(line->text.size() <= maxLength);
          ledger_.confirmed = line->text == "OK";
        }
        return *line;
      }
      if (in_.Empty()) return {TLineStatus::TimedOut, {}};
      const size_t room = received_.Room(maxLength);
      FUZZ_CHECK(room > 0);
      const uint8_t length = in_.Byte();
      if (length == 0) return {TLineStatus::Closed, {}};
      const std::string chunk = in_.Text(length < room ? length : room);
      received_.Add(chunk.data(), chunk.size());
    }
  }
  void Disconnect() override { connected_ = false; }
  bool Connected() const override { return connected_; }

 private:
  TFuzzInput& in_;
  TLedger& ledger_;
  TLineAssembler received_;
  bool connected_ = false;
};

class TFuzzFile : public TAttendanceFile {
 public:
  TFuzzFile(TFuzzInput& in, TLedger& ledger) : in_(in), ledger_(ledger) {}

  bool Append(const std::string& line) override {
    if ((in_.Byte() & kFailAppend) != 0) return false;
    accepted_.push_back(line);
    return true;
  }
  bool Flush() override {
    const bool flushed = (in_.Byte() & kFailFlush) == 0;
    // Lines a failed flush does not vouch for count as lost.
    if (flushed && ledger_.inCycle) ledger_.durable.insert(ledger_.durable.end(), accepted_.begin(), accepted_.end());
    accepted_.clear();
    return flushed;
  }
  const std::string& Name() const override { return kFileName; }

 private:
  TFuzzInput& in_;
  TLedger& ledger_;
  std::deque<std::string> accepted_;
};

TLocalTime ReadTime(TFuzzInput& in) {
  const uint8_t a = in.Byte(), b = in.Byte(), c = in.Byte();
  return {2000 + a % 100, 1 + b % 12, 1 + (a ^ b) % 28, c % 24, (b ^ c) % 60, 0, 0};
}

std::string ReadText(TFuzzInput& in) {
  std::string text = in.Text(in.Byte());
  for (char& ch : text) ch = static_cast<char>(0x20 + static_cast<uint8_t>(ch) % 95);
  return text;
}

}  // namespace
}  // namespace snimac::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace snimac;
  using namespace snimac::fuzz;
  TFuzzInput in(data, size);
  TLedger ledger;
  auto queue = std::make_unique<TAttendanceQueue>(std::make_unique<TFuzzLineClient>(in, ledger), TServerAddress{},
                                                  std::make_unique<TFuzzFile>(in, ledger));
  bool fileFailing = false;
  queue->onFileError = [&](const std::string& message) {
    FUZZ_CHECK(!fileFailing && message.find(kFileName) != std::string::npos);
    fileFailing = true;
  };
  queue->onFileWorks = [&] {
    FUZZ_CHECK(fileFailing);
    fileFailing = false;
  };
  queue->onDelivered = [&](const TLogItem& item, TAttendanceQueue::TDelivery where) {
    FUZZ_CHECK(!ledger.pending.empty());
    const TLogItem& head = ledger.pending.front();
    FUZZ_CHECK(item.Text == head.Text && FormatRecordTime(item.Time) == FormatRecordTime(head.Time));
    if (where == TAttendanceQueue::TDelivery::Server) {
      FUZZ_CHECK(ledger.confirmed);
      ledger.confirmed = false;
    } else {
      FUZZ_CHECK(!ledger.durable.empty() && ledger.durable.front() == FormatRecordTime(item.Time) + " " + item.Text);
      ledger.durable.pop_front();
    }
    ledger.pending.pop_front();
  };

  // After every cycle the queue holds exactly what was not delivered, and
  // every line the file vouched for was reported delivered.
  const auto checkQueue = [&] {
    FUZZ_CHECK(queue->LogItems().size() == ledger.pending.size());
    for (size_t i = 0; i < ledger.pending.size(); ++i) FUZZ_CHECK(queue->LogItems()[i].Text == ledger.pending[i].Text);
    FUZZ_CHECK(ledger.durable.empty());
    FUZZ_CHECK(queue->FileWriteFailing() == fileFailing);
    if (ledger.pending.empty()) FUZZ_CHECK(!fileFailing);
  };

  while (!in.Empty()) {
    switch (in.Byte() % kAttendanceOpCount) {
      case kAddRead: {
        TLogItem item{ReadTime(in), ReadText(in)};
        ledger.pending.push_back(item);
        queue->AddLogItem(std::move(item));
        break;
      }
      case kCycle:
        queue->FlushLogItems();
        checkQueue();
        break;
    }
  }
  FUZZ_CHECK(queue->FlushAtExit() == ledger.pending.empty());
  checkQueue();
  ledger.inCycle = false;
  queue.reset();
  return 0;
}
