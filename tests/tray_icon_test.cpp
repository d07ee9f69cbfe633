#include "tray/tray_icon.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tray/tray_menu.h"
#include "tray/tray_texts.h"

namespace snimac {

// Readable action lists in failure messages.
static void PrintTo(TTrayAction action, std::ostream* out) {
  static const char* const kNames[] = {
      "RestoreWindow",    "ShowTaskbarEntry", "BringToForeground", "MinimizeWindow", "HideTaskbarEntry",
      "BringActiveFormToForeground", "ShowMenuAtCursor", "RemoveIcon", "ShowMainWindow"};
  *out << kNames[static_cast<int>(action)];
}

namespace {

using A = TTrayAction;

const TTrayActions kNothing = {};
const TTrayActions kRestore = {A::RestoreWindow, A::ShowTaskbarEntry, A::BringToForeground};
const TTrayActions kMinimizeToTray = {A::MinimizeWindow, A::HideTaskbarEntry};
const TTrayActions kOpenMenu = {A::BringActiveFormToForeground, A::ShowMenuAtCursor};

constexpr std::uintptr_t kScMove = 0xF010;
constexpr std::uintptr_t kScMaximize = 0xF030;
constexpr std::uintptr_t kScClose = 0xF060;
constexpr std::uintptr_t kScKeyMenu = 0xF100;

TTrayIcon RegisteredIcon(TTrayFailurePolicy policy = TTrayFailurePolicy::Fail) {
  TTrayIcon icon(policy);
  icon.Registered();
  return icon;
}

struct TInputCase {
  std::string name;
  std::function<TTrayActions(TTrayIcon&)> input;
  TTrayActions expected;
};

std::function<TTrayActions(TTrayIcon&)> MouseInput(TTrayMouse message) {
  return [message](TTrayIcon& icon) { return icon.Mouse(message); };
}

std::function<TTrayActions(TTrayIcon&)> SystemCommandInput(std::uintptr_t command) {
  return [command](TTrayIcon& icon) { return icon.SystemCommand(command); };
}

TEST(TrayIcon, EachInputOfARegisteredIconYieldsItsActions) {
  const std::vector<TInputCase> cases = {
      {"left press", MouseInput(TTrayMouse::LeftDown), kNothing},
      {"left release (a single click)", MouseInput(TTrayMouse::LeftUp), kNothing},
      {"left double-click", MouseInput(TTrayMouse::LeftDoubleClick), kRestore},
      {"right press", MouseInput(TTrayMouse::RightDown), kNothing},
      {"right release", MouseInput(TTrayMouse::RightUp), kOpenMenu},
      {"right double-click", MouseInput(TTrayMouse::RightDoubleClick), kRestore},
      {"middle press", MouseInput(TTrayMouse::MiddleDown), kNothing},
      {"middle release", MouseInput(TTrayMouse::MiddleUp), kNothing},
      {"middle double-click", MouseInput(TTrayMouse::MiddleDoubleClick), kRestore},
      {"move", MouseInput(TTrayMouse::Move), kNothing},
      {"SC_MINIMIZE", SystemCommandInput(TTrayIcon::kScMinimize), kMinimizeToTray},
      {"SC_MINIMIZE with system bits", SystemCommandInput(TTrayIcon::kScMinimize | 0x2), kMinimizeToTray},
      {"SC_RESTORE", SystemCommandInput(TTrayIcon::kScRestore), kRestore},
      {"SC_RESTORE with system bits", SystemCommandInput(TTrayIcon::kScRestore | 0xF), kRestore},
      {"SC_MAXIMIZE", SystemCommandInput(kScMaximize), kNothing},
      {"SC_CLOSE", SystemCommandInput(kScClose), kNothing},
      {"SC_MOVE by mouse", SystemCommandInput(kScMove | 0x2), kNothing},
      {"SC_KEYMENU", SystemCommandInput(kScKeyMenu), kNothing},
      {"Obnovit", [](TTrayIcon& icon) { return icon.Restore(); }, kRestore},
      {"Minimize", [](TTrayIcon& icon) { return icon.Minimize(); }, kMinimizeToTray},
  };
  for (const TInputCase& c : cases) {
    SCOPED_TRACE(c.name);
    TTrayIcon icon = RegisteredIcon();
    EXPECT_EQ(c.input(icon), c.expected);
    // No input of the running program takes the icon away.
    EXPECT_TRUE(icon.IsRegistered());
  }
}

TEST(TrayMenu, ShowsPoslatEnterOnlyInGrabModeAndFlipsItsTick) {
  TTrayMenu menu;
  const std::vector<TTrayMenuItem>& items = menu.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].id, TMenuItem::Restore1);
  EXPECT_EQ(items[1].id, TMenuItem::PoslatEnter1);

  const TTrayMenuItem& restore = menu.Item(TMenuItem::Restore1);
  EXPECT_EQ(restore.caption, "Obnovit");
  EXPECT_EQ(restore.hint, "");
  EXPECT_TRUE(restore.isDefault);
  EXPECT_TRUE(restore.visible);
  EXPECT_FALSE(restore.checked);

  const TTrayMenuItem& enter = menu.Item(TMenuItem::PoslatEnter1);
  EXPECT_EQ(enter.caption, "Posílat Enter");
  EXPECT_EQ(enter.hint, "Číslo karty ukončit enterem");
  EXPECT_FALSE(enter.isDefault);
  // Hidden until start-up knows the mode, but already ticked.
  EXPECT_FALSE(enter.visible);
  EXPECT_TRUE(enter.checked);
  EXPECT_TRUE(menu.PoslatEnter());

  menu.ShowForMode(false);
  EXPECT_FALSE(menu.Item(TMenuItem::PoslatEnter1).visible);

  menu.ShowForMode(true);
  EXPECT_TRUE(menu.Item(TMenuItem::PoslatEnter1).visible);
  EXPECT_TRUE(menu.Item(TMenuItem::PoslatEnter1).checked);

  EXPECT_FALSE(menu.TogglePoslatEnter());
  EXPECT_FALSE(menu.PoslatEnter());
  EXPECT_FALSE(menu.Items()[1].checked);
  EXPECT_TRUE(menu.TogglePoslatEnter());
  EXPECT_TRUE(menu.PoslatEnter());
  EXPECT_TRUE(menu.Items()[1].checked);

  // The switch never touches "Obnovit".
  EXPECT_TRUE(menu.Item(TMenuItem::Restore1).visible);
  EXPECT_FALSE(menu.Item(TMenuItem::Restore1).checked);
  EXPECT_TRUE(menu.Item(TMenuItem::Restore1).isDefault);
}

TEST(TrayIcon, EndOfSessionRemovesTheIconOnce) {
  TTrayIcon icon = RegisteredIcon();
  EXPECT_TRUE(icon.QueryEndSession());

  // A cancelled log-off leaves the running program its icon.
  EXPECT_EQ(icon.EndSession(false), kNothing);
  EXPECT_TRUE(icon.IsRegistered());

  EXPECT_EQ(icon.EndSession(true), TTrayActions{A::RemoveIcon});
  EXPECT_FALSE(icon.IsRegistered());
  EXPECT_EQ(icon.EndSession(true), kNothing);
  EXPECT_EQ(icon.Teardown(), kNothing);
  // With the icon gone, minimising must keep the taskbar button.
  EXPECT_EQ(icon.Minimize(), TTrayActions{A::MinimizeWindow});
}

TEST(TrayIcon, TeardownRemovesARegisteredIconOnly) {
  TTrayIcon registered = RegisteredIcon();
  EXPECT_EQ(registered.Teardown(), TTrayActions{A::RemoveIcon});
  EXPECT_EQ(registered.Teardown(), kNothing);

  TTrayIcon neverAdded(TTrayFailurePolicy::Fail);
  EXPECT_EQ(neverAdded.Teardown(), kNothing);
  EXPECT_EQ(neverAdded.EndSession(true), kNothing);
}

TEST(TrayIcon, RefusedIconFailsStartUpUnderTheFailPolicy) {
  TTrayIcon icon(TTrayFailurePolicy::Fail);
  const TTrayRegistration result = icon.RegistrationFailed();
  EXPECT_EQ(result.error, "Cannot Create System Shell Notification Icon");
  EXPECT_EQ(result.actions, kNothing);
  EXPECT_EQ(result.notice, "");
  EXPECT_FALSE(icon.IsRegistered());
  EXPECT_EQ(icon.Teardown(), kNothing);
}

TEST(TrayIcon, RefusedIconLeavesTheWindowShownUnderTheShowWindowPolicy) {
  TTrayIcon icon(TTrayFailurePolicy::ShowWindowInstead);
  const TTrayRegistration first = icon.RegistrationFailed();
  EXPECT_EQ(first.error, "");
  EXPECT_EQ(first.actions, (TTrayActions{A::ShowMainWindow, A::BringToForeground}));
  EXPECT_EQ(first.notice, tray_texts::kNoNotificationArea);
  EXPECT_FALSE(icon.IsRegistered());

  // The notice is said once; the window is still shown every time.
  const TTrayRegistration second = icon.RegistrationFailed();
  EXPECT_EQ(second.actions, first.actions);
  EXPECT_EQ(second.notice, "");

  // Without an icon the window must stay reachable from the taskbar.
  EXPECT_EQ(icon.SystemCommand(TTrayIcon::kScMinimize), TTrayActions{A::MinimizeWindow});
  EXPECT_EQ(icon.Restore(), kRestore);
  EXPECT_EQ(icon.Teardown(), kNothing);
}

}  // namespace
}  // namespace snimac
