#include "platform/headless/terminal_answer.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace snimac {

namespace {
constexpr int kStopCheckMs = 100;  // how soon a stop request is seen
constexpr size_t kMaxAnswer = 255;  // the rest of a longer line is read and dropped
}  // namespace

// The descriptor is read directly, not through stdio: a wait given up leaves
// no half-read buffer or stream lock behind.
std::optional<std::string> ReadAnswerFromTerminal(std::stop_token stop) {
  if (!isatty(STDIN_FILENO)) return std::nullopt;
  std::string line;
  for (;;) {
    if (stop.stop_requested()) return std::nullopt;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&input, 1, kStopCheckMs);
    if (ready < 0 && errno != EINTR) return std::nullopt;
    if (ready <= 0) continue;
    char chunk[256];
    const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return line.empty() ? std::nullopt : std::optional<std::string>(line);  // end of input
    for (ssize_t i = 0; i < got; ++i) {
      if (chunk[i] == '\n') return line;
      if (line.size() < kMaxAnswer) line += chunk[i];
    }
  }
}

}  // namespace snimac
