// The headless host against a reader line that misbehaves for long: a device
// that babbles without pause, and a reader that goes away. SIGTERM must still
// end the host at once, and a lasting loss must not flood the link log.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "tests/support/posix/child_process.h"

namespace snimac::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

fs::path FreshDir(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() /
                       ("snimac-" + name + "-" + std::to_string(Clock::now().time_since_epoch().count()));
  fs::create_directories(dir);
  return dir;
}

size_t LineCount(const fs::path& file) {
  std::ifstream in(file);
  size_t n = 0;
  for (std::string l; std::getline(in, l);) ++n;
  return n;
}

// SIGTERM, then the time the host took to exit (with status 0).
Clock::duration TimeToEnd(TChildProcess& host) {
  const Clock::time_point start = Clock::now();
  host.Signal(SIGTERM);
  EXPECT_EQ(host.Wait(10s), 0);
  return Clock::now() - start;
}

TEST(HeadlessLinkFaults, AnUnpluggedReaderIsLoggedOnceAndSigtermStillEndsTheHost) {
  const fs::path logDir = FreshDir("unplug");
  TChildProcess reader({SNIMAC_SIM_READER_BIN});
  const auto pty = reader.ReadLine(5s);
  ASSERT_TRUE(pty.has_value());
  TChildProcess host({SNIMAC_HEADLESS_BIN, "-log", "-logdir", logDir.string()},
                     {{"SNIMAC_FTDI", "tty"}, {"SNIMAC_DEVICES", *pty + "|Reader|A1B2"}});
  ASSERT_TRUE(host.WaitForLine("Ready", 20s));
  const fs::path log = logDir / "grab-A1B2.log";
  const size_t before = LineCount(log);

  reader.Signal(SIGTERM);  // the pty goes away with it, as an unplugged reader's tty does
  EXPECT_EQ(reader.Wait(10s), 0);
  EXPECT_TRUE(host.WaitForLine("Nekomunikuje", 10s));
  std::this_thread::sleep_for(6s);
  // The loss, the first failed reopen, the slave's last silent turns: not a
  // few lines per second for as long as the reader stays away.
  EXPECT_LE(LineCount(log) - before, 10u);
  EXPECT_LT(TimeToEnd(host), 2s);
  fs::remove_all(logDir);
}

// A pty whose far side is a device sending noise without pause.
class TBabblingDevice {
 public:
  TBabblingDevice() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[128];
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0)
      throw std::runtime_error("no pty");
    path_ = name;
    thread_ = std::thread([this] {
      const std::string noise(256, '\x55');
      char drain[256];
      while (!stop_) {
        while (::read(master_, drain, sizeof drain) > 0) {
        }
        if (::write(master_, noise.data(), noise.size()) <= 0) std::this_thread::sleep_for(1ms);
      }
    });
  }
  ~TBabblingDevice() {
    stop_ = true;
    thread_.join();
    ::close(master_);
  }
  TBabblingDevice(const TBabblingDevice&) = delete;
  TBabblingDevice& operator=(const TBabblingDevice&) = delete;
  const std::string& Path() const { return path_; }

 private:
  int master_ = -1;
  std::string path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(HeadlessLinkFaults, ADeviceThatBabblesWithoutPauseStillLetsSigtermEndTheHost) {
  TBabblingDevice device;
  TChildProcess host({SNIMAC_HEADLESS_BIN}, {{"SNIMAC_FTDI", "tty"}, {"SNIMAC_DEVICES", device.Path() + "|Reader|A1B2"}});
  EXPECT_TRUE(host.WaitForLine("Inicializace", 10s));
  std::this_thread::sleep_for(1500ms);
  EXPECT_LT(TimeToEnd(host), 2s);
}

}  // namespace
}  // namespace snimac::test
