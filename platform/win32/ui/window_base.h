// A window with a C++ object behind it: the class is registered on first
// use, the object is found again from the handle, and messages go to its
// HandleMessage. Destroying the object destroys the window without calling
// back into the half-destroyed object.
#pragma once

#include <windows.h>

namespace snimac {

struct TWindowShape {
  const wchar_t* className;
  DWORD style = 0;
  DWORD exStyle = 0;
  const wchar_t* title = L"";
  RECT frame{};       // outer position and size
  HWND parent = nullptr;  // the owner of a top-level window, or HWND_MESSAGE
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
};

class TWindowBase {
 public:
  TWindowBase() = default;
  virtual ~TWindowBase();
  TWindowBase(const TWindowBase&) = delete;
  TWindowBase& operator=(const TWindowBase&) = delete;

  HWND Handle() const { return hwnd_; }

 protected:
  // Throws std::runtime_error when the window cannot be created.
  void Create(HINSTANCE instance, const TWindowShape& shape);
  // Destroys the window now (a derived class whose resources the window
  // uses calls it from its destructor); the object gets no further messages.
  void Destroy();
  // Unhandled messages go to DefWindowProc.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
};

// The frame of a window whose client area is `width` x `height` at (x, y).
RECT FrameForClient(int x, int y, int width, int height, DWORD style, DWORD exStyle);

}  // namespace snimac
