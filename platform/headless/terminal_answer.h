// Answers to the console host's questions, read from the terminal.
#pragma once

#include <optional>
#include <string>

namespace snimac {

// One line typed at the terminal; nothing when stdin is not a terminal (a
// pipe, a service) or the input has ended, so that every question is then
// answered no.
std::optional<std::string> ReadAnswerFromTerminal();

}  // namespace snimac
