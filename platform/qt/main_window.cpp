#include "platform/qt/main_window.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <cmath>

#include "tray/tray_icon.h"

namespace snimac {

namespace {

// The window's layout for a font 13 pixels high (8 points at 96 dpi); it
// grows with the desktop's font.
constexpr int kDesignFontHeight = 13;
constexpr int kLeft = 130, kTop = 159;
constexpr int kClientWidth = 266, kClientHeight = 162;
constexpr int kComLblX = 8, kComLblY = 8;
constexpr int kStatusLblX = 8, kStatusLblY = 24;
constexpr int kHwVersionLblX = 64, kHwVersionLblY = 24;
constexpr int kLabelGap = 4;  // between the status and the version when the status is long
constexpr int kGridX = 0, kGridY = 40, kGridWidth = 265, kGridHeight = 121;
constexpr int kColumnWidth = 130;
constexpr int kRowHeight = 16;

}  // namespace

TQtMainWindow::TQtMainWindow(const std::string& caption, const QIcon& icon, TQtMainWindowEvents events)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      events_(std::move(events)) {
  scale_ = std::max(1.0, QFontMetrics(font()).height() / static_cast<double>(kDesignFontHeight));
  setWindowTitle(QString::fromStdString(caption));
  setWindowIcon(icon);
  setFixedSize(Scaled(kClientWidth), Scaled(kClientHeight));
  move(Scaled(kLeft), Scaled(kTop));

  comLbl_ = new QLabel(this);
  statusLbl_ = new QLabel(this);
  hwVersionLbl_ = new QLabel(this);
  for (QLabel* label : {comLbl_, statusLbl_, hwVersionLbl_}) label->setTextFormat(Qt::PlainText);

  grid_ = new QTableWidget(0, 2, this);
  grid_->setGeometry(Scaled(kGridX), Scaled(kGridY), Scaled(kGridWidth), Scaled(kGridHeight));
  grid_->horizontalHeader()->hide();
  grid_->verticalHeader()->hide();
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setShowGrid(true);
  grid_->setWordWrap(false);
  grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->setDefaultSectionSize(std::max(Scaled(kRowHeight), fontMetrics().height() + 3));
  grid_->verticalHeader()->setMinimumSectionSize(1);
  grid_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
  grid_->horizontalHeader()->resizeSection(0, Scaled(kColumnWidth));
  // The second column takes what is left, so that no horizontal scroll bar is needed.
  grid_->horizontalHeader()->setStretchLastSection(true);
  QObject::connect(grid_, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous, int) {
    if (selecting_ || row < 0 || row == previous) return;
    if (events_.gridSelect) events_.gridSelect(row);
  });

  // Row 0: empty, and selected until the first read.
  AddGridRow(0, "", "");
  SelectGridRow(0);
  LayOutLabels();
}

int TQtMainWindow::Scaled(int pixels) const { return static_cast<int>(std::lround(pixels * scale_)); }

QLabel* TQtMainWindow::Label(TLabel label) const {
  switch (label) {
    case TLabel::ComLbl: return comLbl_;
    case TLabel::StatusLbl: return statusLbl_;
    case TLabel::HwVersionLbl: return hwVersionLbl_;
  }
  return nullptr;
}

void TQtMainWindow::SetLabel(TLabel label, const std::string& text) {
  Label(label)->setText(QString::fromStdString(text));
  LayOutLabels();
}

// Labels take the width of their text, as far as the window reaches. The
// version stands at its place unless a long status text needs the room;
// then it moves right rather than being drawn over.
void TQtMainWindow::LayOutLabels() {
  const int height = fontMetrics().height();
  auto place = [&](QLabel* label, int x, int y) {
    const int textWidth = label->text().isEmpty() ? 0 : label->sizeHint().width();
    const int labelWidth = std::max(0, std::min(textWidth, width() - x));
    label->setGeometry(x, y, labelWidth, height);
    return x + labelWidth;
  };
  place(comLbl_, Scaled(kComLblX), Scaled(kComLblY));
  const int statusRight = place(statusLbl_, Scaled(kStatusLblX), Scaled(kStatusLblY));
  const int versionX = statusLbl_->text().isEmpty() ? Scaled(kHwVersionLblX)
                                                     : std::max(Scaled(kHwVersionLblX), statusRight + Scaled(kLabelGap));
  place(hwVersionLbl_, versionX, Scaled(kHwVersionLblY));
}

void TQtMainWindow::AddGridRow(int row, const std::string& time, const std::string& text) {
  selecting_ = true;
  const int at = std::clamp(row, 0, grid_->rowCount());
  grid_->insertRow(at);
  grid_->setItem(at, 0, new QTableWidgetItem(QString::fromStdString(time)));
  grid_->setItem(at, 1, new QTableWidgetItem(QString::fromStdString(text)));
  selecting_ = false;
}

void TQtMainWindow::SelectGridRow(int row) {
  selecting_ = true;
  grid_->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  grid_->scrollToItem(grid_->item(row, 0));
  selecting_ = false;
}

void TQtMainWindow::ShowMinimizedForCore() {
  if (isMinimized()) return;
  changingState_ = true;
  setWindowState(windowState() | Qt::WindowMinimized);
  changingState_ = false;
}

// Out of the minimised state; a hidden window keeps its state for when it is shown.
void TQtMainWindow::RestoreForCore() {
  changingState_ = true;
  setWindowState(windowState() & ~Qt::WindowMinimized);
  changingState_ = false;
}

// The user's minimise (or the window manager's restore) goes to the core
// after the state change is done, so that what it decides is not undone by it.
void TQtMainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || changingState_ || !events_.systemCommand) return;
  const bool wasMinimized = static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized;
  if (wasMinimized == isMinimized()) return;
  const std::uintptr_t command = isMinimized() ? TTrayIcon::kScMinimize : TTrayIcon::kScRestore;
  QTimer::singleShot(0, this, [this, command] {
    if (events_.systemCommand) events_.systemCommand(command);
  });
}

// Closing the window ends the program; the window itself only hides.
void TQtMainWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (events_.close) events_.close();
}

}  // namespace snimac
