// The attendance server's line client over POSIX sockets: the host is
// resolved on a helper thread and connected without blocking, so that a
// dead name server or a host that never answers is bounded by the
// connect time-out like everything else.
#pragma once

#include <string>

#include "cards/line_assembler.h"
#include "cards/line_client.h"

namespace snimac {

class TTcpLineClient : public TLineClient {
 public:
  TTcpLineClient() = default;
  ~TTcpLineClient() override;
  TTcpLineClient(const TTcpLineClient&) = delete;
  TTcpLineClient& operator=(const TTcpLineClient&) = delete;

  TConnectResult Connect(const std::string& host, uint16_t port,
                         std::chrono::milliseconds timeout) override;
  bool WriteLine(const std::string& line, std::chrono::milliseconds timeout) override;
  TLineRead ReadLine(std::chrono::milliseconds timeout, size_t maxLength) override;
  void Disconnect() override;
  bool Connected() const override { return fd_ >= 0; }

 private:
  int fd_ = -1;
  TLineAssembler received_;  // bytes read but not yet returned as a line
};

// The SNIMAC_SERVER setting as the user wrote it ("" when unset).
std::string ServerSettingFromEnvironment();

}  // namespace snimac
