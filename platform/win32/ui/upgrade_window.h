// The upgrade window: caption "Upgrade", a smooth progress bar and the line
// "Probíhá aktualizace snímače.". Its close box (and Alt+F4) asks the
// upgrade through the close handler; the window never closes by itself.
#pragma once

#include <windows.h>

#include <functional>

#include "platform/win32/ui/window_base.h"

namespace snimac {

class TWin32UpgradeWindow : public TWindowBase {
 public:
  TWin32UpgradeWindow(HINSTANCE instance, HICON icon, HICON smallIcon);
  ~TWin32UpgradeWindow() override;

  // Shown with the progress back at 0 of 0..100, in front.
  void Show(bool shown);
  void SetProgressRange(int maximum);
  void SetProgress(int position);
  int Progress() const;
  // Where the close box goes; empty: it does nothing.
  void SetCloseHandler(std::function<void()> closeRequested) { closeRequested_ = std::move(closeRequested); }

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int Scaled(int pixels) const;

  int dpi_ = 96;
  HFONT font_ = nullptr;
  HWND progress_ = nullptr;
  std::function<void()> closeRequested_;
};

}  // namespace snimac
