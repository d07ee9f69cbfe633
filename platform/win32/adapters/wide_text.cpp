#include "platform/win32/adapters/wide_text.h"

#include <windows.h>

#include <climits>

#include "app/texts.h"
#include "platform/win32/adapters/win32_texts.h"

namespace snimac {

std::wstring Utf8ToWide(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > static_cast<size_t>(INT_MAX)) return {};
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
  return wide;
}

std::string WideToUtf8(std::wstring_view wide) {
  if (wide.empty() || wide.size() > static_cast<size_t>(INT_MAX)) return {};
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::optional<std::string> EnvironmentUtf8(const std::string& name) {
  const std::wstring wideName = Utf8ToWide(name);
  std::wstring value(64, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD n = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
    // 0 is both "not set" and "set to nothing"; only the error code tells.
    if (n == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (n < value.size()) {  // the value and its zero fitted
      value.resize(n);
      return WideToUtf8(value);
    }
    value.resize(n);  // n is the size needed, zero included; the value may grow meanwhile
  }
}

std::string SystemErrorText(uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n > 0 && buffer ? std::wstring(buffer, n) : std::wstring();
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  if (text.empty()) return texts::With(win32_texts::kSystemError, std::to_string(code));
  return WideToUtf8(text);
}

}  // namespace snimac
