// Message boxes. Texts are UTF-8; a front end converts them at its edge.
#pragma once

#include <string>

namespace snimac {

enum class TMessageButtons { Ok, OkCancel, YesNo };
enum class TMessageResult { Ok, Cancel, Yes, No };

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // A modal box without an icon; returns the button chosen.
  virtual TMessageResult ShowMessageBox(const std::string& text, const std::string& caption,
                                        TMessageButtons buttons) = 0;
  // The toolkit's own box for an unexpected exception: its message with the
  // application title as caption.
  virtual void ShowException(const std::string& message) = 0;
};

// The answer of a box closed without a button (its close box, Esc, the end
// of the program): the cautious one, never a consent.
inline TMessageResult AnswerWhenClosed(TMessageButtons buttons) {
  switch (buttons) {
    case TMessageButtons::Ok: return TMessageResult::Ok;
    case TMessageButtons::OkCancel: return TMessageResult::Cancel;
    case TMessageButtons::YesNo: return TMessageResult::No;
  }
  return TMessageResult::Cancel;
}

}  // namespace snimac
