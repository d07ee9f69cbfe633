// Per-user folders for the defaults of files and links the program uses, so
// that no default lies where another local user could plant a symlink or a
// FIFO (as in /tmp).
#pragma once

#include <string>

#include "platform/posix/typing_choice.h"

namespace snimac {

// "$XDG_STATE_HOME/snimac/", else "$HOME/.local/state/snimac/"; empty when
// neither is set to an absolute path. Ends with '/'.
std::string UserStateDir(const TEnvironmentLookup& environment);

// "$XDG_RUNTIME_DIR/" (private to the user, emptied at log-out), else the
// state folder. Ends with '/', or empty.
std::string UserRuntimeDir(const TEnvironmentLookup& environment);

}  // namespace snimac
