#include "platform/posix/tty_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/posix/user_dirs.h"

namespace snimac {

namespace {

class TTtySerialPort : public TSerialPort {
 public:
  explicit TTtySerialPort(int fd) : fd_(fd) {}
  ~TTtySerialPort() override { ::close(fd_); }
  TTtySerialPort(const TTtySerialPort&) = delete;
  TTtySerialPort& operator=(const TTtySerialPort&) = delete;

  // The descriptor is non-blocking: a full port is waited for with poll, up
  // to kSerialWriteTimeoutMs for the whole write, and then given up on.
  bool Write(const void* bytes, size_t count) override {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kSerialWriteTimeoutMs);
    const auto* p = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
      const ssize_t n = ::write(fd_, p, count);
      if (n > 0) {
        p += n;
        count -= static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      pollfd pfd{fd_, POLLOUT, 0};
      if (::poll(&pfd, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
    }
    return true;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<TSerialPort> OpenTtySerialPort(const std::string& path) {
  // No O_CREAT: the port must already exist, as a device does. O_NONBLOCK:
  // neither the open nor a write may hang the program.
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
  }
  return std::make_unique<TTtySerialPort>(fd);
}

std::string SerialPortPathFromEnvironment(const TEnvironmentLookup& environment) {
  const std::optional<std::string> path = environment("SNIMAC_SERIAL_PORT");
  if (path && !path->empty()) return *path;
  return UserRuntimeDir(environment) + kDefaultSerialPortName;
}

}  // namespace snimac
