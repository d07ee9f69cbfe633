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

}  // namespace snimac
