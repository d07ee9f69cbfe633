// A log sink that keeps every record, for asserting on the link's log lines.
#pragma once

#include <string>
#include <vector>

#include "link/text_log.h"

namespace snimac::test {

class TMemoryLog : public TTextMessageQueue {
 public:
  void Put(TTextMessagePtr message) override {
    std::lock_guard<std::recursive_mutex> guard(Lock);
    lines_.push_back(message->Source + " " + message->Text);
    levels_.push_back(message->Level);
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::recursive_mutex> guard(Lock);
    return lines_;
  }
  // Lines, in order, that contain `text`.
  int Count(const std::string& text) {
    int n = 0;
    for (const auto& l : Lines()) n += l.find(text) != std::string::npos;
    return n;
  }
  signed char LevelOf(const std::string& line) {
    std::lock_guard<std::recursive_mutex> guard(Lock);
    for (size_t i = 0; i < lines_.size(); ++i)
      if (lines_[i] == line) return levels_[i];
    return -100;
  }
  void Clear() {
    std::lock_guard<std::recursive_mutex> guard(Lock);
    lines_.clear();
    levels_.clear();
  }

 private:
  std::vector<std::string> lines_;
  std::vector<signed char> levels_;
};

}  // namespace snimac::test
