// The link log: records with a level, a text and a source, handed to a sink.
// mqLog appends each record as one time-stamped line to a text file.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "link/clock.h"

namespace snimac {

enum class TLogLevel : signed char { Warn = 0, Trace = 1, Info = 2, Message = 3, Error = 4 };

struct TTextMessage {
  TTextMessage(TLogLevel level, std::string text, std::string source)
      : Level(static_cast<signed char>(level)), Text(std::move(text)), Source(std::move(source)) {}
  virtual ~TTextMessage() = default;
  // Four-character tag of the level ("Err " has a trailing blank).
  virtual const char* LevelName() const;

  signed char Level;
  std::string Text;
  std::string Source;
};

using TTextMessagePtr = std::unique_ptr<TTextMessage>;

// Thread-safe queue of records; the base sink of the link log.
class TTextMessageQueue {
 public:
  virtual ~TTextMessageQueue() = default;
  virtual void Put(TTextMessagePtr message);
  virtual TTextMessagePtr Get();
  // Called with the lock held after every Put; a derived sink may wake a consumer.
  virtual void Notify() {}

 protected:
  std::recursive_mutex Lock;

 private:
  std::deque<TTextMessagePtr> queue_;
};

// File sink: "%y/%m/%d %H:%M:%S <source> <text>\n", flushed at once.
// Records never enter the queue. Without an open file they are dropped.
class mqLog : public TTextMessageQueue {
 public:
  // Opens `path` for appending; a failed open leaves the sink without a file.
  mqLog(const std::string& path, TClock& clock);
  ~mqLog() override;
  mqLog(const mqLog&) = delete;
  mqLog& operator=(const mqLog&) = delete;

  void Put(TTextMessagePtr message) override;
  bool IsOpen() const { return File != nullptr; }

 private:
  std::FILE* File = nullptr;
  TClock& clock_;
};

// "%y/%m/%d %H:%M:%S" of a local time.
std::string FormatLogTime(const TLocalTime& t);

// printf-style formatting into a std::string.
std::string FormatV(const char* format, va_list args);

}  // namespace snimac
