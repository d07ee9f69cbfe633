#include "platform/qt/upgrade_window.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include <algorithm>
#include <cmath>

#include "upgrade/upgrade_texts.h"

namespace snimac {

namespace {

// The layout for a font 13 pixels high; it grows with the desktop's font.
constexpr int kDesignFontHeight = 13;
constexpr int kLeft = 399, kTop = 585;
constexpr int kClientWidth = 413, kClientHeight = 105;
constexpr int kProgressX = 0, kProgressY = 8, kProgressWidth = 409, kProgressHeight = 16;
constexpr int kTextX = 8, kTextY = 40, kTextWidth = 401, kTextHeight = 57;

}  // namespace

TQtUpgradeWindow::TQtUpgradeWindow(const QIcon& icon)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {
  scale_ = std::max(1.0, QFontMetrics(font()).height() / static_cast<double>(kDesignFontHeight));
  setWindowTitle(QString::fromUtf8(upgrade_texts::kCaption));
  setWindowIcon(icon);
  setFixedSize(Scaled(kClientWidth), Scaled(kClientHeight));

  progress_ = new QProgressBar(this);
  progress_->setGeometry(Scaled(kProgressX), Scaled(kProgressY), Scaled(kProgressWidth), Scaled(kProgressHeight));
  progress_->setTextVisible(false);
  line_ = new QLabel(QString::fromUtf8(upgrade_texts::kInProgress), this);
  line_->setTextFormat(Qt::PlainText);
  line_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  line_->setGeometry(Scaled(kTextX), Scaled(kTextY), Scaled(kTextWidth), Scaled(kTextHeight));
  SetProgressRange(100);
}

int TQtUpgradeWindow::Scaled(int pixels) const { return static_cast<int>(std::lround(pixels * scale_)); }

// At its place, moved inside the screen when the screen is too small for it.
void TQtUpgradeWindow::Show(bool shown) {
  if (!shown) {
    hide();
    return;
  }
  SetProgressRange(100);
  SetProgress(0);
  QRect frame(Scaled(kLeft), Scaled(kTop), width(), height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect work = screen->availableGeometry();
    frame.moveLeft(std::max(work.left(), std::min(frame.left(), work.right() + 1 - frame.width())));
    frame.moveTop(std::max(work.top(), std::min(frame.top(), work.bottom() + 1 - frame.height())));
  }
  move(frame.topLeft());
  show();
  raise();
  activateWindow();
}

void TQtUpgradeWindow::SetProgressRange(int maximum) { progress_->setRange(0, maximum); }

void TQtUpgradeWindow::SetProgress(int position) { progress_->setValue(position); }

int TQtUpgradeWindow::Progress() const { return progress_->value(); }

int TQtUpgradeWindow::ProgressMaximum() const { return progress_->maximum(); }

QString TQtUpgradeWindow::Line() const { return line_->text(); }

// The handler may ask the user and must not find itself replaced meanwhile.
void TQtUpgradeWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (closeRequested_) {
    const std::function<void()> ask = closeRequested_;
    ask();
  }
}

}  // namespace snimac
