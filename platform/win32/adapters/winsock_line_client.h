// The attendance server's line client over Winsock: the host is resolved on
// a helper thread and connected without blocking, so that a dead name
// server or a host that never answers is bounded by the connect time-out
// like everything else (the semantics are those of cards/line_client.h).
#pragma once

#include <cstdint>
#include <string>

#include "cards/line_assembler.h"
#include "cards/line_client.h"

namespace snimac {

class TWinsockLineClient : public TLineClient {
 public:
  // Starts Winsock for the process on first use (it stays up until exit).
  TWinsockLineClient();
  ~TWinsockLineClient() override;
  TWinsockLineClient(const TWinsockLineClient&) = delete;
  TWinsockLineClient& operator=(const TWinsockLineClient&) = delete;

  TConnectResult Connect(const std::string& host, uint16_t port,
                         std::chrono::milliseconds timeout) override;
  bool WriteLine(const std::string& line, std::chrono::milliseconds timeout) override;
  TLineRead ReadLine(std::chrono::milliseconds timeout, size_t maxLength) override;
  void Disconnect() override;
  bool Connected() const override;

 private:
  uintptr_t socket_;      // a SOCKET; INVALID_SOCKET when not connected
  bool winsockUp_;        // WSAStartup succeeded; nothing connects otherwise
  TLineAssembler received_;  // bytes read but not yet returned as a line
};

// The SNIMAC_SERVER setting as the user wrote it ("" when unset).
std::string ServerSettingFromEnvironment();

}  // namespace snimac
