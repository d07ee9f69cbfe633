// Typing for a host without a window system: each typed text becomes one
// line on an output stream, so that a pipeline can consume the reads. The
// prefix key and Enter have no meaning there and are left out.
#pragma once

#include <cstdio>

#include "cards/typist.h"

namespace snimac {

class TLineTypist : public TTypist {
 public:
  explicit TLineTypist(std::FILE* out) : out_(out) {}
  void TypeText(const std::string& text, const TTypingOptions&) override {
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
  }
  // No windows: no title can match a serial-port window.
  std::optional<std::string> ForegroundTitle() override { return std::nullopt; }

 private:
  std::FILE* out_;
};

}  // namespace snimac
