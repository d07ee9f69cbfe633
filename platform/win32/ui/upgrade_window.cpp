#include "platform/win32/ui/upgrade_window.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/win32/adapters/wide_text.h"
#include "upgrade/upgrade_texts.h"

namespace snimac {

namespace {

// The window's layout at 96 dpi.
constexpr int kLeft = 399;
constexpr int kTop = 585;
constexpr int kClientWidth = 413;
constexpr int kClientHeight = 105;
constexpr int kProgressX = 0, kProgressY = 8, kProgressWidth = 409, kProgressHeight = 16;
constexpr int kTextX = 8, kTextY = 40, kTextWidth = 401, kTextHeight = 57;
constexpr int kFontPixels = 11;

constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;

// The window's place, moved inside the work area of a screen too small for it.
RECT PlaceOnScreen(RECT frame) {
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const LONG dx = std::max(work.left - frame.left, std::min(0L, work.right - frame.right));
  const LONG dy = std::max(work.top - frame.top, std::min(0L, work.bottom - frame.bottom));
  OffsetRect(&frame, dx, dy);
  return frame;
}

}  // namespace

TWin32UpgradeWindow::TWin32UpgradeWindow(HINSTANCE instance, HICON icon, HICON smallIcon) {
  const HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  font_ = CreateFontW(-Scaled(kFontPixels), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Shell Dlg 2");

  const std::wstring caption = Utf8ToWide(upgrade_texts::kCaption);
  TWindowShape shape;
  shape.className = L"SnimacUpgradeWindow";
  shape.style = kWindowStyle;
  shape.exStyle = kWindowExStyle;
  shape.title = caption.c_str();
  shape.frame = PlaceOnScreen(FrameForClient(Scaled(kLeft), Scaled(kTop), Scaled(kClientWidth), Scaled(kClientHeight),
                                             kWindowStyle, kWindowExStyle));
  shape.icon = icon;
  shape.smallIcon = smallIcon;
  Create(instance, shape);

  progress_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, Scaled(kProgressX),
                              Scaled(kProgressY), Scaled(kProgressWidth), Scaled(kProgressHeight), Handle(), nullptr,
                              instance, nullptr);
  const std::wstring line = Utf8ToWide(upgrade_texts::kInProgress);
  const HWND text = CreateWindowExW(0, WC_STATICW, line.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                    Scaled(kTextX), Scaled(kTextY), Scaled(kTextWidth), Scaled(kTextHeight), Handle(),
                                    nullptr, instance, nullptr);
  SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SetProgressRange(100);
}

TWin32UpgradeWindow::~TWin32UpgradeWindow() {
  Destroy();
  if (font_) DeleteObject(font_);
}

int TWin32UpgradeWindow::Scaled(int pixels) const { return MulDiv(pixels, dpi_, 96); }

void TWin32UpgradeWindow::Show(bool shown) {
  if (!shown) {
    ShowWindow(Handle(), SW_HIDE);
    return;
  }
  SetProgressRange(100);
  SetProgress(0);
  ShowWindow(Handle(), SW_SHOWNORMAL);
  SetForegroundWindow(Handle());
}

void TWin32UpgradeWindow::SetProgressRange(int maximum) { SendMessageW(progress_, PBM_SETRANGE32, 0, maximum); }

void TWin32UpgradeWindow::SetProgress(int position) { SendMessageW(progress_, PBM_SETPOS, position, 0); }

int TWin32UpgradeWindow::Progress() const { return static_cast<int>(SendMessageW(progress_, PBM_GETPOS, 0, 0)); }

LRESULT TWin32UpgradeWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    // The handler may ask the user and must not find itself replaced meanwhile.
    if (closeRequested_) {
      const std::function<void()> ask = closeRequested_;
      ask();
    }
    return 0;
  }
  return TWindowBase::HandleMessage(message, wParam, lParam);
}

}  // namespace snimac
