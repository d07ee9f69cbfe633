// The Windows keyboard against a real desktop (Wine with an X server, or
// Windows): card texts typed through SendInput arrive in a focused edit
// control of this test's own window, with the layout's Shift and punctuation;
// the foreground window's title comes back in UTF-8, cut to 127 characters.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>

#include "cards/keyboard_typist.h"
#include "platform/win32/adapters/wide_text.h"
#include "platform/win32/adapters/win32_keyboard.h"
#include "sim/virtual_clock.h"

namespace snimac {
namespace {

// A top-level window with an edit control, brought to the foreground.
class TTypingTarget {
 public:
  explicit TTypingTarget(const std::wstring& title) {
    window_ = CreateWindowExW(0, L"STATIC", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 400, 120,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 360, 24, window_, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(window_);
    SetFocus(edit_);
    Pump(std::chrono::milliseconds(200));
  }
  ~TTypingTarget() { DestroyWindow(window_); }

  // Keyboard input reaches only the foreground thread; a desktop without an
  // input device (no display) never gives the window the foreground.
  bool InForeground() const { return GetForegroundWindow() == window_ && GetFocus() == edit_; }

  // Dispatches the queued input until `text` is in the edit control or the time is up.
  std::string WaitForText(const std::string& text, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (Text() != text && std::chrono::steady_clock::now() < end) Pump(std::chrono::milliseconds(20));
    return Text();
  }

  std::string Text() const {
    wchar_t buffer[256] = {};
    GetWindowTextW(edit_, buffer, 256);
    return WideToUtf8(buffer);
  }

 private:
  static void Pump(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    do {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      Sleep(5);
    } while (std::chrono::steady_clock::now() < end);
  }

  HWND window_ = nullptr;
  HWND edit_ = nullptr;
};

TEST(Win32Keyboard, TypedCardTextsArriveInTheFocusedWindow) {
  TTypingTarget target(L"Snímač test");
  if (!target.InForeground()) GTEST_SKIP() << "this desktop gives no window the keyboard focus (no display?)";

  TWin32Keyboard keyboard;
  sim::TVirtualClock clock;  // the typist's pauses need not be waited for here
  TKeyboardTypist typist(keyboard, clock);
  TTypingOptions options;
  options.PressEnter = false;  // a single-line edit would only beep

  // A card number, then a data record's text: Shift for capitals and
  // punctuation keys named by the layout.
  typist.TypeText("04a1b2c3", options);
  EXPECT_EQ(target.WaitForText("04a1b2c3", std::chrono::seconds(5)), "04a1b2c3");
  typist.TypeText(";Zeleny;Cap;2011-09-01", options);
  const std::string all = "04a1b2c3;Zeleny;Cap;2011-09-01";
  EXPECT_EQ(target.WaitForText(all, std::chrono::seconds(5)), all);
}

TEST(Win32Keyboard, ForegroundTitleInUtf8CutTo127Characters) {
  TTypingTarget target(L"Snímač test");
  if (!target.InForeground()) GTEST_SKIP() << "this desktop gives no window the foreground (no display?)";
  TWin32Keyboard keyboard;
  EXPECT_EQ(keyboard.ForegroundTitle(), "Snímač test");

  const std::wstring longTitle = std::wstring(120, L'x') + L"čččččččččč";  // 130 characters
  SetWindowTextW(GetForegroundWindow(), longTitle.c_str());
  EXPECT_EQ(keyboard.ForegroundTitle(), std::string(120, 'x') + "ččččččč");
}

TEST(Win32Keyboard, LayoutQuestions) {
  TWin32Keyboard keyboard;
  const TKeyboardLayout layout = keyboard.ForegroundLayout();
  ASSERT_NE(layout, 0u);
  // Letters are their own keys on every Latin layout: lower case without
  // Shift, upper case with it.
  EXPECT_EQ(keyboard.VirtualKeyForChar('a', layout), 'A');
  EXPECT_EQ(keyboard.VirtualKeyForChar('Z', layout), 0x100 | 'Z');
  EXPECT_NE(keyboard.VirtualKeyToScanCode(kVkShift), 0u);
  EXPECT_NE(keyboard.VirtualKeyToScanCode(kVkReturn), 0u);
}

}  // namespace
}  // namespace snimac
