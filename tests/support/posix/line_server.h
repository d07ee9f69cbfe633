// A scripted attendance server on 127.0.0.1 for tests: it listens on a free
// port, accepts connections one after the other on its own thread, and
// answers every line the client sends (CR LF ended) as the script says:
// a reply, silence, closing, or an endless stream without line ends.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace snimac::test {

struct TServerAction {
  std::string send;  // raw bytes, sent as they are
  bool close = false;  // close the connection after sending
  // After sending: bytes without a line end until the client goes away,
  // one every `trickle` (all at once when zero).
  bool endless = false;
  std::chrono::milliseconds trickle{0};

  static TServerAction Reply(const std::string& line) { return {line + "\r\n"}; }
  static TServerAction Silent() { return {}; }
  static TServerAction Close() { return {"", true}; }
  static TServerAction Endless(std::chrono::milliseconds trickle = {}) { return {"", false, true, trickle}; }
};

class TLineServer {
 public:
  // Called on the server's thread for every received line (without CR LF).
  using THandler = std::function<TServerAction(const std::string& line)>;

  explicit TLineServer(THandler handler);
  ~TLineServer();  // stops serving and joins the thread
  TLineServer(const TLineServer&) = delete;
  TLineServer& operator=(const TLineServer&) = delete;

  uint16_t Port() const { return port_; }
  // "127.0.0.1:<port>", as the SNIMAC_SERVER setting would name it.
  std::string Address() const;

  std::string Received() const;            // every byte received, all connections
  std::vector<std::string> Lines() const;  // every received line, without CR LF
  int Connections() const;
  // Waits until `count` connections have ended; false when they did not in time.
  bool WaitForEnded(int count, std::chrono::milliseconds limit) const;

 private:
  void Serve();
  void ServeConnection(int fd);
  bool Send(int fd, const std::string& bytes);
  void SendEndless(int fd, std::chrono::milliseconds trickle);
  // Waits for `events` on `fd` or for the stop signal; false on stop.
  bool WaitFor(int fd, short events);

  THandler handler_;
  int listenFd_ = -1;
  int stopRead_ = -1;
  int stopWrite_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;

  mutable std::mutex lock_;
  mutable std::condition_variable changed_;
  std::string received_;
  std::vector<std::string> lines_;
  int connections_ = 0;
  int ended_ = 0;
};

}  // namespace snimac::test
