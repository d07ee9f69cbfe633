#include "platform/win32/ui/message_box.h"

#include "platform/win32/adapters/wide_text.h"

namespace snimac {

UINT MessageBoxStyle(TMessageButtons buttons) {
  switch (buttons) {
    case TMessageButtons::Ok: return MB_OK;
    case TMessageButtons::OkCancel: return MB_OKCANCEL;
    case TMessageButtons::YesNo: return MB_YESNO;
  }
  return MB_OK;
}

TMessageResult MessageResultOf(int pressed, TMessageButtons buttons) {
  switch (pressed) {
    case IDOK: return TMessageResult::Ok;
    case IDYES: return TMessageResult::Yes;
    case IDNO: return TMessageResult::No;
    case IDCANCEL: return TMessageResult::Cancel;
    default: return AnswerWhenClosed(buttons);
  }
}

namespace {

int ShowBox(HWND owner, const std::string& text, const std::string& caption, UINT style) {
  style |= MB_SETFOREGROUND;
  if (!owner) style |= MB_TASKMODAL;
  return MessageBoxW(owner, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), style);
}

}  // namespace

TMessageResult ShowWin32MessageBox(HWND owner, const std::string& text, const std::string& caption,
                                   TMessageButtons buttons) {
  return MessageResultOf(ShowBox(owner, text, caption, MessageBoxStyle(buttons)), buttons);
}

void ShowWin32ErrorBox(HWND owner, const std::string& text, const std::string& caption) {
  ShowBox(owner, text, caption, MB_OK | MB_ICONERROR);
}

}  // namespace snimac
