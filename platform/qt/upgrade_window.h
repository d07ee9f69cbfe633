// The upgrade window: caption "Upgrade", a progress bar and the line
// "Probíhá aktualizace snímače.". Its close box never closes it: the request
// goes to the handler (the upgrade, which may ask the user first).
#pragma once

#include <QWidget>

#include <functional>

class QProgressBar;
class QLabel;

namespace snimac {

class TQtUpgradeWindow : public QWidget {
 public:
  explicit TQtUpgradeWindow(const QIcon& icon);

  void Show(bool shown);
  void SetProgressRange(int maximum);
  void SetProgress(int position);
  void SetCloseHandler(std::function<void()> closeRequested) { closeRequested_ = std::move(closeRequested); }

  int Progress() const;
  int ProgressMaximum() const;
  QString Line() const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  int Scaled(int pixels) const;

  double scale_ = 1.0;
  QProgressBar* progress_ = nullptr;
  QLabel* line_ = nullptr;
  std::function<void()> closeRequested_;
};

}  // namespace snimac
