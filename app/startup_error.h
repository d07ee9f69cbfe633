// A failure that ends start-up. The message is the text shown to the user
// (UTF-8 Czech) in the error box before the program exits.
#pragma once

#include <stdexcept>

namespace snimac {

struct TStartupError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace snimac
