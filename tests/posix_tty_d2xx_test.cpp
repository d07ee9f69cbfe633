// The tty D2XX port (platform/posix/tty_d2xx.h) on real pseudo-terminals: the
// test holds the master side, the port opens the slave side by its path.
#include "platform/posix/tty_d2xx.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace snimac {
namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A pty pair; the test keeps the master, the port opens SlavePath().
class TPty {
 public:
  TPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
      throw std::runtime_error("no pty");
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) throw std::runtime_error("no ptsname");
    slavePath_ = name;
  }
  ~TPty() { CloseMaster(); }
  TPty(const TPty&) = delete;
  TPty& operator=(const TPty&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int Master() const { return master_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  void Send(const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Reads what the slave side wrote, waiting up to timeoutMs for `count` bytes.
  std::vector<uint8_t> Receive(size_t count, int timeoutMs = 2000) {
    std::vector<uint8_t> out;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count && Clock::now() < deadline) {
      pollfd pfd{master_, POLLIN, 0};
      if (::poll(&pfd, 1, 10) > 0 && (pfd.revents & POLLIN)) {
        uint8_t buffer[256];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) out.insert(out.end(), buffer, buffer + n);
      }
    }
    return out;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

TTtyDiscovery Fixed(std::vector<TTtyDevice> devices) {
  return [devices] { return devices; };
}

// Opens `serial` and sets the line up the way the link does.
FT_HANDLE OpenLikeTheLink(TTtyD2xx& port, const char* serial) {
  FT_HANDLE handle = nullptr;
  EXPECT_EQ(port.OpenEx(const_cast<char*>(serial), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
  EXPECT_NE(handle, nullptr);
  EXPECT_EQ(port.SetBaudRate(handle, 9600), FT_OK);
  EXPECT_EQ(port.SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
  EXPECT_EQ(port.SetFlowControl(handle, FT_FLOW_NONE, 0, 0), FT_OK);
  EXPECT_EQ(port.SetTimeouts(handle, 50, 100), FT_OK);
  return handle;
}

void* Index(uintptr_t i) { return reinterpret_cast<void*>(i); }

TEST(PosixTtyD2xx, ListsAnExplicitDeviceList) {
  const std::string longText(70, 'x');
  int discoveries = 0;
  std::vector<TTtyDevice> devices = {
      {"/dev/pts/90", "Card reader", "A1B2"},
      {"/dev/pts/91", "Evidence reader", ""},  // serial number unreadable
      {"/dev/pts/92", "", "C3D4"},             // description unreadable
      {"/dev/pts/93", longText, longText},
  };
  TTtyD2xx port([&] {
    ++discoveries;
    return devices;
  });

  uint32_t count = 0;
  ASSERT_EQ(port.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(discoveries, 1);

  char text[kFtStringSize];
  ASSERT_EQ(port.ListDevices(Index(0), text, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);
  EXPECT_STREQ(text, "Card reader");
  ASSERT_EQ(port.ListDevices(Index(0), text, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
  EXPECT_STREQ(text, "A1B2");
  ASSERT_EQ(port.ListDevices(Index(1), text, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);
  EXPECT_STREQ(text, "Evidence reader");
  // Unreadable texts fail, so that the start-up skips the device.
  EXPECT_NE(port.ListDevices(Index(1), text, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
  EXPECT_NE(port.ListDevices(Index(2), text, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);
  // Long texts are cut to 63 characters and the zero.
  std::memset(text, '#', sizeof text);
  ASSERT_EQ(port.ListDevices(Index(3), text, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);
  EXPECT_EQ(std::string(text), std::string(63, 'x'));
  ASSERT_EQ(port.ListDevices(Index(3), text, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
  EXPECT_EQ(std::string(text), std::string(63, 'x'));
  // Out of range.
  EXPECT_EQ(port.ListDevices(Index(4), text, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_DEVICE_NOT_FOUND);
  // The BY_INDEX queries answer from the list of the count.
  EXPECT_EQ(discoveries, 1);

  // Every count discovers afresh.
  devices.pop_back();
  ASSERT_EQ(port.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(discoveries, 2);
  EXPECT_EQ(port.ListDevices(Index(3), text, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_DEVICE_NOT_FOUND);
}

TEST(PosixTtyD2xx, CutsLongUtf8TextBetweenCharacters) {
  // 62 ASCII characters and a two-byte character: the character does not fit.
  const std::string text = std::string(62, 'a') + "\xC4\x8D";  // "č"
  TTtyD2xx port(Fixed({{"/dev/null", text, "S"}}));
  char buffer[kFtStringSize];
  ASSERT_EQ(port.ListDevices(Index(0), buffer, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);
  EXPECT_EQ(std::string(buffer), std::string(62, 'a'));
}

TEST(PosixTtyD2xx, QueryByIndexBeforeAnyCountDiscovers) {
  TTtyD2xx port(Fixed({{"/dev/pts/90", "Reader", "S1"}}));
  char text[kFtStringSize];
  ASSERT_EQ(port.ListDevices(Index(0), text, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
  EXPECT_STREQ(text, "S1");
}

TEST(PosixTtyD2xx, FailingDiscoveryIsAStatusNotAnException) {
  TTtyD2xx port([]() -> std::vector<TTtyDevice> { throw std::runtime_error("no udev"); });
  uint32_t count = 7;
  EXPECT_NE(port.ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  FT_HANDLE handle = nullptr;
  EXPECT_NE(port.OpenEx(const_cast<char*>("S1"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_OK);
  EXPECT_EQ(handle, nullptr);
}

TEST(PosixTtyD2xx, UnsupportedListFlagsAreInvalidParameters) {
  TTtyD2xx port(Fixed({}));
  char text[kFtStringSize];
  EXPECT_EQ(port.ListDevices(nullptr, nullptr, FT_LIST_NUMBER_ONLY), FT_INVALID_PARAMETER);
  EXPECT_EQ(port.ListDevices(Index(0), text, FT_LIST_ALL | FT_OPEN_BY_DESCRIPTION), FT_INVALID_PARAMETER);
  EXPECT_EQ(port.ListDevices(Index(0), nullptr, FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_INVALID_PARAMETER);
}

TEST(PosixTtyD2xx, OpensAPtyBySerialAndSetsItUp9600_8N1) {
  TPty pty;
  TTtyD2xx port(Fixed({{"/dev/pts/nonexistent", "Other", "X9"}, {pty.SlavePath(), "Reader", "A1B2"}}));
  FT_HANDLE handle = OpenLikeTheLink(port, "A1B2");

  // The termios of the slave, seen through a second descriptor.
  const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  termios tio{};
  ASSERT_EQ(::tcgetattr(fd, &tio), 0);
  ::close(fd);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);

  EXPECT_EQ(port.Close(handle), FT_OK);
}

TEST(PosixTtyD2xx, BaudRates) {
  TPty pty;
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  FT_HANDLE handle = OpenLikeTheLink(port, "S1");
  for (uint32_t baud : {300u, 1200u, 9600u, 19200u, 57600u, 115200u, 230400u}) {
    EXPECT_EQ(port.SetBaudRate(handle, baud), FT_OK) << baud;
  }
  for (uint32_t baud : {0u, 1u, 9601u, 12345u, 3000001u}) {
    EXPECT_EQ(port.SetBaudRate(handle, baud), FT_INVALID_BAUD_RATE) << baud;
  }
  EXPECT_EQ(port.SetDataCharacteristics(handle, 9, FT_STOP_BITS_1, FT_PARITY_NONE), FT_INVALID_PARAMETER);
  EXPECT_EQ(port.SetDataCharacteristics(handle, FT_BITS_8, 1, FT_PARITY_NONE), FT_INVALID_PARAMETER);
  EXPECT_EQ(port.SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, 5), FT_INVALID_PARAMETER);
  EXPECT_EQ(port.SetFlowControl(handle, 0x0200 /* DTR/DSR */, 0, 0), FT_INVALID_PARAMETER);
  EXPECT_EQ(port.Close(handle), FT_OK);
}

TEST(PosixTtyD2xx, ReadTimesOutWithNothing) {
  TPty pty;
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  FT_HANDLE handle = OpenLikeTheLink(port, "S1");
  ASSERT_EQ(port.SetTimeouts(handle, 100, 100), FT_OK);
  uint8_t byte = 0;
  uint32_t received = 99;
  const auto start = Clock::now();
  EXPECT_EQ(port.Read(handle, &byte, 1, &received), FT_OK);
  EXPECT_GE(MsSince(start), 100);
  EXPECT_EQ(received, 0u);
  port.Close(handle);
}

TEST(PosixTtyD2xx, ReadReturnsAsSoonAsTheByteArrives) {
  TPty pty;
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  FT_HANDLE handle = OpenLikeTheLink(port, "S1");
  ASSERT_EQ(port.SetTimeouts(handle, 10000, 100), FT_OK);
  std::thread sender([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pty.Send({0xC0});
  });
  uint8_t byte = 0;
  uint32_t received = 0;
  const auto start = Clock::now();
  EXPECT_EQ(port.Read(handle, &byte, 1, &received), FT_OK);
  const int64_t elapsed = MsSince(start);
  sender.join();
  EXPECT_EQ(received, 1u);
  EXPECT_EQ(byte, 0xC0);
  EXPECT_GE(elapsed, 40);    // it did wait for the byte
  EXPECT_LT(elapsed, 5000);  // and did not wait for the 10 s time-out
  port.Close(handle);
}

TEST(PosixTtyD2xx, ReadGivesWhatIsThereAtTheTimeOut) {
  TPty pty;
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  FT_HANDLE handle = OpenLikeTheLink(port, "S1");
  ASSERT_EQ(port.SetTimeouts(handle, 100, 100), FT_OK);
  pty.Send({0x01, 0x02});
  uint8_t bytes[4] = {};
  uint32_t received = 0;
  const auto start = Clock::now();
  EXPECT_EQ(port.Read(handle, bytes, 4, &received), FT_OK);
  EXPECT_GE(MsSince(start), 100);
  ASSERT_EQ(received, 2u);
  EXPECT_EQ(bytes[0], 0x01);
  EXPECT_EQ(bytes[1], 0x02);
  // One byte at a time, as the frame reader reads: nothing of the next is taken.
  pty.Send({0x03, 0x04});
  ASSERT_EQ(port.SetTimeouts(handle, 1000, 100), FT_OK);
  EXPECT_EQ(port.Read(handle, bytes, 1, &received), FT_OK);
  EXPECT_EQ(received, 1u);
  EXPECT_EQ(bytes[0], 0x03);
  EXPECT_EQ(port.Read(handle, bytes, 1, &received), FT_OK);
  EXPECT_EQ(received, 1u);
  EXPECT_EQ(bytes[0], 0x04);
  port.Close(handle);
}

TEST(PosixTtyD2xx, WriteReachesTheOtherSide) {
  TPty pty;
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  FT_HANDLE handle = OpenLikeTheLink(port, "S1");
  // Bytes a tty would translate in cooked mode: CR, LF, XON, XOFF, ^C, 0x7F, 0xFF.
  const std::vector<uint8_t> frame = {0xC0, 0x01, 0x0D, 0x0A, 0x11, 0x13, 0x03, 0x7F, 0xFF, 0x7D, 0xC1};
  uint32_t written = 0;
  EXPECT_EQ(port.Write(handle, frame.data(), static_cast<uint32_t>(frame.size()), &written), FT_OK);
  EXPECT_EQ(written, frame.size());
  EXPECT_EQ(pty.Receive(frame.size()), frame);

  // And the same bytes arrive unchanged the other way.
  pty.Send(frame);
  std::vector<uint8_t> back(frame.size());
  uint32_t received = 0;
  ASSERT_EQ(port.SetTimeouts(handle, 1000, 100), FT_OK);
  EXPECT_EQ(port.Read(handle, back.data(), static_cast<uint32_t>(back.size()), &received), FT_OK);
  EXPECT_EQ(received, frame.size());
  EXPECT_EQ(back, frame);
  port.Close(handle);
}

TEST(PosixTtyD2xx, WriteStopsAtTheWriteTimeOutWhenNobodyReads) {
  TPty pty;  // the master never reads
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  FT_HANDLE handle = OpenLikeTheLink(port, "S1");
  ASSERT_EQ(port.SetTimeouts(handle, 50, 100), FT_OK);
  const std::vector<uint8_t> lots(1 << 20, 0x55);
  uint32_t written = 0;
  const auto start = Clock::now();
  EXPECT_EQ(port.Write(handle, lots.data(), static_cast<uint32_t>(lots.size()), &written), FT_OK);
  EXPECT_GE(MsSince(start), 100);
  EXPECT_LT(written, lots.size());
  port.Close(handle);
}

TEST(PosixTtyD2xx, ClosedMasterIsAnIoError) {
  TPty pty;
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  FT_HANDLE handle = OpenLikeTheLink(port, "S1");
  ASSERT_EQ(port.SetTimeouts(handle, 10000, 100), FT_OK);
  pty.CloseMaster();
  uint8_t byte = 0;
  uint32_t received = 0;
  const auto start = Clock::now();
  EXPECT_EQ(port.Read(handle, &byte, 1, &received), FT_IO_ERROR);
  EXPECT_LT(MsSince(start), 5000);  // not after the 10 s time-out
  EXPECT_EQ(received, 0u);
  uint32_t written = 0;
  EXPECT_EQ(port.Write(handle, &byte, 1, &written), FT_IO_ERROR);
  EXPECT_EQ(port.SetBaudRate(handle, 9600), FT_IO_ERROR);
  // The link then closes the handle and tries to open again, which fails
  // while the device is missing.
  EXPECT_EQ(port.Close(handle), FT_OK);
}

TEST(PosixTtyD2xx, MasterClosedWhileReadWaits) {
  TPty pty;
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  FT_HANDLE handle = OpenLikeTheLink(port, "S1");
  ASSERT_EQ(port.SetTimeouts(handle, 10000, 100), FT_OK);
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pty.CloseMaster();
  });
  uint8_t byte = 0;
  uint32_t received = 0;
  const auto start = Clock::now();
  EXPECT_EQ(port.Read(handle, &byte, 1, &received), FT_IO_ERROR);
  EXPECT_LT(MsSince(start), 5000);
  unplug.join();
  port.Close(handle);
}

TEST(PosixTtyD2xx, OpenFailures) {
  TPty pty;
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"},
                       {"/dev/snimac-does-not-exist", "Gone", "S2"},
                       {"/dev/null", "Not a tty", "S3"},
                       {"/dev/pts/91", "Unreadable serial", ""}}));
  FT_HANDLE handle = reinterpret_cast<FT_HANDLE>(0x99);
  EXPECT_EQ(port.OpenEx(const_cast<char*>("NOPE"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(handle, nullptr);
  // An empty serial number is asked for, and matches nothing.
  EXPECT_EQ(port.OpenEx(const_cast<char*>(""), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(port.OpenEx(const_cast<char*>("S2"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(port.OpenEx(const_cast<char*>("S3"), FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(port.OpenEx(nullptr, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_INVALID_PARAMETER);
  EXPECT_EQ(port.OpenEx(const_cast<char*>("S1"), FT_OPEN_BY_SERIAL_NUMBER, nullptr), FT_INVALID_PARAMETER);
  // By description works too, as in D2XX.
  ASSERT_EQ(port.OpenEx(const_cast<char*>("Reader"), FT_OPEN_BY_DESCRIPTION, &handle), FT_OK);
  EXPECT_EQ(port.Close(handle), FT_OK);
}

TEST(PosixTtyD2xx, OneUserAtATimeAndReopenAfterClose) {
  TPty pty;
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  TTtyD2xx other(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  FT_HANDLE first = OpenLikeTheLink(port, "S1");
  FT_HANDLE second = nullptr;
  EXPECT_EQ(port.OpenEx(const_cast<char*>("S1"), FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(other.OpenEx(const_cast<char*>("S1"), FT_OPEN_BY_SERIAL_NUMBER, &second), FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(port.Close(first), FT_OK);
  // The link's reopen: close, then open again.
  FT_HANDLE again = OpenLikeTheLink(port, "S1");
  EXPECT_NE(again, first);  // handles are not reused
  uint32_t written = 0;
  const uint8_t byte = 0x42;
  EXPECT_EQ(port.Write(again, &byte, 1, &written), FT_OK);
  EXPECT_EQ(pty.Receive(1), std::vector<uint8_t>{0x42});
  EXPECT_EQ(port.Close(again), FT_OK);
}

TEST(PosixTtyD2xx, NullClosedAndUnknownHandles) {
  TPty pty;
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  uint8_t byte = 0;
  uint32_t n = 0;
  for (FT_HANDLE bad : {static_cast<FT_HANDLE>(nullptr), reinterpret_cast<FT_HANDLE>(0x5151)}) {
    EXPECT_EQ(port.SetBaudRate(bad, 9600), FT_INVALID_HANDLE);
    EXPECT_EQ(port.SetDataCharacteristics(bad, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_INVALID_HANDLE);
    EXPECT_EQ(port.SetFlowControl(bad, FT_FLOW_NONE, 0, 0), FT_INVALID_HANDLE);
    EXPECT_EQ(port.SetTimeouts(bad, 50, 100), FT_INVALID_HANDLE);
    EXPECT_EQ(port.Write(bad, &byte, 1, &n), FT_INVALID_HANDLE);
    EXPECT_EQ(port.Read(bad, &byte, 1, &n), FT_INVALID_HANDLE);
    EXPECT_EQ(port.Close(bad), FT_INVALID_HANDLE);
  }
  FT_HANDLE handle = OpenLikeTheLink(port, "S1");
  EXPECT_EQ(port.Close(handle), FT_OK);
  EXPECT_EQ(port.Close(handle), FT_INVALID_HANDLE);
  EXPECT_EQ(port.Read(handle, &byte, 1, &n), FT_INVALID_HANDLE);
  EXPECT_EQ(port.Write(handle, &byte, 1, &n), FT_INVALID_HANDLE);
}

TEST(PosixTtyD2xx, InputFromBeforeTheOpenIsDiscarded) {
  TPty pty;
  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}));
  // Keep the slave open meanwhile (as the pty reader host does) so that the
  // stale bytes stay queued in the pty.
  const int keep = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(keep, 0);
  termios tio{};
  ASSERT_EQ(::tcgetattr(keep, &tio), 0);
  ::cfmakeraw(&tio);
  ASSERT_EQ(::tcsetattr(keep, TCSANOW, &tio), 0);
  pty.Send({0xAA, 0xBB});
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  FT_HANDLE handle = OpenLikeTheLink(port, "S1");
  pty.Send({0xCC});
  uint8_t byte = 0;
  uint32_t received = 0;
  ASSERT_EQ(port.SetTimeouts(handle, 1000, 100), FT_OK);
  EXPECT_EQ(port.Read(handle, &byte, 1, &received), FT_OK);
  EXPECT_EQ(received, 1u);
  EXPECT_EQ(byte, 0xCC);
  port.Close(handle);
  ::close(keep);
}

// A pty has neither of the kernel's latency knobs: nothing to set, and the
// port works as before. Where the usb-serial folder lists the tty, its
// latency_timer file gets the exact value.
TEST(PosixTtyD2xx, LatencyTimerGoesToSysfsWhereThereIsOneAndIsNoErrorOnAPty) {
  TPty pty;
  char folder[] = "/tmp/snimac-usb-serial-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  const std::string name = pty.SlavePath().substr(pty.SlavePath().rfind('/') + 1);
  const std::string ttyFolder = std::string(folder) + "/" + name;
  const std::string file = ttyFolder + "/latency_timer";

  TTtyD2xx port(Fixed({{pty.SlavePath(), "Reader", "S1"}}), folder);
  FT_HANDLE handle = OpenLikeTheLink(port, "S1");
  EXPECT_EQ(port.SetLatencyTimer(handle, 2), FT_OK);  // no sysfs entry, no serial settings
  EXPECT_EQ(port.SetLatencyTimer(handle, 0), FT_INVALID_PARAMETER);
  EXPECT_EQ(port.SetLatencyTimer(reinterpret_cast<FT_HANDLE>(uintptr_t{999}), 2), FT_INVALID_HANDLE);
  pty.Send({0x5A});
  uint8_t byte = 0;
  uint32_t received = 0;
  EXPECT_EQ(port.Read(handle, &byte, 1, &received), FT_OK);
  EXPECT_EQ(byte, 0x5A);

  ASSERT_EQ(::mkdir(ttyFolder.c_str(), 0700), 0);
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_EQ(port.SetLatencyTimer(handle, 7), FT_OK);
  char text[8] = {};
  const int in = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(in, 0);
  EXPECT_EQ(::read(in, text, sizeof text - 1), 2);
  ::close(in);
  EXPECT_STREQ(text, "7\n");
  port.Close(handle);
  ::unlink(file.c_str());
  ::rmdir(ttyFolder.c_str());
  ::rmdir(folder);
}

}  // namespace
}  // namespace snimac
