#include "link/protocol.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "link/frame_reader.h"
#include "link/proto_slave.h"
#include "link/thread_name.h"

namespace snimac {

namespace {
constexpr int64_t kIdleSleepMs = 300;   // also the cap of every wait, so requests are noticed
constexpr int64_t kReopenPauseMs = 100;
constexpr int64_t kErrorPauseMs = 100;
constexpr uint32_t kOpenReadTimeoutMs = 50;
constexpr uint32_t kWriteTimeoutMs = 100;
constexpr int kFrameReadTimeoutMs = 100;
constexpr const char* kDestroyWithSlaves = "Destroying protocol with slaves";
constexpr const char* kLinkException = "Exception in the link thread, the link goes on";
constexpr int64_t kExceptionPauseMs = 100;  // a fault that repeats at once cannot spin the thread
}  // namespace

bool SlavesPrioCmp::operator()(const TProtoSlave* a, const TProtoSlave* b) const {
  if (a->NextDue != b->NextDue) return a->NextDue < b->NextDue;
  return std::less<const TProtoSlave*>()(a, b);
}

TProtocol::TProtocol(TD2xx& d2xx, TClock& clock, TTextMessageQueue* log, TThreadWatch creator, TStart start)
    : d2xx_(d2xx), clock_(clock), log_(log), creator_(std::move(creator)) {
  if (start == TStart::Thread) thread_ = std::thread([this] { Execute(); });
}

TProtocol::~TProtocol() {
  bool withSlaves = false;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    withSlaves = !slaves_.empty();
  }
  if (withSlaves) {
    // A destructor must not throw, and an endpoint left behind would be
    // polled after its owner is gone: stop here, loudly.
    LogError("%s", kDestroyWithSlaves);
    std::fprintf(stderr, "%s\n", kDestroyWithSlaves);
    std::fflush(stderr);
    std::abort();
  }
  Terminate();
  WaitFor();
  Close();
}

void TProtocol::WaitFor() {
  std::lock_guard<std::mutex> guard(joinLock_);
  if (thread_.joinable()) thread_.join();
}

void TProtocol::Execute() {
  NameCurrentThread("protocol");
  {
    std::unique_lock<std::recursive_mutex> guard(lock_);
    while (!Terminated()) {
      // Nothing may leave the thread: an escaping exception would end the
      // whole process through std::terminate without a word.
      try {
        Pass();
      } catch (const std::exception& e) {
        ReportException(e.what());
        SleepUnlocked(kExceptionPauseMs);
      } catch (...) {
        ReportException(nullptr);
        SleepUnlocked(kExceptionPauseMs);
      }
    }
  }
  Close();
}

// An endpoint's poll runs its window's GetNextPacket: whatever that throws is
// reported, and the endpoint keeps its place in the schedule.
void TProtocol::PollGuarded(TProtoSlave& slave) {
  try {
    slave.Poll();
  } catch (const std::exception& e) {
    ReportException(e.what());
  } catch (...) {
    ReportException(nullptr);
  }
}

// Said on stderr first: it needs no memory, and the log may be what failed.
void TProtocol::ReportException(const char* what) noexcept {
  const char* text = what ? what : "unknown exception";
  std::fprintf(stderr, "%s: %s\n", kLinkException, text);
  std::fflush(stderr);
  try {
    LogError("%s: %s", kLinkException, text);
  } catch (...) {
  }
}

void TProtocol::RunPass() {
  std::unique_lock<std::recursive_mutex> guard(lock_);
  Pass();
}

void TProtocol::SleepUnlocked(int64_t ms) {
  lock_.unlock();
  clock_.SleepMs(ms);
  lock_.lock();
}

void TProtocol::Pass() {
  if (!creator_.Alive()) {
    Terminate();
    return;
  }
  if (reopenNeeded_.load() && clock_.NowMs() >= nextReopenMs_) {
    Reopen();
    SleepUnlocked(kReopenPauseMs);
    return;
  }
  if (schedule_.empty()) {
    SleepUnlocked(kIdleSleepMs);
    return;
  }
  TProtoSlave* slave = *schedule_.begin();
  const int64_t now = clock_.NowMs();
  if (slave->NextDue > now) {
    SleepUnlocked(std::min(slave->NextDue - now, kIdleSleepMs));
    return;
  }
  // The node is taken out and put back as it is: nothing to allocate, so the
  // endpoint cannot drop out of the schedule.
  auto node = schedule_.extract(schedule_.begin());
  PollGuarded(*slave);
  slave->NextDue = clock_.NowMs() + slave->PollInterval;
  schedule_.insert(std::move(node));
}

bool TProtocol::Open(const std::string& serialNumber, const std::string& settings) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  serialNumber_ = serialNumber;
  settings_ = settings;
  return Reopen();
}

bool TProtocol::Reopen() {
  reopenNeeded_.store(false);
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (handle_) Close();
  std::string serial = serialNumber_;
  FT_HANDLE handle = nullptr;
  FT_STATUS status = d2xx_.OpenEx(serial.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle);
  if (status != FT_OK) {
    // A reader that stays away fails every retry: the first failure says it.
    if (!openFailing_) LogError("Error %d in FT_Open", static_cast<int>(status));
    handle_ = nullptr;
    openFailing_ = true;
    portFailed_ = true;
    reopenNeeded_.store(true);
    nextReopenMs_ = clock_.NowMs() + kReopenRetryMs;
    return false;
  }
  const char* failed = nullptr;
  if ((status = d2xx_.SetBaudRate(handle, 9600)) != FT_OK) {
    failed = "Error %d in FT_SetBaudRate";
  } else if ((status = d2xx_.SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE)) != FT_OK) {
    failed = "Error %d in FT_SetDataCharacteristics";
  } else if ((status = d2xx_.SetFlowControl(handle, FT_FLOW_NONE, 0, 0)) != FT_OK) {
    failed = "Error %d in FT_SetFlowControl";
  } else if ((status = d2xx_.SetTimeouts(handle, kOpenReadTimeoutMs, kWriteTimeoutMs)) != FT_OK) {
    failed = "Error %d in FT_SetTimeouts";
  }
  if (failed) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    if (!openFailing_) LogError(failed, static_cast<int>(status));
#pragma GCC diagnostic pop
    d2xx_.Close(handle);
    handle_ = nullptr;
    openFailing_ = true;
    portFailed_ = true;
    reopenNeeded_.store(true);
    nextReopenMs_ = clock_.NowMs() + kReopenRetryMs;
    return false;
  }
  SetLatencyTimer(handle);
  handle_ = handle;
  if (openFailing_) LogWarning("Port reopened");
  openFailing_ = false;
  portFailed_ = false;
  return true;
}

// The converter's own 16 ms would do, only slower: a driver or library that
// cannot set the timer is reported once and the link goes on.
void TProtocol::SetLatencyTimer(FT_HANDLE handle) {
  const FT_STATUS status = d2xx_.SetLatencyTimer(handle, latencyMs_);
  if (status == FT_OK) {
    latencyFailing_ = false;
    return;
  }
  if (!latencyFailing_) {
    LogWarning("Error %d in FT_SetLatencyTimer(%d ms), the converter keeps its own", static_cast<int>(status),
               static_cast<int>(latencyMs_));
  }
  latencyFailing_ = true;
}

void TProtocol::SetLatency(uint8_t ms) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  latencyMs_ = ms;
}

bool TProtocol::PortFailed() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return portFailed_;
}

void TProtocol::PortLost(const char* call, FT_STATUS status) {
  LogError("SendPacket: %s error %d", call, static_cast<int>(status));
  clock_.SleepMs(kErrorPauseMs);
  portFailed_ = true;
  nextReopenMs_ = 0;  // the first reopen at once: the fault may have been passing
  reopenNeeded_.store(true);
}

bool TProtocol::Close() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (handle_) {
    d2xx_.Close(handle_);
    handle_ = nullptr;
  }
  return true;
}

bool TProtocol::IsOpen() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return handle_ != nullptr;
}

bool TProtocol::SetReadTimeout(int ms) {
  const FT_STATUS status = d2xx_.SetTimeouts(handle_, static_cast<uint32_t>(ms), kWriteTimeoutMs);
  if (status != FT_OK) {
    LogError("Error %d in FT_SetTimeouts", static_cast<int>(status));
    return false;
  }
  return true;
}

int TProtocol::SendPacket(const TRawPacket& packet) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (portFailed_) return -1;
  std::array<uint8_t, kFrameBufferSize> frame{};
  const int length = EncodeFrame(packet, frame.data());
  uint32_t written = 0;
  const FT_STATUS status = d2xx_.Write(handle_, frame.data(), static_cast<uint32_t>(length), &written);
  if (status != FT_OK) {
    PortLost("FT_Write", status);
    return -1;
  }
  if (static_cast<int>(written) != length) {
    LogWarning("SendPacket: Incomplete write (%d/%d)", static_cast<int>(written), length);
    return -1;
  }
  return static_cast<int>(written);
}

int TProtocol::ReadBytes(uint8_t* buffer, int count) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (portFailed_) return -1;
  uint32_t received = 0;
  const FT_STATUS status = d2xx_.Read(handle_, buffer, static_cast<uint32_t>(count), &received);
  if (status != FT_OK) {
    PortLost("FT_Read", status);
    return -1;
  }
  return static_cast<int>(received);
}

int TProtocol::ReadFrame(uint8_t (&buffer)[kMaxPacket], int& length) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  length = 0;
  if (portFailed_) return -1;
  SetReadTimeout(kFrameReadTimeoutMs);
  return ReadFrameFrom([this](uint8_t& byte) { return ReadBytes(&byte, 1); }, buffer, length);
}

int TProtocol::Register(TProtoSlave* slave) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  slaves_.insert(slave);
  schedule_.insert(slave);
  return 1;
}

int TProtocol::Unregister(TProtoSlave* slave) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  slaves_.erase(slave);
  schedule_.erase(slave);
  return 1;
}

size_t TProtocol::SlaveCount() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  return slaves_.size();
}

int TProtocol::AllocateAddress() {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  std::array<bool, 127> taken{};
  for (const TProtoSlave* s : slaves_) {
    if (s->Address >= 1 && s->Address <= 126) taken[static_cast<size_t>(s->Address)] = true;
  }
  for (int a = 1; a <= 126; ++a) {
    if (!taken[static_cast<size_t>(a)]) return a;
  }
  return -1;
}

void TProtocol::LogAt(TLogLevel level, const char* format, va_list args) {
  if (!log_) return;  // nothing is even formatted without a log
  log_->Put(std::make_unique<TTextMessage>(level, FormatV(format, args), "Protocol"));
}

void TProtocol::LogError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogAt(TLogLevel::Error, format, args);
  va_end(args);
}

void TProtocol::LogWarning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogAt(TLogLevel::Warn, format, args);
  va_end(args);
}

}  // namespace snimac
