// The fault campaign's account of cards: what it calls lost, duplicated,
// repeated after a reset, corrupt and out of order; and the simulated
// attendance server it runs against, which keeps only confirmed records.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sim/sim_attendance_server.h"
#include "sim/virtual_clock.h"
#include "tools/fault_campaign/card_ledger.h"

namespace snimac::campaign {
namespace {

constexpr TOutputSet kTyped = OutputSet(TOutput::Typed);

struct TLedgerCase {
  const char* name;
  std::function<void(TCardLedger&)> script;  // after cards "a", "b", "c" were presented
  TLedgerCounts expected;
};

// Reads a card and types it, as grab mode does.
void ReadAndType(TCardLedger& l, const std::string& text) {
  l.Read(text, text, kTyped);
  l.Output(TOutput::Typed, text);
}

TEST(FaultCampaignLedger, CountsEachKindOfFault) {
  const std::vector<TLedgerCase> cases = {
      {"clean", [](TCardLedger& l) { for (auto t : {"a", "b", "c"}) ReadAndType(l, t); },
       {.presented = 3, .delivered = 3}},
      {"never read", [](TCardLedger& l) { ReadAndType(l, "a"); ReadAndType(l, "c"); },
       {.presented = 3, .delivered = 2, .lost = 1}},
      {"read, never typed", [](TCardLedger& l) { ReadAndType(l, "a"); ReadAndType(l, "b"); l.Read("c", "c", kTyped); },
       {.presented = 3, .delivered = 2, .lost = 1}},
      {"read twice without a reset",
       [](TCardLedger& l) { for (auto t : {"a", "b", "b", "c"}) ReadAndType(l, t); },
       {.presented = 3, .delivered = 3, .duplicated = 1}},
      {"repeated after a reset",
       [](TCardLedger& l) { ReadAndType(l, "a"); ReadAndType(l, "b"); l.SequenceReset(); ReadAndType(l, "a");
                            ReadAndType(l, "b"); ReadAndType(l, "c"); },
       {.presented = 3, .delivered = 3, .repeatedAfterReset = 2}},
      {"again after a reset but behind a new card",
       [](TCardLedger& l) { ReadAndType(l, "a"); l.SequenceReset(); ReadAndType(l, "b"); ReadAndType(l, "a");
                            ReadAndType(l, "c"); },
       {.presented = 3, .delivered = 3, .duplicated = 1}},
      {"more repeats than the reader's window",
       [](TCardLedger& l) { for (auto t : {"a", "b", "c"}) ReadAndType(l, t); l.SequenceReset();
                            for (auto t : {"a", "b", "c"}) ReadAndType(l, t); },
       {.presented = 3, .delivered = 3, .duplicated = 1, .repeatedAfterReset = 2}},
      {"typed twice", [](TCardLedger& l) { ReadAndType(l, "a"); l.Output(TOutput::Typed, "a"); ReadAndType(l, "b");
                                           ReadAndType(l, "c"); },
       {.presented = 3, .delivered = 3, .duplicated = 1}},
      {"read of no card, and a garbled output",
       [](TCardLedger& l) { for (auto t : {"a", "x", "b", "c"}) ReadAndType(l, t); l.Output(TOutput::Typed, "c!"); },
       {.presented = 3, .delivered = 3, .corrupt = 2}},
      {"read out of order", [](TCardLedger& l) { for (auto t : {"b", "a", "c"}) ReadAndType(l, t); },
       {.presented = 3, .delivered = 3, .outOfOrder = 1}},
      {"typed out of order",
       [](TCardLedger& l) { for (auto t : {"a", "b", "c"}) l.Read(t, t, kTyped);
                            for (auto t : {"a", "c", "b"}) l.Output(TOutput::Typed, t); },
       {.presented = 3, .delivered = 3, .outOfOrder = 1}},
      {"sent to the serial port instead of typed",
       [](TCardLedger& l) { ReadAndType(l, "a"); ReadAndType(l, "b"); l.Read("c", "c", kTyped);
                            l.Output(TOutput::Serial, "c"); },
       {.presented = 3, .delivered = 2, .lost = 1, .duplicated = 1}},
      {"held by a reader that lost power",
       [](TCardLedger& l) { ReadAndType(l, "a"); l.ReaderPowerLost(2); ReadAndType(l, "c"); },
       {.presented = 3, .delivered = 2, .droppedByReader = 1}},
      {"power lost, but the card was no longer held",
       [](TCardLedger& l) { l.ReaderPowerLost(1); ReadAndType(l, "a"); ReadAndType(l, "c"); },
       {.presented = 3, .delivered = 2, .lost = 1}},
  };
  for (const TLedgerCase& c : cases) {
    TCardLedger ledger(2);
    for (auto t : {"a", "b", "c"}) ledger.Presented(t, t);
    c.script(ledger);
    const TLedgerCounts got = ledger.Finish();
    const TLedgerCounts& want = c.expected;
    EXPECT_EQ(got.presented, want.presented) << c.name;
    EXPECT_EQ(got.delivered, want.delivered) << c.name;
    EXPECT_EQ(got.lost, want.lost) << c.name;
    EXPECT_EQ(got.duplicated, want.duplicated) << c.name;
    EXPECT_EQ(got.repeatedAfterReset, want.repeatedAfterReset) << c.name;
    EXPECT_EQ(got.corrupt, want.corrupt) << c.name;
    EXPECT_EQ(got.outOfOrder, want.outOfOrder) << c.name;
    EXPECT_EQ(got.droppedByReader, want.droppedByReader) << c.name;
    EXPECT_EQ(got.Clean(), want.lost + want.duplicated + want.corrupt + want.outOfOrder == 0) << c.name;
  }
}

TEST(FaultCampaignLedger, AnAttendanceRecordCountsOnceInServerAndFileTogether) {
  TCardLedger ledger;
  ledger.Presented("a", "a");
  ledger.Presented("b", "b");
  ledger.Read("a", "02/03/2026-08:00 a", kAttendanceOutputs);
  ledger.Read("b", "02/03/2026-08:01 b", kAttendanceOutputs);
  ledger.Output(TOutput::Server, "02/03/2026-08:00 a");
  ledger.Output(TOutput::File, "02/03/2026-08:00 a");  // confirmed and written as well
  ledger.Output(TOutput::File, "02/03/2026-08:02 b");  // the wrong time
  const TLedgerCounts c = ledger.Finish();
  EXPECT_EQ(c.delivered, 1u);
  EXPECT_EQ(c.duplicated, 1u);
  EXPECT_EQ(c.corrupt, 1u);
  EXPECT_EQ(c.lost, 1u);
}

// The server keeps a line only when its "OK" reached the program in time.
TEST(FaultCampaignServer, KeepsOnlyConfirmedRecords) {
  using sim::TSimServerMode;
  using namespace std::chrono_literals;
  const std::vector<std::pair<TSimServerMode, bool>> cases = {
      {TSimServerMode::Up, true}, {TSimServerMode::Down, false}, {TSimServerMode::Unreachable, false}};
  for (const auto& [mode, kept] : cases) {
    sim::TVirtualClock clock;
    sim::TSimAttendanceServer server(7);
    server.SetMode(mode);
    sim::TSimLineClient client(server, clock);
    const bool connected = client.Connect("localhost", 11000, 2000ms) == TConnectResult::Connected;
    EXPECT_EQ(connected, kept) << sim::ServerModeName(mode);
    EXPECT_LE(clock.NowMs(), 2000) << sim::ServerModeName(mode);
    if (!connected) continue;
    ASSERT_TRUE(client.WriteLine("L 02/03/2026-08:00 a", 1000ms));
    const TLineRead reply = client.ReadLine(1000ms, 256);
    EXPECT_EQ(reply.status, TLineStatus::Line);
    EXPECT_EQ(reply.text, "OK");
    EXPECT_EQ(server.Records(), (std::vector<std::string>{"L 02/03/2026-08:00 a"}));
  }

  // Slow, garbage and closing servers: whatever the program did not read as "OK" is not kept.
  for (const TSimServerMode mode : {TSimServerMode::Slow, TSimServerMode::Garbage, TSimServerMode::ClosesEarly}) {
    sim::TVirtualClock clock;
    sim::TSimAttendanceServer server(11);
    server.SetMode(mode);
    sim::TSimLineClient client(server, clock);
    size_t confirmed = 0;
    for (int i = 0; i < 40; ++i) {
      if (!client.Connected() && client.Connect("localhost", 11000, 2000ms) != TConnectResult::Connected) continue;
      if (!client.WriteLine("L 02/03/2026-08:00 " + std::to_string(i), 1000ms)) {
        client.Disconnect();
        continue;
      }
      const int64_t before = clock.NowMs();
      const TLineRead reply = client.ReadLine(1000ms, 256);
      EXPECT_LE(clock.NowMs() - before, 1000) << sim::ServerModeName(mode);
      if (reply.status == TLineStatus::Line && reply.text == "OK") {
        ++confirmed;
      } else {
        client.Disconnect();
      }
    }
    EXPECT_EQ(server.Records().size(), confirmed) << sim::ServerModeName(mode);
    EXPECT_GT(server.Counts().unconfirmed, 0u) << sim::ServerModeName(mode);
  }
}

}  // namespace
}  // namespace snimac::campaign
