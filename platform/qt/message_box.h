// Message boxes: the program's own (no icon, the caption and text as given,
// OK, OK + Cancel or Yes + No) and the toolkit's error box. Texts are UTF-8
// and shown as plain text.
#pragma once

#include <QMessageBox>

#include <string>

#include "app/view/dialogs.h"

class QWidget;

namespace snimac {

QMessageBox::StandardButtons QtButtonsOf(TMessageButtons buttons);
// The answer for the button pressed; a box closed without one (the program
// was told to end meanwhile) gives the cautious answer: Cancel or No.
TMessageResult MessageResultOf(int pressed, TMessageButtons buttons);

// Modal; `owner` may be none. Posted work and timers go on meanwhile.
TMessageResult ShowQtMessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                                TMessageButtons buttons);
void ShowQtErrorBox(QWidget* owner, const std::string& text, const std::string& caption);

}  // namespace snimac
