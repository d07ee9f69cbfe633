#include "platform/posix/tty_serial_port.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace snimac {

namespace {

class TTtySerialPort : public TSerialPort {
 public:
  explicit TTtySerialPort(int fd) : fd_(fd) {}
  ~TTtySerialPort() override { ::close(fd_); }
  TTtySerialPort(const TTtySerialPort&) = delete;
  TTtySerialPort& operator=(const TTtySerialPort&) = delete;

  bool Write(const void* bytes, size_t count) override {
    const auto* p = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
      const ssize_t n = ::write(fd_, p, count);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      count -= static_cast<size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<TSerialPort> OpenTtySerialPort(const std::string& path) {
  // No O_CREAT: the port must already exist, as a device does.
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  termios tio{};
  if (::tcgetattr(fd, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
  }
  return std::make_unique<TTtySerialPort>(fd);
}

std::string SerialPortPathFromEnvironment() {
  const char* path = std::getenv("SNIMAC_SERIAL_PORT");
  return path && *path ? path : kDefaultSerialPortPath;
}

}  // namespace snimac
