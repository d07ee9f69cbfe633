// typing_target.exe FILE: a window "snimac typing target" with one multi-line
// edit box that holds the keyboard focus; every 200 ms the box's text is
// written to FILE (UTF-8, Enter as CR LF), so that a script can see what was
// typed into it. Used by the end-to-end test under Wine.
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

constexpr UINT_PTR kSaveTimer = 1;
HWND edit = nullptr;
std::wstring outputPath;

void SaveText() {
  const int length = GetWindowTextLengthW(edit);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(edit, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), length, utf8.data(), bytes, nullptr, nullptr);
  // Written aside and moved over, so that a reader never sees half a file.
  const std::wstring temporary = outputPath + L".tmp";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  CloseHandle(file);
  MoveFileExW(temporary.c_str(), outputPath.c_str(), MOVEFILE_REPLACE_EXISTING);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_WANTRETURN,
                             10, 10, 360, 160, window, nullptr, nullptr, nullptr);
      SetTimer(window, kSaveTimer, 200, nullptr);
      return 0;
    case WM_SETFOCUS:
    case WM_ACTIVATE:
      SetFocus(edit);
      return 0;
    case WM_TIMER:
      if (wParam == kSaveTimer) SaveText();
      return 0;
    case WM_DESTROY:
      SaveText();
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv || count != 2) return 2;
  outputPath = argv[1];
  LocalFree(argv);

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"SnimacTypingTarget";
  if (!RegisterClassW(&windowClass)) return 1;
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"snimac typing target", WS_OVERLAPPEDWINDOW,
                                100, 100, 400, 220, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show == SW_HIDE ? SW_SHOWNORMAL : show);
  SetForegroundWindow(window);
  SetFocus(edit);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
