// An attendance server that cannot be reached: every connect is refused at once.
#pragma once

#include "cards/line_client.h"

namespace snimac::test {

class TRefusedLineClient : public TLineClient {
 public:
  TConnectResult Connect(const std::string&, uint16_t, std::chrono::milliseconds) override {
    return TConnectResult::Failed;
  }
  bool WriteLine(const std::string&, std::chrono::milliseconds) override { return false; }
  TLineRead ReadLine(std::chrono::milliseconds, size_t) override { return {}; }
  void Disconnect() override {}
  bool Connected() const override { return false; }
};

}  // namespace snimac::test
