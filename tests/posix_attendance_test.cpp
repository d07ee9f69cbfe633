// The attendance queue end to end: a scripted server on 127.0.0.1, the TCP
// line client and a real attendance file in a fresh folder. What the server
// confirms leaves the queue; everything else is in the file, in order, with
// the bytes of the file format; nothing is released before it is written.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cards/attendance.h"
#include "cards/server_address.h"
#include "platform/posix/tcp_line_client.h"
#include "tests/support/posix/line_server.h"
#include "tests/support/posix/unreachable_ports.h"

namespace snimac {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::TServerAction;

const TLogItem kFirst{{2026, 12, 6, 14, 10, 59, 999}, "1234ab0f"};
const TLogItem kSecond{{2026, 12, 6, 14, 11, 0, 0}, "0badcafe"};
const TLogItem kThird{{2027, 1, 2, 3, 4, 5, 0}, "00ff"};
const std::string kFirstLine = "06/12/2026-14:10 1234ab0f\r\n";
const std::string kSecondLine = "06/12/2026-14:11 0badcafe\r\n";
const std::string kThirdLine = "02/01/2027-03:04 00ff\r\n";

// Short bounds, so that the cases with a dead server run quickly.
constexpr TAttendanceLimits kQuick{500ms, 500ms, 300ms, 256};

std::string Loopback(uint16_t port) { return "127.0.0.1:" + std::to_string(port); }

class Attendance : public ::testing::Test {
 protected:
  Attendance() {
    std::string name = (fs::temp_directory_path() / "snimac-attendance-XXXXXX").string();
    dir_ = ::mkdtemp(name.data());
  }
  ~Attendance() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  std::unique_ptr<TAttendanceFile> File(const std::string& name = "vestibar.db") const {
    auto file = TStdioAttendanceFile::Open(PathOf(name));
    EXPECT_NE(file, nullptr);
    return file;
  }

  // A queue as start-up makes it: the server from a SNIMAC_SERVER-style setting.
  static std::unique_ptr<TAttendanceQueue> Queue(const std::string& server, std::unique_ptr<TAttendanceFile> file,
                                                 TAttendanceLimits limits = kQuick) {
    const std::optional<TServerAddress> address = ParseServerAddress(server);
    EXPECT_TRUE(address.has_value());
    return std::make_unique<TAttendanceQueue>(std::make_unique<TTcpLineClient>(), address.value_or(TServerAddress{}),
                                              std::move(file), limits);
  }

  static void AddThree(TAttendanceQueue& queue) {
    queue.AddLogItem(kFirst);
    queue.AddLogItem(kSecond);
    queue.AddLogItem(kThird);
  }

  std::string FileBytes(const std::string& name = "vestibar.db") const {
    std::ifstream in(PathOf(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

 private:
  fs::path dir_;
};

TEST_F(Attendance, ConfirmedRecordsLeaveTheQueueAndNeverReachTheFile) {
  test::TLineServer server([](const std::string&) { return TServerAction::Reply("OK"); });
  auto queue = Queue(server.Address(), File());
  AddThree(*queue);
  queue->FlushLogItems();
  EXPECT_TRUE(queue->LogItems().empty());
  EXPECT_EQ(FileBytes(), "");
  EXPECT_EQ(server.Received(),
            "L 06/12/2026-14:10 1234ab0f\r\nL 06/12/2026-14:11 0badcafe\r\nL 02/01/2027-03:04 00ff\r\n");
  EXPECT_EQ(server.Connections(), 1);
}

TEST_F(Attendance, AnEmptyQueueDoesNotConnect) {
  test::TLineServer server([](const std::string&) { return TServerAction::Reply("OK"); });
  auto queue = Queue(server.Address(), File());
  queue->FlushLogItems();
  queue->AddLogItem(kFirst);
  queue->FlushLogItems();
  // The server serves connections in order: a connection from the empty
  // cycle would have been served before the confirmed one.
  EXPECT_TRUE(queue->LogItems().empty());
  EXPECT_EQ(server.Connections(), 1);
}

TEST_F(Attendance, TheFirstUnconfirmedRecordAndAllBehindItGoToTheFile) {
  // "ok" is not "OK": the exchange stops there, the third is never offered.
  test::TLineServer lowerCase([n = 0](const std::string&) mutable {
    return TServerAction::Reply(++n == 1 ? "OK" : "ok");
  });
  // Closes right after confirming the first.
  test::TLineServer closing([](const std::string&) { return TServerAction{"OK\r\n", true}; });
  for (const test::TLineServer* server : {&lowerCase, &closing}) {
    const std::string file = std::to_string(server->Port()) + ".db";
    auto queue = Queue(server->Address(), File(file));
    AddThree(*queue);
    queue->FlushLogItems();
    EXPECT_TRUE(queue->LogItems().empty());
    EXPECT_EQ(FileBytes(file), kSecondLine + kThirdLine);
  }
  EXPECT_EQ(lowerCase.Lines(), (std::vector<std::string>{"L 06/12/2026-14:10 1234ab0f",
                                                         "L 06/12/2026-14:11 0badcafe"}));
}

TEST_F(Attendance, WithoutAConfirmationEveryRecordIsInTheFileInReadOrder) {
  const std::string longReply(300, 'O');
  test::TLineServer silent([](const std::string&) { return TServerAction::Silent(); });
  test::TLineServer endless([](const std::string&) { return TServerAction::Endless(); });
  test::TLineServer trickling([](const std::string&) { return TServerAction::Endless(20ms); });
  test::TLineServer tooLong([&](const std::string&) { return TServerAction::Reply(longReply); });
  test::TLineServer trailingBlank([](const std::string&) { return TServerAction::Reply("OK "); });
  test::TLineServer bareLf([](const std::string&) { return TServerAction{"OK\n"}; });
  test::TLineServer empty([](const std::string&) { return TServerAction::Reply(""); });
  test::TFullBacklogListener neverAccepting;
  const struct {
    const char* name;
    std::string server;
  } cases[] = {
      {"nobody listening", Loopback(test::ClosedLoopbackPort())},
      {"connect never completes", Loopback(neverAccepting.Port())},
      {"silent", silent.Address()},
      {"endless reply", endless.Address()},
      {"trickling reply", trickling.Address()},
      {"reply too long", tooLong.Address()},
      {"OK with a blank", trailingBlank.Address()},
      {"OK with a bare LF", bareLf.Address()},
      {"empty reply", empty.Address()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = std::string(c.name) + ".db";
    auto queue = Queue(c.server, File(file));
    AddThree(*queue);
    queue->FlushLogItems();
    EXPECT_TRUE(queue->LogItems().empty());
    EXPECT_EQ(FileBytes(file), kFirstLine + kSecondLine + kThirdLine);
  }
}

TEST_F(Attendance, TheDefaultBoundsEndTheExchangeWithADeadServer) {
  // The window waits at most for the connect and for one reply per record.
  test::TLineServer silent([](const std::string&) { return TServerAction::Silent(); });
  test::TFullBacklogListener neverAccepting;
  const std::pair<const char*, std::string> cases[] = {{"silent", silent.Address()},
                                                       {"never accepting", Loopback(neverAccepting.Port())}};
  for (const auto& [name, server] : cases) {
    SCOPED_TRACE(name);
    const std::string file = std::string(name) + ".db";
    auto queue = Queue(server, File(file), TAttendanceLimits{});
    queue->AddLogItem(kFirst);
    queue->FlushLogItems();
    EXPECT_TRUE(queue->LogItems().empty());
    EXPECT_EQ(FileBytes(file), kFirstLine);
  }
}

// The attendance file behind a switch, so that a test can make it fail and
// work again.
class TSwitchableFile : public TAttendanceFile {
 public:
  explicit TSwitchableFile(std::unique_ptr<TAttendanceFile> file) : target(std::move(file)) {}
  bool Append(const std::string& line) override { return target->Append(line); }
  bool Flush() override { return target->Flush(); }
  const std::string& Name() const override { return target->Name(); }
  std::unique_ptr<TAttendanceFile> target;
};

TEST_F(Attendance, RecordsThatCannotBeWrittenStayQueuedUntilTheFileWorks) {
  auto full = TStdioAttendanceFile::Open("/dev/full");
  ASSERT_NE(full, nullptr);
  auto switchable = std::make_unique<TSwitchableFile>(std::move(full));
  TSwitchableFile& file = *switchable;
  auto queue = Queue(Loopback(test::ClosedLoopbackPort()), std::move(switchable));
  std::vector<std::string> errors;
  int works = 0;
  queue->onFileError = [&](const std::string& message) { errors.push_back(message); };
  queue->onFileWorks = [&] { ++works; };

  queue->AddLogItem(kFirst);
  queue->AddLogItem(kSecond);
  queue->FlushLogItems();
  EXPECT_EQ(queue->LogItems().size(), 2u);
  EXPECT_TRUE(queue->FileWriteFailing());
  EXPECT_EQ(errors, std::vector<std::string>{"Chyba zápisu do souboru '/dev/full'"});

  // Still failing: the new read queues behind the old ones; told once only.
  queue->AddLogItem(kThird);
  queue->FlushLogItems();
  EXPECT_EQ(queue->LogItems().size(), 3u);
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_EQ(works, 0);

  file.target = File();
  queue->FlushLogItems();
  EXPECT_TRUE(queue->LogItems().empty());
  EXPECT_FALSE(queue->FileWriteFailing());
  EXPECT_EQ(works, 1);
  EXPECT_EQ(FileBytes(), kFirstLine + kSecondLine + kThirdLine);
}

TEST_F(Attendance, PendingRecordsAreDeliveredAtExit) {
  test::TLineServer server([](const std::string&) { return TServerAction{"OK\r\n", true}; });
  {
    auto queue = Queue(server.Address(), File());
    AddThree(*queue);
    EXPECT_TRUE(queue->FlushAtExit());
    EXPECT_TRUE(queue->LogItems().empty());
  }
  EXPECT_EQ(FileBytes(), kSecondLine + kThirdLine);

  // Without FlushAtExit the queue still writes what it holds when it goes.
  Queue(server.Address(), File("dropped.db"))->AddLogItem(kFirst);
  EXPECT_EQ(FileBytes("dropped.db"), kFirstLine);
}

TEST_F(Attendance, FlushAtExitSaysWhenRecordsAreLeft) {
  auto queue = Queue(Loopback(test::ClosedLoopbackPort()), TStdioAttendanceFile::Open("/dev/full"));
  queue->AddLogItem(kFirst);
  EXPECT_FALSE(queue->FlushAtExit());
  EXPECT_EQ(queue->LogItems().size(), 1u);
}

TEST(ServerAddress, SettingComesFromTheEnvironment) {
  const char* before = ::getenv("SNIMAC_SERVER");
  const std::optional<std::string> saved = before ? std::optional<std::string>(before) : std::nullopt;
  ::setenv("SNIMAC_SERVER", "vestibar:12000", 1);
  EXPECT_EQ(ServerSettingFromEnvironment(), "vestibar:12000");
  ::unsetenv("SNIMAC_SERVER");
  EXPECT_EQ(ServerSettingFromEnvironment(), "");
  if (saved) ::setenv("SNIMAC_SERVER", saved->c_str(), 1);
}

}  // namespace
}  // namespace snimac
