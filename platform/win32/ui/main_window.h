// The main window "Snímač": a small fixed window (minimise box and system
// menu only) with three labels and the grid of reads, a report-style list
// view with two columns. It draws what it is told and reports what the user
// does through its events; it is created hidden.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "app/view/main_view.h"
#include "platform/win32/ui/window_base.h"

namespace snimac {

struct TMainWindowEvents {
  // WM_SYSCOMMAND with the window's default handling of it, which the
  // handler must call.
  std::function<LRESULT(std::uintptr_t command, const std::function<LRESULT()>& byDefault)> systemCommand;
  std::function<void(int row)> gridSelect;
  // The close box, Alt+F4, or a request to close from outside.
  std::function<void()> close;
};

class TWin32MainWindow : public TWindowBase {
 public:
  TWin32MainWindow(HINSTANCE instance, const std::string& caption, HICON icon, HICON smallIcon, TMainWindowEvents events);
  ~TWin32MainWindow() override;

  void SetLabel(TLabel label, const std::string& text);
  // Rows count from 1; row 0 is the grid's empty first row.
  void AddGridRow(int row, const std::string& time, const std::string& text);
  void SelectGridRow(int row);

  HWND Grid() const { return grid_; }

 private:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  HWND CreateChild(const wchar_t* className, DWORD style, DWORD exStyle, int x, int y, int width, int height);
  HWND LabelWindow(TLabel label) const;
  void LayOutLabels();
  int TextWidth(HWND control) const;
  // The second column shrinks while the vertical scroll bar takes room, so
  // that no horizontal one is ever needed.
  void FitTextColumn();
  int Scaled(int pixels) const;

  TMainWindowEvents events_;
  int dpi_ = 96;
  HFONT font_ = nullptr;
  HWND comLbl_ = nullptr;
  HWND statusLbl_ = nullptr;
  HWND hwVersionLbl_ = nullptr;
  HWND grid_ = nullptr;
  bool selecting_ = false;  // the selection is being set from the core, not by the user
};

}  // namespace snimac
