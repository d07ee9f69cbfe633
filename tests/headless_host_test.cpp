// The headless host as a user runs it: a real process, its stdout and stderr,
// signals, and a reader on the other end of a pseudo-terminal.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <cctype>

#include "tests/support/posix/child_process.h"

namespace snimac::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path FreshDir(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() /
                       ("snimac-" + name + "-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  return dir;
}

TEST(HeadlessHost, RunsAgainstAReaderOnAPtyAndLogsTheLink) {
  TChildProcess reader({SNIMAC_SIM_READER_BIN});
  const auto pty = reader.ReadLine(5s);
  ASSERT_TRUE(pty.has_value());
  const fs::path logDir = FreshDir("e2e") / "logs";

  TChildProcess host({SNIMAC_HEADLESS_BIN, "-log", "-logdir", logDir.string()},
                     {{"SNIMAC_FTDI", "tty"}, {"SNIMAC_DEVICES", *pty + "|Reader|A1B2"}});
  EXPECT_EQ(host.ReadLine(10s), "Grab v1.15-QRX(A1B2)");
  EXPECT_EQ(host.ReadLine(10s), "Inicializace");
  EXPECT_TRUE(host.WaitForLine("Ready", 20s));
  host.Signal(SIGTERM);
  EXPECT_EQ(host.Wait(10s), 0);
  reader.Signal(SIGTERM);
  EXPECT_EQ(reader.Wait(10s), 0);

  std::ifstream log(logDir / "grab-A1B2.log");
  std::vector<std::string> lines;
  for (std::string l; std::getline(log, l);) lines.push_back(l);
  // "yy/mm/dd hh:mm:ss <source> <text>"
  for (const auto& l : lines) {
    ASSERT_GT(l.size(), 20u) << l;
    for (size_t i : {0, 1, 3, 4, 6, 7, 9, 10, 12, 13, 15, 16}) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(l[i]))) << l;
    EXPECT_EQ(l.substr(2, 1) + l.substr(5, 1) + l.substr(8, 1) + l.substr(11, 1) + l.substr(14, 1), "// ::") << l;
    EXPECT_TRUE(l.compare(18, 9, "Protocol ") == 0 || (l[18] == 'S' && std::isdigit(static_cast<unsigned char>(l[19])))) << l;
  }
  auto has = [&](const std::string& text) {
    for (const auto& l : lines)
      if (l.size() > 18 && l.substr(18) == text) return true;
    return false;
  };
  EXPECT_TRUE(has("S1 Address set to 01"));
  EXPECT_TRUE(has("S1 Reply from slave"));
  EXPECT_TRUE(has("S1 Slave wakes"));
  fs::remove_all(logDir.parent_path());
}

TEST(HeadlessHost, RunsOnTheBuiltInSimulatedReaderUntilInterrupted) {
  TChildProcess host({SNIMAC_HEADLESS_BIN, "-pmdp"}, {{"SNIMAC_FTDI", "sim"}, {"SNIMAC_DEVICES", ""}});
  EXPECT_EQ(host.ReadLine(10s), "Grab v1.15-QRX-PK(SIM00001)");
  EXPECT_EQ(host.ReadLine(10s), "Inicializace");
  EXPECT_TRUE(host.WaitForLine("Ready", 20s));
  host.Signal(SIGINT);
  EXPECT_EQ(host.Wait(10s), 0);
}

// Demonstration cards every second: each read is shown and typed as a line.
TEST(HeadlessHost, DemonstrationCardsAreReadAndTypedAsLines) {
  TChildProcess host({SNIMAC_HEADLESS_BIN, "-pmdp"},
                     {{"SNIMAC_FTDI", "sim"}, {"SNIMAC_SIM_CARD_INTERVAL_MS", "1000"}, {"DISPLAY", ""}});
  EXPECT_TRUE(host.WaitForLine("Ready", 20s));
  EXPECT_TRUE(host.WaitForLine("HW:MXT_A FW v4.0 Sep  1 2011", 20s));
  EXPECT_TRUE(host.WaitForLine("04a1b2c3;Zeleny;Cap;2011-09-01", 20s));
  EXPECT_TRUE(host.WaitForLine("04112233445566", 20s));
  host.Signal(SIGTERM);
  EXPECT_EQ(host.Wait(10s), 0);
  int shown = 0;
  for (const auto& l : host.seen) shown += l.rfind("Karta: ", 0) == 0;
  EXPECT_GE(shown, 2);
}

// Attendance mode with no server: reads still pending when the host is
// stopped are written to the attendance file on the way out.
TEST(HeadlessHost, PendingAttendanceReadsAreWrittenAtExit) {
  const fs::path dir = FreshDir("attendance");
  const fs::path db = dir / "vestibar.db";
  TChildProcess host({SNIMAC_HEADLESS_BIN, "-net", "-db", db.string()},
                     {{"SNIMAC_FTDI", "sim"}, {"SNIMAC_SIM_CARD_INTERVAL_MS", "200"}, {"SNIMAC_SERVER", "127.0.0.1:1"}});
  EXPECT_EQ(host.ReadLine(10s), "Vestibar v1.15-QRX(SIM00002)");
  EXPECT_TRUE(host.WaitForLine("Ready", 20s));
  std::optional<std::string> line;
  while ((line = host.ReadLine(20s)) && line->rfind("Karta: ", 0) != 0) {
  }
  ASSERT_TRUE(line.has_value());
  const std::string card = line->substr(line->rfind(' ') + 1);
  host.Signal(SIGTERM);
  EXPECT_EQ(host.Wait(10s), 0);
  std::ifstream in(db, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(content.find(" " + card + "\r\n"), std::string::npos) << content;
  fs::remove_all(dir);
}

// A Wayland session without X11: nothing can be typed into windows, so the
// user is told once (stderr and the status), and the reads still arrive.
TEST(HeadlessHost, AWaylandSessionWithoutX11IsSaidOnceAndReadsGoOn) {
  const std::string note = "Relace Wayland bez X11: karty nelze psát do oken; sériový port a docházka fungují";
  TChildProcess host({SNIMAC_HEADLESS_BIN}, {{"SNIMAC_FTDI", "sim"},
                                             {"SNIMAC_SIM_CARD_INTERVAL_MS", "300"},
                                             {"DISPLAY", ""},
                                             {"WAYLAND_DISPLAY", "wayland-0"}});
  EXPECT_EQ(host.ReadErrorLine(10s), note);
  EXPECT_TRUE(host.WaitForLine("Inicializace", 10s));
  EXPECT_EQ(host.ReadLine(10s), note);
  EXPECT_TRUE(host.WaitForLine("Ready", 20s));
  std::optional<std::string> line;
  while ((line = host.ReadLine(20s)) && line->rfind("Karta: ", 0) != 0) {
  }
  EXPECT_TRUE(line.has_value());
  host.Signal(SIGTERM);
  EXPECT_EQ(host.Wait(10s), 0);
  EXPECT_EQ(std::count(host.seen.begin(), host.seen.end(), note), 1);
}

// An out-of-date simulated reader: the question comes on the terminal, "a"
// (ano) starts the upgrade with its progress shown; "ne", or no terminal at
// all, declines. (The whole procedure, to its end, is run on the virtual
// clock in the upgrade scenarios; on the real-time wire it takes minutes.)
TEST(HeadlessHost, UpgradeQuestionIsAnsweredAtTheTerminal) {
  const std::map<std::string, std::string> oldAvrReader = {{"SNIMAC_FTDI", "sim"},
                                                           {"SNIMAC_SIM_FAMILY", "avr"},
                                                           {"SNIMAC_SIM_VERSION", "MXT_A FW v3.9 Jan  1 2010"},
                                                           {"SNIMAC_SIM_CARD_INTERVAL_MS", "0"}};
  auto waitForQuestion = [](TChildProcess& host) {
    std::optional<std::string> line;
    while ((line = host.ReadErrorLine(20s)) && line->rfind("Upgrade: Verze firmware ve snímači", 0) != 0) {
    }
    return line.has_value();
  };
  {
    TChildProcess host({SNIMAC_HEADLESS_BIN}, oldAvrReader, TChildProcess::TInput::Terminal);
    ASSERT_TRUE(waitForQuestion(host));
    host.Type("A\n");
    EXPECT_TRUE(host.WaitForLine("Upgrade: Probíhá aktualizace snímače.", 20s));
    EXPECT_TRUE(host.WaitForLine("Upgrade: 0 %", 20s));
    EXPECT_TRUE(host.WaitForLine("Upgrade: 10 %", 60s));
    host.Signal(SIGTERM);  // ends the run in the middle of the upgrade
    EXPECT_EQ(host.Wait(10s), 0);
  }
  {
    TChildProcess host({SNIMAC_HEADLESS_BIN}, oldAvrReader, TChildProcess::TInput::Terminal);
    ASSERT_TRUE(waitForQuestion(host));
    host.Type("ne\n");
    host.WaitForLine("no such line", 3s);
    host.Signal(SIGTERM);
    EXPECT_EQ(host.Wait(10s), 0);
    EXPECT_EQ(std::count(host.seen.begin(), host.seen.end(), "Upgrade: Probíhá aktualizace snímače."), 0);
  }
  {
    TChildProcess host({SNIMAC_HEADLESS_BIN}, oldAvrReader);  // stdin is not a terminal
    ASSERT_TRUE(waitForQuestion(host));
    std::optional<std::string> answer;
    while ((answer = host.ReadErrorLine(10s)) && answer->find("zrušit") == std::string::npos) {
    }
    EXPECT_EQ(answer, "[ok/zrušit] zrušit");
    host.Signal(SIGTERM);
    EXPECT_EQ(host.Wait(10s), 0);
  }
}

TEST(HeadlessHost, StartUpFailuresGoToStderrWithExitStatus1) {
  struct TCase {
    std::vector<std::string> args;
    std::map<std::string, std::string> env;
    std::string error;
  };
  const std::vector<TCase> cases = {
      {{}, {{"SNIMAC_FTDI", "tty"}, {"SNIMAC_DEVICES", " "}}, "Chyba: Nebyl nalezen použitelny snímač"},
      {{"-prefix", "X"}, {{"SNIMAC_FTDI", "sim"}}, "Chyba: Neplatný prefix 'X'"},
      {{"-ser", "Okno"},
       {{"SNIMAC_FTDI", "sim"}, {"SNIMAC_SERIAL_PORT", "/nonexistent/port"}},
       "Chyba: Nepodařilo se otevřít port CNCB0, zkontrolujte instalaci com0com"},
      {{}, {{"SNIMAC_FTDI", "tty"}, {"SNIMAC_DEVICES", "/nonexistent/tty|Reader|A1B2"}},
       "Chyba: Nepodařilo se otevřít snímač 'A1B2'"},
      {{}, {{"SNIMAC_FTDI", "d2xx"}, {"LD_LIBRARY_PATH", "/nonexistent"}}, "Chyba: Knihovnu libftd2xx.so nelze načíst"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv = {SNIMAC_HEADLESS_BIN};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    TChildProcess host(argv, c.env);
    auto line = host.ReadErrorLine(10s);
    while (line && line->rfind("Psaní: ", 0) == 0) line = host.ReadErrorLine(10s);  // the typing mode
    ASSERT_TRUE(line.has_value()) << c.error;
    EXPECT_EQ(line->substr(0, c.error.size()), c.error);
    EXPECT_EQ(host.Wait(10s), 1) << c.error;
  }
}

}  // namespace
}  // namespace snimac::test
