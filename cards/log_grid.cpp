#include "cards/log_grid.h"

namespace snimac {

namespace {

// ASCII only: the text is hex, and the C library's tolower would follow the
// user's locale.
std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace

void TLogGrid::Add(const TLogItem& item) {
  const int row = RowCount();
  const bool follow = selected_ == row - 1;
  rows_.push_back(TRow{{FormatGridTime(item.Time, separators_), Lower(item.Text)}});
  if (follow) selected_ = row;
  if (onRowAdded) onRowAdded(row);
}

bool TLogGrid::Select(int row) {
  if (row < 0 || row >= RowCount()) return false;
  selected_ = row;
  return true;
}

const std::string& TLogGrid::Cell(int row, int column) const {
  static const std::string kEmpty;
  if (row < 0 || row >= RowCount() || column < 0 || column >= kColumnCount) return kEmpty;
  return rows_[static_cast<size_t>(row)].cells[column];
}

}  // namespace snimac
