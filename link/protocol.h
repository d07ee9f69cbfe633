// The master of the reader link: one thread owns the FTDI port and runs the
// poll turns of all registered endpoints, earliest due first. The loop is one
// pass repeated, with every sleep and time reading through the clock port, so
// tests can run it pass by pass on a virtual clock.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "link/clock.h"
#include "link/d2xx.h"
#include "link/packet.h"
#include "link/text_log.h"
#include "link/thread_watch.h"

namespace snimac {

class TProtoSlave;

struct SlavesPrioCmp {
  bool operator()(const TProtoSlave* a, const TProtoSlave* b) const;
};

class TProtocol {
 public:
  enum class TStart { Thread, Manual };

  // With TStart::Thread the link thread starts at once; with TStart::Manual
  // nothing runs until the owner calls RunPass (simulation on a virtual clock).
  TProtocol(TD2xx& d2xx, TClock& clock, TTextMessageQueue* log, TThreadWatch creator,
            TStart start = TStart::Thread);
  // Stops and joins the thread if the owner has not. Endpoints still
  // registered are a programming error: reported and the process aborts.
  ~TProtocol();
  TProtocol(const TProtocol&) = delete;
  TProtocol& operator=(const TProtocol&) = delete;

  // The converter's latency timer, set on every open that follows (before
  // Open: from the first). 1 to 255 ms; a failure to set it is logged once
  // and tolerated.
  static constexpr uint8_t kDefaultLatencyMs = 2;
  void SetLatency(uint8_t ms);

  // FTDI port.
  bool Open(const std::string& serialNumber, const std::string& settings);
  bool Reopen();
  bool Close();
  bool SetReadTimeout(int ms);
  int SendPacket(const TRawPacket& packet);
  int ReadBytes(uint8_t* buffer, int count);
  int ReadFrame(uint8_t (&buffer)[kMaxPacket], int& length);
  bool IsOpen();
  bool ReopenNeeded() const { return reopenNeeded_.load(); }
  // True from a failed transfer or open until a reopen succeeds. Meanwhile
  // transfers fail at once without touching the driver or the log, so an
  // unplugged reader costs nothing per turn; the reopen is retried every
  // kReopenRetryMs and only the first failure is logged.
  bool PortFailed();
  static constexpr int64_t kReopenRetryMs = 1000;

  int Register(TProtoSlave* slave);
  int Unregister(TProtoSlave* slave);
  int AllocateAddress();
  size_t SlaveCount();

  void LogError(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void LogWarning(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Thread control.
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }
  // Blocks until the thread has ended (returns at once without a thread).
  void WaitFor();
  // One pass of the loop, taking the lock itself.
  void RunPass();

  std::recursive_mutex& Lock() { return lock_; }
  TTextMessageQueue* Log() const { return log_; }
  TClock& Clock() { return clock_; }

 private:
  void Execute();
  void LogAt(TLogLevel level, const char* format, va_list args);
  void Pass();  // lock held once
  void PollGuarded(TProtoSlave& slave);
  // On stderr and in the log; never throws.
  void ReportException(const char* what) noexcept;
  void SleepUnlocked(int64_t ms);
  // Logs the loss of the port once and asks for a reopen.
  void PortLost(const char* call, FT_STATUS status);
  void SetLatencyTimer(FT_HANDLE handle);

  TD2xx& d2xx_;
  TClock& clock_;
  TTextMessageQueue* log_;
  TThreadWatch creator_;
  std::recursive_mutex lock_;
  FT_HANDLE handle_ = nullptr;
  std::string serialNumber_;
  std::string settings_;
  std::atomic<bool> reopenNeeded_{false};
  bool portFailed_ = false;   // link lock
  bool openFailing_ = false;  // link lock: the last open failed (its retries are not logged)
  uint8_t latencyMs_ = kDefaultLatencyMs;  // link lock
  bool latencyFailing_ = false;            // link lock: the last FT_SetLatencyTimer failed (logged once)
  int64_t nextReopenMs_ = 0;  // link lock; the steady clock's ms
  std::atomic<bool> terminated_{false};
  std::set<TProtoSlave*> slaves_;
  std::set<TProtoSlave*, SlavesPrioCmp> schedule_;
  std::thread thread_;
  std::mutex joinLock_;
};

}  // namespace snimac
