// Answers the message boxes that open while it lives: every few milliseconds
// it looks for a visible QMessageBox, notes what it shows and presses the
// button that `choose` names for it (NoButton: leave it open for now).
#pragma once

#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace snimac::test {

struct TSeenBox {
  std::string caption;
  std::string text;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  bool hasParent;
};

class TBoxAnswerer {
 public:
  using TChoose = std::function<QMessageBox::StandardButton(const TSeenBox&)>;
  explicit TBoxAnswerer(TChoose choose);
  // Presses `button` in every box.
  explicit TBoxAnswerer(QMessageBox::StandardButton button);

  std::vector<TSeenBox> seen;

 private:
  void Look();

  TChoose choose_;
  QTimer timer_;
};

}  // namespace snimac::test
