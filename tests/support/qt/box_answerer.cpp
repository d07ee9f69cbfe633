#include "tests/support/qt/box_answerer.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>

namespace snimac::test {

TBoxAnswerer::TBoxAnswerer(TChoose choose) : choose_(std::move(choose)) {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
  timer_.start(10);
}

TBoxAnswerer::TBoxAnswerer(QMessageBox::StandardButton button)
    : TBoxAnswerer([button](const TSeenBox&) { return button; }) {}

void TBoxAnswerer::Look() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (!box || !box->isVisible()) continue;
    TSeenBox shown{box->windowTitle().toStdString(), box->text().toStdString(), box->icon(), box->standardButtons(),
                   box->parentWidget() != nullptr};
    const QMessageBox::StandardButton choice = choose_(shown);
    if (choice == QMessageBox::NoButton) return;  // not yet
    seen.push_back(shown);
    if (QAbstractButton* button = box->button(choice)) {
      button->click();
    } else {
      ADD_FAILURE() << "the box has no such button: " << shown.text;
      box->reject();
    }
    return;
  }
}

}  // namespace snimac::test
