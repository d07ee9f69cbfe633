#include "platform/headless/terminal_answer.h"

#include <cstdio>

#include <unistd.h>

namespace snimac {

std::optional<std::string> ReadAnswerFromTerminal() {
  if (!isatty(STDIN_FILENO)) return std::nullopt;
  char line[256];
  if (!std::fgets(line, sizeof line, stdin)) return std::nullopt;
  return std::string(line);
}

}  // namespace snimac
