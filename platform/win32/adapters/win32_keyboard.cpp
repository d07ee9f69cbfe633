#include "platform/win32/adapters/win32_keyboard.h"

#include <windows.h>

#include "platform/win32/adapters/wide_text.h"

namespace snimac {

namespace {

// Titles longer than this are cut, as GetWindowTextA with a 128-byte buffer did.
constexpr int kTitleChars = 127;

bool IsExtendedKey(uint8_t vk) {
  switch (vk) {
    case VK_RMENU:
    case VK_RCONTROL:
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_NUMLOCK:
    case VK_DIVIDE:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
      return true;
    default:
      return false;
  }
}

}  // namespace

void TWin32Keyboard::KeybdEvent(uint8_t vk, uint8_t scan, uint32_t flags) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = scan;
  input.ki.dwFlags = (flags & kKeyEventKeyUp) != 0 ? KEYEVENTF_KEYUP : 0;
  if (IsExtendedKey(vk)) input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  // Fire and forget: a refused event (a higher-integrity window in front)
  // cannot be helped from here.
  SendInput(1, &input, sizeof input);
}

uint32_t TWin32Keyboard::VirtualKeyToScanCode(uint32_t code) {
  return MapVirtualKeyExW(code, MAPVK_VK_TO_VSC, reinterpret_cast<HKL>(ForegroundLayout()));
}

int16_t TWin32Keyboard::VirtualKeyForChar(char ch, TKeyboardLayout layout) {
  wchar_t wide = static_cast<unsigned char>(ch);
  if (wide >= 0x80 && MultiByteToWideChar(CP_ACP, 0, &ch, 1, &wide, 1) != 1) return -1;
  return VkKeyScanExW(wide, reinterpret_cast<HKL>(layout));
}

TKeyboardLayout TWin32Keyboard::ForegroundLayout() {
  const HWND foreground = GetForegroundWindow();
  const DWORD thread = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
  return reinterpret_cast<TKeyboardLayout>(GetKeyboardLayout(thread));
}

std::string TWin32Keyboard::ForegroundTitle() {
  const HWND foreground = GetForegroundWindow();
  if (!foreground) return "";
  wchar_t title[kTitleChars + 1] = {};
  int length = GetWindowTextW(foreground, title, kTitleChars + 1);
  // Never half a surrogate pair at the cut.
  if (length == kTitleChars && IS_HIGH_SURROGATE(title[length - 1])) --length;
  return WideToUtf8(std::wstring_view(title, static_cast<size_t>(length > 0 ? length : 0)));
}

}  // namespace snimac
