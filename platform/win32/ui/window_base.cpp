#include "platform/win32/ui/window_base.h"

#include <stdexcept>
#include <string>

#include "platform/win32/adapters/wide_text.h"

namespace snimac {

TWindowBase::~TWindowBase() { Destroy(); }

void TWindowBase::Destroy() {
  if (!hwnd_) return;
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

void TWindowBase::Create(HINSTANCE instance, const TWindowShape& shape) {
  WNDCLASSEXW windowClass{};
  if (!GetClassInfoExW(instance, shape.className, &windowClass)) {
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = shape.icon;
    windowClass.hIconSm = shape.smallIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = shape.className;
    if (!RegisterClassExW(&windowClass)) {
      throw std::runtime_error("RegisterClassEx: " + SystemErrorText(GetLastError()));
    }
  }
  const RECT& f = shape.frame;
  CreateWindowExW(shape.exStyle, shape.className, shape.title, shape.style, f.left, f.top, f.right - f.left,
                  f.bottom - f.top, shape.parent, nullptr, instance, this);
  if (!hwnd_) throw std::runtime_error("CreateWindowEx: " + SystemErrorText(GetLastError()));
}

LRESULT TWindowBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// The object is known from WM_NCCREATE on; earlier messages (WM_GETMINMAXINFO)
// get the default handling.
LRESULT CALLBACK TWindowBase::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* window = static_cast<TWindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    window->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  auto* window = reinterpret_cast<TWindowBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!window) return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    window->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  return window->HandleMessage(message, wParam, lParam);
}

RECT FrameForClient(int x, int y, int width, int height, DWORD style, DWORD exStyle) {
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  OffsetRect(&frame, x - frame.left, y - frame.top);
  return frame;
}

}  // namespace snimac
