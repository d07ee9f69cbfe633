#include "platform/posix/pty_reader_host.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace snimac {

namespace {

int64_t NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("pty: " + what + ": " + std::strerror(errno));
}

void MakeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) Fail("tcgetattr");
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) Fail("tcsetattr");
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

TPtyReaderHost::TPtyReaderHost(TOnByte onByte, TTakeOutput takeOutput, TPtyTiming timing)
    : onByte_(std::move(onByte)), takeOutput_(std::move(takeOutput)), timing_(timing) {
  try {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) Fail("posix_openpt");
    if (::grantpt(master_) != 0) Fail("grantpt");
    if (::unlockpt(master_) != 0) Fail("unlockpt");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) Fail("ptsname");
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) Fail("open " + slavePath_);
    MakeRaw(slave_);
    MakeRaw(master_);
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) Fail("fcntl");
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) Fail("pipe2");
    wakeRead_ = pipe[0];
    wakeWrite_ = pipe[1];
  } catch (...) {
    CloseFd(wakeRead_);
    CloseFd(wakeWrite_);
    CloseFd(slave_);
    CloseFd(master_);
    throw;
  }
}

TPtyReaderHost::~TPtyReaderHost() {
  CloseFd(wakeRead_);
  CloseFd(wakeWrite_);
  CloseFd(slave_);
  CloseFd(master_);
}

void TPtyReaderHost::Stop() {
  stop_.store(true);
  const char c = 's';
  [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, &c, 1);  // full pipe: already woken
}

void TPtyReaderHost::ReadInput() {
  uint8_t buffer[256];
  for (;;) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
      for (ssize_t i = 0; i < n; ++i) onByte_(buffer[i]);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    // EIO (no slave open) cannot happen while the host keeps its own slave
    // descriptor; anything else is a real fault.
    if (n == 0) errno = EIO;
    Fail("read");
  }
}

void TPtyReaderHost::TakeOutput(int64_t nowUs) {
  const std::vector<uint8_t> bytes = takeOutput_();
  if (bytes.empty()) return;
  int64_t due = std::max(nowUs + timing_.processingUs, lastDueUs_ + timing_.byteUs);
  for (const uint8_t byte : bytes) {
    pending_.push_back({byte, due});
    lastDueUs_ = due;
    due += timing_.byteUs;
  }
}

void TPtyReaderHost::WriteDue(int64_t nowUs) {
  while (!pending_.empty() && pending_.front().dueUs <= nowUs) {
    uint8_t buffer[256];
    size_t count = 0;
    while (count < sizeof buffer && count < pending_.size() && pending_[count].dueUs <= nowUs) {
      buffer[count] = pending_[count].byte;
      ++count;
    }
    const ssize_t n = ::write(master_, buffer, count);
    if (n > 0) {
      pending_.erase(pending_.begin(), pending_.begin() + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // Run waits for POLLOUT
    if (n == 0) errno = EIO;
    Fail("write");
  }
}

void TPtyReaderHost::Run() {
  int64_t nextTakeUs = NowUs();
  while (!stop_.load()) {
    int64_t now = NowUs();
    if (now >= nextTakeUs) {
      TakeOutput(now);
      nextTakeUs = now + timing_.idleUs;
    }
    WriteDue(now);
    const bool blocked = !pending_.empty() && pending_.front().dueUs <= now;  // pty full
    int64_t wakeUs = nextTakeUs;
    if (!pending_.empty() && !blocked) wakeUs = std::min(wakeUs, pending_.front().dueUs);
    const int64_t waitUs = std::max<int64_t>(0, wakeUs - now);
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(waitUs / 1000000);
    timeout.tv_nsec = static_cast<long>(waitUs % 1000000 * 1000);
    pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0},
                     {wakeRead_, POLLIN, 0}};
    if (::ppoll(fds, 2, &timeout, nullptr) < 0) {
      if (errno == EINTR) continue;
      Fail("ppoll");
    }
    if (fds[0].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) {
      ReadInput();
      TakeOutput(NowUs());
      nextTakeUs = NowUs() + timing_.idleUs;
    }
  }
  char drain[16];
  while (::read(wakeRead_, drain, sizeof drain) > 0) {
  }
}

}  // namespace snimac
