#include "platform/posix/user_dirs.h"

namespace snimac {

namespace {
// The base folder variables count only as absolute paths; a relative one is
// ignored, as the XDG base directory rules say.
std::string AbsoluteDir(const TEnvironmentLookup& environment, const char* name) {
  const std::optional<std::string> value = environment(name);
  if (!value || value->empty() || (*value)[0] != '/') return "";
  return value->back() == '/' ? *value : *value + "/";
}
}  // namespace

std::string UserStateDir(const TEnvironmentLookup& environment) {
  std::string state = AbsoluteDir(environment, "XDG_STATE_HOME");
  if (state.empty()) {
    const std::string home = AbsoluteDir(environment, "HOME");
    if (home.empty()) return "";
    state = home + ".local/state/";
  }
  return state + "snimac/";
}

std::string UserRuntimeDir(const TEnvironmentLookup& environment) {
  const std::string runtime = AbsoluteDir(environment, "XDG_RUNTIME_DIR");
  return runtime.empty() ? UserStateDir(environment) : runtime;
}

}  // namespace snimac
