// The main window's grid of reads as a model that the front ends draw: two
// columns (time of the read, card text), one row per read below an empty
// row 0, whole-row selection. New reads are followed only while the user
// keeps the last row selected. Rows are never removed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cards/log_item.h"
#include "cards/read_time.h"

namespace snimac {

class TLogGrid {
 public:
  static constexpr int kColumnCount = 2;
  static constexpr int kTimeColumn = 0;
  static constexpr int kTextColumn = 1;

  // The user's date and time separators (the platform finds them).
  explicit TLogGrid(TDateTimeSeparators separators) : separators_(separators) {}

  // Appends a row: the time with the user's separators, the text in lower
  // case. When the last row was selected, the selection moves to the new row.
  void Add(const TLogItem& item);

  // The user's selection; false (and no change) for a row that does not exist.
  bool Select(int row);

  int RowCount() const { return static_cast<int>(rows_.size()); }
  int Selected() const { return selected_; }
  // "" for a cell outside the grid.
  const std::string& Cell(int row, int column) const;

  // After a row was added (and the selection followed, if it did).
  std::function<void(int row)> onRowAdded;

 private:
  struct TRow {
    std::string cells[kColumnCount];
  };

  TDateTimeSeparators separators_;
  std::vector<TRow> rows_{TRow{}};  // row 0 stays empty
  int selected_ = 0;
};

}  // namespace snimac
