#include "platform/posix/typing_choice.h"

#include "platform/posix/posix_texts.h"

namespace snimac {

namespace {

bool Set(const TEnvironmentLookup& environment, const std::string& name) {
  const auto value = environment(name);
  return value && !value->empty();
}

}  // namespace

TTypingChoice ChooseTyping(const TEnvironmentLookup& environment) {
  // A Wayland compositor advertises its socket; login managers also name
  // the session type. Either one means a Wayland session.
  const auto sessionType = environment("XDG_SESSION_TYPE");
  const bool wayland = Set(environment, "WAYLAND_DISPLAY") || (sessionType && *sessionType == "wayland");
  if (Set(environment, "DISPLAY")) return wayland ? TTypingChoice::X11UnderWayland : TTypingChoice::X11;
  return wayland ? TTypingChoice::WaylandOnly : TTypingChoice::NoDisplay;
}

std::string WaylandTypingNote(TTypingChoice choice) {
  switch (choice) {
    case TTypingChoice::X11UnderWayland:
      return posix_texts::kTypingXWayland;
    case TTypingChoice::WaylandOnly:
      return posix_texts::kTypingWaylandOnly;
    case TTypingChoice::X11:
    case TTypingChoice::NoDisplay:
      break;
  }
  return "";
}

}  // namespace snimac
