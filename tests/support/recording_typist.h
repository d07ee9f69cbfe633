// A typist for tests: remembers every typed text with its options, and
// reports a configurable foreground window title.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cards/typist.h"

namespace snimac::test {

class TRecordingTypist : public TTypist {
 public:
  void TypeText(const std::string& text, const TTypingOptions& options) override {
    typed.push_back(text);
    lastOptions = options;
  }
  std::optional<std::string> ForegroundTitle() override { return title; }

  std::vector<std::string> typed;
  TTypingOptions lastOptions;
  std::optional<std::string> title = std::string("Notepad");
};

}  // namespace snimac::test
