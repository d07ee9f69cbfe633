#include "platform/posix/tty_d2xx.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <optional>
#include <utility>

namespace snimac {

namespace {

std::optional<speed_t> TermiosSpeed(uint32_t baud) {
  switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
#ifdef B460800
    case 460800: return B460800;
#endif
#ifdef B500000
    case 500000: return B500000;
#endif
#ifdef B576000
    case 576000: return B576000;
#endif
#ifdef B921600
    case 921600: return B921600;
#endif
#ifdef B1000000
    case 1000000: return B1000000;
#endif
#ifdef B1152000
    case 1152000: return B1152000;
#endif
#ifdef B1500000
    case 1500000: return B1500000;
#endif
#ifdef B2000000
    case 2000000: return B2000000;
#endif
#ifdef B2500000
    case 2500000: return B2500000;
#endif
#ifdef B3000000
    case 3000000: return B3000000;
#endif
#ifdef B3500000
    case 3500000: return B3500000;
#endif
#ifdef B4000000
    case 4000000: return B4000000;
#endif
    default: return std::nullopt;
  }
}

using Clock = std::chrono::steady_clock;

// Remaining time to a deadline as a timespec for ppoll; nullopt = passed.
std::optional<timespec> Remaining(Clock::time_point deadline) {
  const auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return std::nullopt;
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(ns / 1000000000);
  ts.tv_nsec = static_cast<long>(ns % 1000000000);
  return ts;
}

enum class TWait { Ready, TimedOut, Failed };

// Waits for `events` on fd until the deadline (none when timeoutMs is 0).
// Failed: poll error, or the device reports an error / hang-up without the
// wanted event (a readable hang-up is left to read(), which then reports it).
TWait WaitFor(int fd, short events, uint32_t timeoutMs, Clock::time_point deadline) {
  for (;;) {
    pollfd pfd{fd, events, 0};
    int r;
    if (timeoutMs == 0) {
      r = ::ppoll(&pfd, 1, nullptr, nullptr);
    } else {
      const auto left = Remaining(deadline);
      if (!left) return TWait::TimedOut;
      r = ::ppoll(&pfd, 1, &*left, nullptr);
    }
    if (r < 0) {
      if (errno == EINTR) continue;
      return TWait::Failed;
    }
    if (r == 0) return TWait::TimedOut;
    if (pfd.revents & POLLNVAL) return TWait::Failed;
    if (pfd.revents & events) return TWait::Ready;
    if (pfd.revents & (POLLERR | POLLHUP)) return TWait::Failed;
  }
}

}  // namespace

struct TTtyD2xx::TPort {
  TPort(int descriptor, std::string devicePath) : fd(descriptor), path(std::move(devicePath)) {}
  ~TPort() {
    if (fd >= 0) ::close(fd);  // also releases the flock
  }
  TPort(const TPort&) = delete;
  TPort& operator=(const TPort&) = delete;

  // Applies `change` to the tty's termios. `change` returns FT_OK or the
  // status for an unsupported argument (then nothing is changed).
  template <typename F>
  FT_STATUS Update(F&& change) {
    std::lock_guard<std::mutex> lock(termiosMutex);
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return FT_IO_ERROR;
    const FT_STATUS status = change(tio);
    if (status != FT_OK) return status;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return FT_IO_ERROR;
    return FT_OK;
  }

  const int fd;
  const std::string path;
  std::mutex termiosMutex;  // read-modify-write of the termios
  std::atomic<uint32_t> readTimeoutMs{0};
  std::atomic<uint32_t> writeTimeoutMs{0};
};

TTtyD2xx::TTtyD2xx(TTtyDiscovery discover, std::string usbSerialSysfs)
    : discover_(std::move(discover)), usbSerialSysfs_(std::move(usbSerialSysfs)) {}

TTtyD2xx::~TTtyD2xx() = default;  // the ports close their descriptors

bool TTtyD2xx::Discover(std::vector<TTtyDevice>& devices) {
  if (!discover_) return false;
  try {
    devices = discover_();
    return true;
  } catch (...) {
    return false;
  }
}

FT_STATUS TTtyD2xx::ListDevices(void* arg1, void* arg2, uint32_t flags) {
  // A malformed query is refused before anything is discovered.
  const FT_STATUS valid = CheckListQuery(arg1, arg2, flags);
  if (valid != FT_OK) return valid;
  // A count discovers afresh; the texts come from the last count (a text
  // query before any count discovers once).
  const bool count = flags == FT_LIST_NUMBER_ONLY;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!count && haveListed_) return ListFromDevices(listed_, arg1, arg2, flags);
  }
  std::vector<TTtyDevice> devices;
  if (!Discover(devices)) return FT_OTHER_ERROR;
  std::lock_guard<std::mutex> lock(mutex_);
  if (count || !haveListed_) {
    listed_ = std::move(devices);
    haveListed_ = true;
  }
  return ListFromDevices(listed_, arg1, arg2, flags);
}

FT_STATUS TTtyD2xx::OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
  const FT_STATUS valid = CheckOpenQuery(arg, flags, handle);
  if (valid != FT_OK) return valid;
  std::vector<TTtyDevice> devices;
  if (!Discover(devices)) return FT_OTHER_ERROR;
  const TTtyDevice* device = FindDevice(devices, static_cast<const char*>(arg), flags);
  if (device == nullptr) return FT_DEVICE_NOT_FOUND;

  const int fd = ::open(device->path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return FT_DEVICE_NOT_OPENED;
  auto port = std::make_shared<TPort>(fd, device->path);  // closes fd on every failure below
  if (!::isatty(fd)) return FT_DEVICE_NOT_OPENED;
  // One user at a time, as with D2XX. flock (not TIOCEXCL): released by the
  // kernel when the descriptor is closed, even when the process dies.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return FT_DEVICE_NOT_OPENED;
  const FT_STATUS status = port->Update([](termios& tio) {
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CRTSCTS | CSTOPB | PARENB | PARODD | CMSPAR | CSIZE);
    tio.c_cflag |= CS8;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // VMIN 1 with O_NONBLOCK: read() gives EAGAIN when nothing is there, so
    // that 0 can only mean end of file (a hung-up tty). Time-outs are ours.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    return FT_OK;
  });
  if (status != FT_OK) return FT_DEVICE_NOT_OPENED;
  ::tcflush(fd, TCIFLUSH);  // input from before the open is not ours

  *handle = ports_.Add(std::move(port));
  return FT_OK;
}

FT_STATUS TTtyD2xx::SetBaudRate(FT_HANDLE handle, uint32_t baud) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  const auto speed = TermiosSpeed(baud);
  if (!speed) return FT_INVALID_BAUD_RATE;
  return port->Update([&](termios& tio) {
    ::cfsetispeed(&tio, *speed);
    ::cfsetospeed(&tio, *speed);
    return FT_OK;
  });
}

FT_STATUS TTtyD2xx::SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                           uint8_t parity) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (!ValidDataCharacteristics(wordLength, stopBits, parity)) return FT_INVALID_PARAMETER;
  return port->Update([&](termios& tio) {
    tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR);
    tio.c_cflag |= wordLength == FT_BITS_8 ? CS8 : CS7;
    if (stopBits == FT_STOP_BITS_2) tio.c_cflag |= CSTOPB;
    switch (parity) {
      case FT_PARITY_ODD: tio.c_cflag |= PARENB | PARODD; break;
      case FT_PARITY_EVEN: tio.c_cflag |= PARENB; break;
      case FT_PARITY_MARK: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
      case FT_PARITY_SPACE: tio.c_cflag |= PARENB | CMSPAR; break;
      default: break;  // FT_PARITY_NONE
    }
    return FT_OK;
  });
}

FT_STATUS TTtyD2xx::SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (flow != FT_FLOW_NONE && flow != FT_FLOW_RTS_CTS && flow != FT_FLOW_XON_XOFF) return FT_INVALID_PARAMETER;
  return port->Update([&](termios& tio) {
    tio.c_cflag &= ~CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (flow == FT_FLOW_RTS_CTS) tio.c_cflag |= CRTSCTS;
    if (flow == FT_FLOW_XON_XOFF) {
      tio.c_iflag |= IXON | IXOFF;
      tio.c_cc[VSTART] = xon;
      tio.c_cc[VSTOP] = xoff;
    }
    return FT_OK;
  });
}

FT_STATUS TTtyD2xx::SetTimeouts(FT_HANDLE handle, uint32_t readMs, uint32_t writeMs) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  port->readTimeoutMs.store(readMs);
  port->writeTimeoutMs.store(writeMs);
  return FT_OK;
}

bool TTtyD2xx::WriteSysfsLatency(const std::string& path, uint8_t ms) const {
  // The listed path may be a link (/dev/serial/by-id/...): the kernel knows
  // the tty by the name it points to.
  char real[PATH_MAX];
  if (::realpath(path.c_str(), real) == nullptr) return false;
  const std::string device(real);
  const std::string name = device.substr(device.rfind('/') + 1);
  const std::string file = usbSerialSysfs_ + "/" + name + "/latency_timer";
  const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  const std::string value = std::to_string(ms) + "\n";
  const bool written = ::write(fd, value.data(), value.size()) == static_cast<ssize_t>(value.size());
  ::close(fd);
  return written;
}

FT_STATUS TTtyD2xx::SetLatencyTimer(FT_HANDLE handle, uint8_t ms) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (ms < kMinLatencyMs) return FT_INVALID_PARAMETER;
  const bool exact = WriteSysfsLatency(port->path, ms);
  const auto failure = [] { return errno == ENOTTY || errno == EINVAL ? FT_NOT_SUPPORTED : FT_IO_ERROR; };
  serial_struct serial{};
  if (::ioctl(port->fd, TIOCGSERIAL, &serial) != 0) {
    // No serial settings (a pty): no low-latency mode, nothing more to set.
    return failure() == FT_NOT_SUPPORTED ? FT_OK : FT_IO_ERROR;
  }
  // In low-latency mode ftdi_sio runs the timer at 1 ms whatever sysfs says.
  const bool lowLatency = !exact && ms < kConverterDefaultLatencyMs;
  const int flags = lowLatency ? (serial.flags | ASYNC_LOW_LATENCY) : (serial.flags & ~ASYNC_LOW_LATENCY);
  if (flags == serial.flags) return FT_OK;
  serial.flags = flags;
  return ::ioctl(port->fd, TIOCSSERIAL, &serial) == 0 ? FT_OK : failure();
}

FT_STATUS TTtyD2xx::Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (written == nullptr || (buffer == nullptr && count > 0)) return FT_INVALID_PARAMETER;
  *written = 0;
  const uint32_t timeoutMs = port->writeTimeoutMs.load();
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(port->fd, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const TWait wait = WaitFor(port->fd, POLLOUT, timeoutMs, deadline);
      if (wait == TWait::Ready) continue;
      if (wait == TWait::TimedOut) break;  // short write, as D2XX reports it
    }
    *written = done;
    return FT_IO_ERROR;
  }
  *written = done;
  return FT_OK;
}

FT_STATUS TTtyD2xx::Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* received) {
  const auto port = ports_.Find(handle);
  if (!port) return FT_INVALID_HANDLE;
  if (received == nullptr || (buffer == nullptr && count > 0)) return FT_INVALID_PARAMETER;
  *received = 0;
  const uint32_t timeoutMs = port->readTimeoutMs.load();
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto* bytes = static_cast<uint8_t*>(buffer);
  uint32_t got = 0;
  while (got < count) {
    const ssize_t n = ::read(port->fd, bytes + got, count - got);
    if (n > 0) {
      got += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const TWait wait = WaitFor(port->fd, POLLIN, timeoutMs, deadline);
      if (wait == TWait::Ready) continue;
      if (wait == TWait::TimedOut) break;  // fewer bytes (or none), FT_OK
    }
    // n == 0 (end of file on a hung-up tty), EIO and other errors, or a poll
    // that reported a hang-up or error: the device is gone.
    *received = got;
    return FT_IO_ERROR;
  }
  *received = got;
  return FT_OK;
}

FT_STATUS TTtyD2xx::Close(FT_HANDLE handle) {
  // The descriptor closes with the last reference to the port.
  return ports_.Remove(handle) ? FT_OK : FT_INVALID_HANDLE;
}

}  // namespace snimac
