#include "link/text_log.h"

#include <cstdarg>
#include <cstdio>

#include "link/utf8_file.h"

namespace snimac {

const char* TTextMessage::LevelName() const {
  switch (Level) {
    case 0: return "Warn";
    case 1: return "Trce";
    case 2: return "Info";
    case 3: return "Mesg";
    case 4: return "Err ";
    default: return "Unkn";
  }
}

void TTextMessageQueue::Put(TTextMessagePtr message) {
  std::lock_guard<std::recursive_mutex> guard(Lock);
  queue_.push_back(std::move(message));
  Notify();
}

TTextMessagePtr TTextMessageQueue::Get() {
  std::lock_guard<std::recursive_mutex> guard(Lock);
  if (queue_.empty()) return nullptr;
  TTextMessagePtr m = std::move(queue_.front());
  queue_.pop_front();
  return m;
}

mqLog::mqLog(const std::string& path, TClock& clock) : File(OpenOwnFileForAppendUtf8(path)), clock_(clock) {}

mqLog::~mqLog() {
  if (File) std::fclose(File);
}

void mqLog::Put(TTextMessagePtr message) {
  if (!File) return;
  const std::string time = FormatLogTime(clock_.LocalNow());
  std::lock_guard<std::recursive_mutex> guard(Lock);
  std::fprintf(File, "%s %s %s\n", time.c_str(), message->Source.c_str(), message->Text.c_str());
  std::fflush(File);
}

std::string FormatLogTime(const TLocalTime& t) {
  char buf[30];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%02d %02d:%02d:%02d", t.year % 100, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace snimac
