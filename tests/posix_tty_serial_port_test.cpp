// The virtual serial port and the per-user defaults on Linux: a port nobody
// reads must not freeze the program, and nothing a local user can plant in a
// shared folder (a FIFO, a file, a symlink) is opened in place of a port or log.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "link/text_log.h"
#include "platform/posix/tty_serial_port.h"
#include "platform/posix/user_dirs.h"
#include "sim/virtual_clock.h"

namespace snimac {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

TEnvironmentLookup Environment(std::map<std::string, std::string> values) {
  return [values](const std::string& name) -> std::optional<std::string> {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  };
}

TEST(UserDirs, DefaultsLieInTheUsersOwnFolders) {
  struct TCase {
    std::map<std::string, std::string> env;
    std::string state, serialPort;
  };
  const std::vector<TCase> cases = {
      {{{"HOME", "/home/eva"}, {"XDG_RUNTIME_DIR", "/run/user/1000"}},
       "/home/eva/.local/state/snimac/",
       "/run/user/1000/snimac-cncb0"},
      {{{"HOME", "/home/eva/"}, {"XDG_STATE_HOME", "/srv/state"}},
       "/srv/state/snimac/",
       "/srv/state/snimac/snimac-cncb0"},
      // Relative base folders are ignored.
      {{{"HOME", "/home/eva"}, {"XDG_STATE_HOME", "state"}, {"XDG_RUNTIME_DIR", "run"}},
       "/home/eva/.local/state/snimac/",
       "/home/eva/.local/state/snimac/snimac-cncb0"},
      {{}, "", "snimac-cncb0"},
      // An explicit setting is used as given.
      {{{"XDG_RUNTIME_DIR", "/run/user/1000"}, {"SNIMAC_SERIAL_PORT", "/tmp/port"}}, "", "/tmp/port"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.serialPort);
    EXPECT_EQ(UserStateDir(Environment(c.env)), c.state);
    EXPECT_EQ(SerialPortPathFromEnvironment(Environment(c.env)), c.serialPort);
  }
}

class TTempDir {
 public:
  TTempDir() {
    std::string name = (fs::temp_directory_path() / "snimac-serial-XXXXXX").string();
    if (!::mkdtemp(name.data())) throw std::runtime_error("no temp dir");
    path_ = name;
  }
  ~TTempDir() { fs::remove_all(path_); }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

struct TPty {
  TPty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0)
      throw std::runtime_error("no pty");
    slave = name;
  }
  ~TPty() {
    if (master >= 0) ::close(master);
  }
  int master = -1;
  std::string slave;
};

TEST(TtySerialPort, OnlyACharacterDeviceIsTakenAsThePort) {
  TTempDir dir;
  TPty pty;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::ofstream(dir / "file") << "x";
  fs::create_symlink(pty.slave, dir / "link");
  fs::create_symlink(dir / "fifo", dir / "link-to-fifo");

  EXPECT_EQ(OpenTtySerialPort((dir / "fifo").string()), nullptr);
  EXPECT_EQ(OpenTtySerialPort((dir / "file").string()), nullptr);
  EXPECT_EQ(OpenTtySerialPort((dir / "link-to-fifo").string()), nullptr);
  EXPECT_EQ(OpenTtySerialPort((dir / "missing").string()), nullptr);
  // socat's link= makes a symlink to the pty: that is a port.
  auto port = OpenTtySerialPort((dir / "link").string());
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->Write("1234ab0f\r\n", 10));
  char got[16] = {};
  EXPECT_EQ(::read(pty.master, got, sizeof got), 10);
}

TEST(TtySerialPort, APortNobodyReadsRefusesTheCardWithinTheTimeOut) {
  TPty pty;
  auto port = OpenTtySerialPort(pty.slave);
  ASSERT_NE(port, nullptr);
  // Cards written until the pty's buffer is full; the first refused write
  // must come back within the time-out, not block.
  auto writer = std::async(std::launch::async, [&] {
    const std::string card(64, '7');
    for (int i = 0; i < 100000; ++i) {
      const Clock::time_point start = Clock::now();
      if (!port->Write(card.data(), card.size())) return Clock::now() - start;
    }
    return Clock::duration::max();
  });
  const bool ended = writer.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  if (!ended) {
    ::close(pty.master);  // a blocked write ends with the pty's other side
    pty.master = -1;
  }
  ASSERT_TRUE(ended) << "a write blocked on the full port";
  const auto took = writer.get();
  EXPECT_GE(took, std::chrono::milliseconds(kSerialWriteTimeoutMs - 50));
  EXPECT_LT(took, std::chrono::milliseconds(kSerialWriteTimeoutMs + 1000));
}

TEST(LinkLogFile, RefusesAPlantedFifoOrSymlinkAndCreatesAPlainFile) {
  TTempDir dir;
  sim::TVirtualClock clock;
  ASSERT_EQ(::mkfifo((dir / "fifo.log").c_str(), 0600), 0);
  std::ofstream(dir / "victim") << "keep\n";
  fs::create_symlink(dir / "victim", dir / "link.log");

  auto opened = std::async(std::launch::async, [&] { return mqLog((dir / "fifo.log").string(), clock).IsOpen(); });
  if (opened.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
    const int reader = ::open((dir / "fifo.log").c_str(), O_RDONLY | O_NONBLOCK);  // lets a blocked open go on
    ADD_FAILURE() << "the open of a FIFO blocked";
    opened.wait();
    ::close(reader);
  } else {
    EXPECT_FALSE(opened.get());
  }
  {
    mqLog viaLink((dir / "link.log").string(), clock);
    EXPECT_FALSE(viaLink.IsOpen());
    viaLink.Put(std::make_unique<TTextMessage>(TLogLevel::Error, "planted", "Protocol"));
  }
  EXPECT_EQ(fs::file_size(dir / "victim"), 5u);
  mqLog plain((dir / "grab-A1B2.log").string(), clock);
  EXPECT_TRUE(plain.IsOpen());
}

}  // namespace
}  // namespace snimac
