// box_reader.exe CAPTION SECONDS: waits up to SECONDS for a visible top-level
// dialog window (class "#32770", a message box) captioned exactly CAPTION,
// prints the texts of its static controls on stdout (UTF-8, one per line),
// presses its OK button and waits for the box to close. Used by the
// end-to-end test under Wine, where a box's text is not visible to X.
// Exit codes: 0 read and closed, 1 no such box in time, 2 bad arguments,
// 3 the box did not close after OK.
#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

std::wstring TextOf(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

struct TSearch {
  const std::wstring* caption;
  HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TSearch*>(param);
  if (IsWindowVisible(window) && ClassOf(window) == L"#32770" && TextOf(window) == *search->caption) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindBox(const std::wstring& caption) {
  TSearch search{&caption, nullptr};
  EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct TStatics {
  std::string utf8;
};

void AppendUtf8(std::string& out, const std::wstring& text) {
  const int bytes =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(bytes));
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data() + at, bytes, nullptr,
                      nullptr);
}

// Statics with text only: the box's icon is a static too, without text.
BOOL CALLBACK CollectStatic(HWND child, LPARAM param) {
  auto* statics = reinterpret_cast<TStatics*>(param);
  if (_wcsicmp(ClassOf(child).c_str(), L"Static") != 0) return TRUE;
  const std::wstring text = TextOf(child);
  if (text.empty()) return TRUE;
  AppendUtf8(statics->utf8, text);
  statics->utf8 += '\n';
  return TRUE;
}

void WriteOut(const std::string& bytes) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!argv || count != 3) {
    WriteOut("usage: box_reader.exe CAPTION SECONDS\n");
    return 2;
  }
  const std::wstring caption = argv[1];
  const DWORD limitMs = static_cast<DWORD>(_wtoi(argv[2])) * 1000;
  LocalFree(argv);

  const DWORD start = GetTickCount();
  HWND box = nullptr;
  while ((box = FindBox(caption)) == nullptr) {
    if (GetTickCount() - start >= limitMs) return 1;
    Sleep(100);
  }
  TStatics statics;
  EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&statics));
  WriteOut(statics.utf8);

  // OK as the button would send it; the box ends with IDOK.
  HWND ok = GetDlgItem(box, IDOK);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  const DWORD pressed = GetTickCount();
  while (IsWindow(box) && IsWindowVisible(box)) {
    if (GetTickCount() - pressed >= 5000) return 3;
    Sleep(50);
  }
  return 0;
}
