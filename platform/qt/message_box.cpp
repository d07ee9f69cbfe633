#include "platform/qt/message_box.h"

#include <QString>

namespace snimac {

QMessageBox::StandardButtons QtButtonsOf(TMessageButtons buttons) {
  switch (buttons) {
    case TMessageButtons::Ok: return QMessageBox::Ok;
    case TMessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case TMessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
  }
  return QMessageBox::Ok;
}

TMessageResult MessageResultOf(int pressed, TMessageButtons buttons) {
  switch (pressed) {
    case QMessageBox::Ok: return TMessageResult::Ok;
    case QMessageBox::Yes: return TMessageResult::Yes;
    case QMessageBox::No: return TMessageResult::No;
    case QMessageBox::Cancel: return TMessageResult::Cancel;
    default: return AnswerWhenClosed(buttons);
  }
}

namespace {

int ShowBox(QWidget* owner, QMessageBox::Icon icon, const std::string& text, const std::string& caption,
            QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), buttons, owner);
  box.setTextFormat(Qt::PlainText);
  // The first button is the default, as in the system's boxes elsewhere.
  box.setDefaultButton(buttons & QMessageBox::Ok ? QMessageBox::Ok : QMessageBox::Yes);
  if (!owner) box.setWindowModality(Qt::ApplicationModal);
  box.exec();
  // No button when the box's loop was ended from outside.
  QAbstractButton* clicked = box.clickedButton();
  return clicked ? static_cast<int>(box.standardButton(clicked)) : 0;
}

}  // namespace

TMessageResult ShowQtMessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                                TMessageButtons buttons) {
  return MessageResultOf(ShowBox(owner, QMessageBox::NoIcon, text, caption, QtButtonsOf(buttons)), buttons);
}

void ShowQtErrorBox(QWidget* owner, const std::string& text, const std::string& caption) {
  ShowBox(owner, QMessageBox::Critical, text, caption, QMessageBox::Ok);
}

}  // namespace snimac
