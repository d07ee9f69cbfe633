// The grid of reads as its front ends see it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cards/log_grid.h"

namespace snimac {
namespace {

const TLogItem kRead{{2026, 12, 6, 14, 10, 59, 0}, "1234AB0F"};

TEST(LogGrid, FirstReadGoesBelowTheEmptyRowAndIsSelected) {
  TLogGrid grid({'/', ':'});
  std::vector<int> added;
  grid.onRowAdded = [&](int row) {
    added.push_back(row);
    EXPECT_EQ(grid.Selected(), row);  // the front end redraws with the selection already moved
  };
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.Selected(), 0);

  grid.Add(kRead);
  EXPECT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Selected(), 1);
  EXPECT_EQ(added, std::vector<int>{1});
  EXPECT_EQ(grid.Cell(0, TLogGrid::kTimeColumn), "");
  EXPECT_EQ(grid.Cell(0, TLogGrid::kTextColumn), "");
  EXPECT_EQ(grid.Cell(1, TLogGrid::kTimeColumn), "06/12/2026 14:10");
  EXPECT_EQ(grid.Cell(1, TLogGrid::kTextColumn), "1234ab0f");
  EXPECT_EQ(grid.Cell(2, 0), "");
  EXPECT_EQ(grid.Cell(1, 2), "");
}

TEST(LogGrid, SelectionFollowsNewReadsOnlyFromTheLastRow) {
  TLogGrid grid({'/', ':'});
  for (int i = 0; i < 4; ++i) grid.Add(kRead);  // rows 0..4

  ASSERT_TRUE(grid.Select(2));
  grid.Add(kRead);  // row 5
  EXPECT_EQ(grid.RowCount(), 6);
  EXPECT_EQ(grid.Selected(), 2);

  EXPECT_FALSE(grid.Select(6));
  EXPECT_FALSE(grid.Select(-1));
  EXPECT_EQ(grid.Selected(), 2);

  ASSERT_TRUE(grid.Select(5));
  grid.Add(kRead);
  EXPECT_EQ(grid.Selected(), 6);
}

TEST(LogGrid, TimeUsesTheUserSeparatorsWhileRecordsKeepTheFixedForm) {
  TLogGrid grid({'.', ':'});
  grid.Add({{2027, 1, 2, 3, 4, 5, 0}, "00ff"});
  grid.Add(kRead);
  EXPECT_EQ(grid.Cell(1, TLogGrid::kTimeColumn), "02.01.2027 03:04");
  EXPECT_EQ(grid.Cell(2, TLogGrid::kTimeColumn), "06.12.2026 14:10");
  EXPECT_EQ(FormatRecordTime(kRead.Time), "06/12/2026-14:10");
}

}  // namespace
}  // namespace snimac
