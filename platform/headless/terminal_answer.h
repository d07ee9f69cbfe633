// Answers to the console host's questions, read from the terminal.
#pragma once

#include <optional>
#include <stop_token>
#include <string>

namespace snimac {

// One line typed at the terminal, waited for until `stop` is requested;
// nothing when stdin is not a terminal (a pipe, a service), the input has
// ended, or the wait was stopped, so that the question is then answered no.
std::optional<std::string> ReadAnswerFromTerminal(std::stop_token stop);

}  // namespace snimac
