// The TCP line client against real sockets on 127.0.0.1: line framing,
// the length and time bounds of a reply, and bounded connects.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/posix/tcp_line_client.h"
#include "tests/support/posix/line_server.h"
#include "tests/support/posix/unreachable_ports.h"

namespace snimac {
namespace {

using namespace std::chrono_literals;
using test::TServerAction;

constexpr size_t kMaxLength = 16;

TEST(TcpLineClient, WritesCrLfLinesAndKeepsBytesAfterALineForTheNextRead) {
  // Two replies in one segment: the second must not be lost with the first read.
  test::TLineServer server([](const std::string&) { return TServerAction{"OK\r\nsecond\r\n"}; });
  TTcpLineClient client;
  ASSERT_EQ(client.Connect("127.0.0.1", server.Port(), 2s), TConnectResult::Connected);
  EXPECT_TRUE(client.Connected());
  ASSERT_TRUE(client.WriteLine("L 06/12/2026-14:10 1234ab0f", 1s));
  const TLineRead first = client.ReadLine(1s, kMaxLength);
  const TLineRead second = client.ReadLine(1s, kMaxLength);
  EXPECT_EQ(first.status, TLineStatus::Line);
  EXPECT_EQ(first.text, "OK");
  EXPECT_EQ(second.status, TLineStatus::Line);
  EXPECT_EQ(second.text, "second");
  client.Disconnect();
  EXPECT_FALSE(client.Connected());
  ASSERT_TRUE(server.WaitForEnded(1, 10s));
  EXPECT_EQ(server.Received(), "L 06/12/2026-14:10 1234ab0f\r\n");
}

struct TReplyCase {
  const char* name;
  TServerAction action;
  std::chrono::milliseconds timeout;
  TLineStatus status;
  std::string text;
};

TEST(TcpLineClient, ReplyIsBoundedInLengthAndTime) {
  const std::string longest(kMaxLength, 'a');
  const TReplyCase cases[] = {
      {"empty line", TServerAction::Reply(""), 1s, TLineStatus::Line, ""},
      {"longest line", TServerAction::Reply(longest), 1s, TLineStatus::Line, longest},
      {"one byte too long", TServerAction::Reply(longest + "a"), 1s, TLineStatus::TooLong, ""},
      {"bare LF ends nothing", TServerAction{"OK\n"}, 200ms, TLineStatus::TimedOut, ""},
      {"silent", TServerAction::Silent(), 200ms, TLineStatus::TimedOut, ""},
      {"closed before a line end", TServerAction{"OK", true}, 5s, TLineStatus::Closed, ""},
      // Without a bound the client would gather bytes until the time-out.
      {"endless, no line end", TServerAction::Endless(), 60s, TLineStatus::TooLong, ""},
      // Each byte comes well within the time-out; the whole call may not.
      {"trickling bytes", TServerAction::Endless(20ms), 300ms, TLineStatus::TimedOut, ""},
  };
  for (const TReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::TLineServer server([&](const std::string&) { return c.action; });
    TTcpLineClient client;
    ASSERT_EQ(client.Connect("127.0.0.1", server.Port(), 2s), TConnectResult::Connected);
    ASSERT_TRUE(client.WriteLine("L", 1s));
    const TLineRead read = client.ReadLine(c.timeout, kMaxLength);
    EXPECT_EQ(read.status, c.status);
    EXPECT_EQ(read.text, c.text);
  }
}

TEST(TcpLineClient, ConnectFailsOrTimesOutWithoutAServer) {
  TTcpLineClient client;
  EXPECT_EQ(client.Connect("127.0.0.1", test::ClosedLoopbackPort(), 2s), TConnectResult::Failed);
  EXPECT_FALSE(client.Connected());

  test::TFullBacklogListener pending;  // the handshake never completes
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(client.Connect("127.0.0.1", pending.Port(), 300ms), TConnectResult::TimedOut);
  // Far above the bound: catches a connect that ignores it, not a slow machine.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  EXPECT_FALSE(client.Connected());
}

TEST(TcpLineClient, NothingGoesOutWhenNotConnected) {
  TTcpLineClient client;
  EXPECT_FALSE(client.WriteLine("L", 1s));
  EXPECT_EQ(client.ReadLine(1s, kMaxLength).status, TLineStatus::Failed);
}

}  // namespace
}  // namespace snimac
