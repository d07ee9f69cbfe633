#include "platform/posix/typing_choice.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/posix/posix_texts.h"

namespace snimac {
namespace {

TEST(TypingChoice, FollowsTheDisplaysOfTheSession) {
  struct TCase {
    std::map<std::string, std::string> environment;
    TTypingChoice choice;
    std::string note;
  };
  const std::vector<TCase> cases = {
      {{{"DISPLAY", ":0"}}, TTypingChoice::X11, ""},
      {{{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}}, TTypingChoice::X11, ""},
      {{{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}}, TTypingChoice::X11UnderWayland,
       posix_texts::kTypingXWayland},
      {{{"DISPLAY", ":1"}, {"XDG_SESSION_TYPE", "wayland"}}, TTypingChoice::X11UnderWayland,
       posix_texts::kTypingXWayland},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, TTypingChoice::WaylandOnly, posix_texts::kTypingWaylandOnly},
      {{{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ""}}, TTypingChoice::WaylandOnly,
       posix_texts::kTypingWaylandOnly},
      {{}, TTypingChoice::NoDisplay, ""},
      {{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"XDG_SESSION_TYPE", "tty"}}, TTypingChoice::NoDisplay, ""},
  };
  for (const auto& c : cases) {
    const auto choice = ChooseTyping([&](const std::string& name) -> std::optional<std::string> {
      const auto found = c.environment.find(name);
      if (found == c.environment.end()) return std::nullopt;
      return found->second;
    });
    EXPECT_EQ(choice, c.choice) << testing::PrintToString(c.environment);
    EXPECT_EQ(WaylandTypingNote(choice), c.note) << testing::PrintToString(c.environment);
  }
}

}  // namespace
}  // namespace snimac
