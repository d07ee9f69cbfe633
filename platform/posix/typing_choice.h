// Where typed card texts can go on this Linux desktop, decided from the
// environment alone (so that it is testable without a desktop):
//  - an X11 display (DISPLAY): the XTest keyboard types into the focused
//    window;
//  - the same inside a Wayland session (XWayland): only X11 windows get the
//    keys, native Wayland windows do not, so the user is told;
//  - a Wayland session without DISPLAY: XTest has nothing to type into; the
//    serial and attendance outputs still work, and the user is told;
//  - neither: no desktop at all (console host: lines on stdout).
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace snimac {

enum class TTypingChoice { X11, X11UnderWayland, WaylandOnly, NoDisplay };

using TEnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

TTypingChoice ChooseTyping(const TEnvironmentLookup& environment);

// The one-time note for the user about typing; empty when typing simply works.
std::string WaylandTypingNote(TTypingChoice choice);

}  // namespace snimac
