// The main window "Snímač": a small fixed window (minimise and close boxes
// only) with three labels and the grid of reads (two columns, whole-row
// selection, an empty first row). It draws what it is told and reports what
// the user does through its events; it is created hidden.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

#include "app/view/main_view.h"

class QLabel;
class QTableWidget;

namespace snimac {

struct TQtMainWindowEvents {
  // The user minimised the window or brought it back from its minimised
  // state (the system commands SC_MINIMIZE and SC_RESTORE of the core).
  std::function<void(std::uintptr_t command)> systemCommand;
  std::function<void(int row)> gridSelect;
  // The close box or a request to close from outside.
  std::function<void()> close;
};

class TQtMainWindow : public QWidget {
 public:
  TQtMainWindow(const std::string& caption, const QIcon& icon, TQtMainWindowEvents events);

  void SetLabel(TLabel label, const std::string& text);
  // Rows count from 1; row 0 is the grid's empty first row.
  void AddGridRow(int row, const std::string& time, const std::string& text);
  void SelectGridRow(int row);

  // The window's own state changes, made for the core, are not reported back.
  void ShowMinimizedForCore();
  void RestoreForCore();

  QLabel* Label(TLabel label) const;
  QTableWidget* Grid() const { return grid_; }

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void LayOutLabels();
  int Scaled(int pixels) const;

  TQtMainWindowEvents events_;
  double scale_ = 1.0;
  QLabel* comLbl_ = nullptr;
  QLabel* statusLbl_ = nullptr;
  QLabel* hwVersionLbl_ = nullptr;
  QTableWidget* grid_ = nullptr;
  bool selecting_ = false;      // the selection is being set for the core, not by the user
  bool changingState_ = false;  // the window state is being changed for the core
};

}  // namespace snimac
