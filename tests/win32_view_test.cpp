// The Win32 front end's own machinery, on real windows: posted work from
// other threads and timers inside a modal loop, the tray menu as drawn, the
// grid, the upgrade window's close box, and minimising to the tray through
// the main window's system command.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_frm.h"
#include "platform/win32/adapters/wide_text.h"
#include "platform/win32/ui/message_box.h"
#include "platform/win32/ui/win32_view.h"
#include "tray/tray_texts.h"

namespace snimac {
namespace {

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// Windows need a desktop: under Wine without an X server not even a system
// class can be created.
bool DesktopAvailable() {
  const HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, Instance(), nullptr);
  if (!probe) return false;
  DestroyWindow(probe);
  return true;
}

class Win32View : public testing::Test {
 protected:
  void SetUp() override {
    if (!DesktopAvailable()) GTEST_SKIP() << "no desktop to create windows on (no display?)";
  }
};

std::string MenuText(HMENU menu, int position) {
  wchar_t text[64] = {};
  GetMenuStringW(menu, static_cast<UINT>(position), text, 64, MF_BYPOSITION);
  return WideToUtf8(text);
}

std::string GridCell(HWND grid, int row, int column) {
  wchar_t text[64] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = 64;
  SendMessageW(grid, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return WideToUtf8(text);
}

TEST_F(Win32View, PostedWorkFromOtherThreadsAndTimersRunInTheModalLoop) {
  TWin32View view(Instance());
  std::vector<int> order;
  std::atomic<int> posted{0};
  std::thread poster([&] {
    for (int i = 0; i < 500; ++i) {
      view.Post([&order, i] { order.push_back(i); });
      ++posted;
    }
  });
  int ticks = 0;
  view.StartTimer(TTimerId::BlickTimer, 10, [&] {
    // A tick that stops its own timer, as the blink does.
    if (++ticks == 3) view.StopTimer(TTimerId::BlickTimer);
  });
  view.StartTimer(TTimerId::BlickTimer, 10, [] { ADD_FAILURE() << "a running timer keeps its tick"; });
  bool enabledMeanwhile = true;
  view.Post([&] { enabledMeanwhile = IsWindowEnabled(view.MainWindow()) != FALSE; });

  bool timedOut = false;
  view.StartTimer(TTimerId::TimeoutTimer, 5000, [&] { timedOut = true; });
  view.RunModal([&] { return timedOut || (posted == 500 && order.size() == 500 && ticks >= 3); });
  poster.join();
  view.StopTimer(TTimerId::TimeoutTimer);

  ASSERT_FALSE(timedOut);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(order[i], i);
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(enabledMeanwhile) << "the main window is disabled while a modal loop runs";
  EXPECT_TRUE(IsWindowEnabled(view.MainWindow()));
}

TEST_F(Win32View, TrayMenuShowsVisibleItemsWithTickAndDefault) {
  TWin32View view(Instance());
  TTrayMenu menu;  // the core's model: "Posílat Enter" ticked but hidden
  for (const TTrayMenuItem& item : menu.Items()) view.ShowMenuItem(item);
  HMENU drawn = view.BuildTrayMenu();
  ASSERT_EQ(GetMenuItemCount(drawn), 1);
  EXPECT_EQ(MenuText(drawn, 0), tray_texts::kRestore);
  EXPECT_EQ(GetMenuDefaultItem(drawn, TRUE, 0), 0u) << "Obnovit is the default item (drawn bold)";
  DestroyMenu(drawn);

  menu.ShowForMode(true);
  view.ShowMenuItem(menu.Item(TMenuItem::PoslatEnter1));
  drawn = view.BuildTrayMenu();
  ASSERT_EQ(GetMenuItemCount(drawn), 2);
  EXPECT_EQ(MenuText(drawn, 1), tray_texts::kPoslatEnter);
  EXPECT_TRUE(GetMenuState(drawn, 1, MF_BYPOSITION) & MF_CHECKED);
  DestroyMenu(drawn);

  menu.TogglePoslatEnter();
  view.ShowMenuItem(menu.Item(TMenuItem::PoslatEnter1));
  drawn = view.BuildTrayMenu();
  EXPECT_FALSE(GetMenuState(drawn, 1, MF_BYPOSITION) & MF_CHECKED);
  DestroyMenu(drawn);
}

TEST_F(Win32View, GridRowsBelowTheEmptyFirstRow) {
  TWin32View view(Instance());
  HWND grid = FindWindowExW(view.MainWindow(), nullptr, WC_LISTVIEWW, nullptr);
  ASSERT_NE(grid, nullptr);
  ASSERT_EQ(ListView_GetItemCount(grid), 1);
  view.AddGridRow(1, "06.12.2026 14:10", "04a1b2c3");
  view.AddGridRow(2, "06.12.2026 14:11", "2143baf0");
  view.SelectGridRow(2);
  ASSERT_EQ(ListView_GetItemCount(grid), 3);
  EXPECT_EQ(GridCell(grid, 0, 0), "");
  EXPECT_EQ(GridCell(grid, 1, 0), "06.12.2026 14:10");
  EXPECT_EQ(GridCell(grid, 2, 1), "2143baf0");
  EXPECT_EQ(ListView_GetNextItem(grid, -1, LVNI_SELECTED), 2);
}

TEST_F(Win32View, UpgradeCloseBoxAsksTheHandlerAndNeverClosesByItself) {
  TWin32View view(Instance());
  view.ShowUpgradeWindow(true);
  int asked = 0;
  view.SetUpgradeCloseHandler([&] { ++asked; });
  SendMessageW(view.UpgradeWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(IsWindow(view.UpgradeWindow()));
  EXPECT_TRUE(IsWindowVisible(view.UpgradeWindow()));

  view.SetUpgradeCloseHandler({});
  SendMessageW(view.UpgradeWindow(), WM_CLOSE, 0, 0);
  EXPECT_EQ(asked, 1);
  view.SetUpgradeProgressRange(17170);
  view.SetUpgradeProgress(4096);
  EXPECT_EQ(view.Upgrade().Progress(), 4096);
  view.ShowUpgradeWindow(false);
  EXPECT_FALSE(IsWindowVisible(view.UpgradeWindow()));
}

// The main window's minimise box takes it off the taskbar (hidden, minimised);
// "Obnovit" brings it back; closing it ends the message loop.
TEST_F(Win32View, MinimiseToTheTrayAndBack) {
  TWin32View view(Instance());
  TPlatformServices services;
  std::unique_ptr<TMainFrm> frm;
  try {
    frm = std::make_unique<TMainFrm>(view, services);
  } catch (const std::exception& e) {
    GTEST_SKIP() << "no notification area here: " << e.what();
  }
  const HWND main = view.MainWindow();
  EXPECT_FALSE(IsWindowVisible(main)) << "hidden at start";
  bool minimisedHidden = false;
  bool restored = false;
  view.Post([&] {
    frm->Restore1Click();
    SendMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    minimisedHidden = !IsWindowVisible(main) && IsIconic(main);
    frm->Restore1Click();
    restored = IsWindowVisible(main) && !IsIconic(main);
    PostMessageW(main, WM_CLOSE, 0, 0);
  });
  view.RunMessageLoop(*frm);
  EXPECT_TRUE(minimisedHidden);
  EXPECT_TRUE(restored);
  EXPECT_FALSE(IsWindowVisible(main)) << "closed";
  frm.reset();
  EXPECT_FALSE(view.Tray().Added()) << "the icon leaves with the main window";
}

TEST(Win32MessageBox, ButtonsAndAnswers) {
  EXPECT_EQ(MessageBoxStyle(TMessageButtons::Ok), static_cast<UINT>(MB_OK));
  EXPECT_EQ(MessageBoxStyle(TMessageButtons::OkCancel), static_cast<UINT>(MB_OKCANCEL));
  EXPECT_EQ(MessageBoxStyle(TMessageButtons::YesNo), static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(MessageResultOf(IDYES, TMessageButtons::YesNo), TMessageResult::Yes);
  EXPECT_EQ(MessageResultOf(IDNO, TMessageButtons::YesNo), TMessageResult::No);
  EXPECT_EQ(MessageResultOf(IDOK, TMessageButtons::OkCancel), TMessageResult::Ok);
  EXPECT_EQ(MessageResultOf(IDCANCEL, TMessageButtons::OkCancel), TMessageResult::Cancel);
  // A box that could not be shown is the safe answer.
  EXPECT_EQ(MessageResultOf(0, TMessageButtons::YesNo), TMessageResult::No);
  EXPECT_EQ(MessageResultOf(0, TMessageButtons::OkCancel), TMessageResult::Cancel);
}

}  // namespace
}  // namespace snimac
