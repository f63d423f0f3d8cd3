// The task list's item model: rows asked for in quick succession are
// announced together, and none is lost.
#include "gui/TaskViewModel.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace veltrano::gui {
namespace {

// The first and last row of each dataChanged announcement.
std::vector<std::pair<int, int>> Announced(QSignalSpy& spy) {
  std::vector<std::pair<int, int>> ranges;
  for (const QList<QVariant>& signal : spy) {
    ranges.emplace_back(signal[0].toModelIndex().row(), signal[1].toModelIndex().row());
  }
  spy.clear();
  return ranges;
}

TEST(TaskViewModel, RowsAskedForMeanwhileAreAnnouncedTogetherAfterAPause) {
  TTaskViewModel model;
  model.AddColumn("名称", 100);
  model.AddColumn("进度", 50);
  std::vector<TRowId> rows;
  for (int i = 0; i < 5; ++i) rows.push_back(model.AddChild(kNoRow, nullptr));
  QSignalSpy spy(&model, &QAbstractItemModel::dataChanged);

  // The first at once.
  model.InvalidateRow(rows[1]);
  EXPECT_EQ(Announced(spy), (std::vector<std::pair<int, int>>{{1, 1}}));
  // Progress reports of several rows, many times each: nothing yet.
  for (int report = 0; report < 10; ++report) {
    for (const int row : {0, 1, 3, 4}) model.InvalidateRow(rows[row]);
  }
  model.DeleteRow(rows[4]);  // gone before its turn: not announced
  EXPECT_TRUE(Announced(spy).empty());
  // A moment later each row once, neighbours as one range, every column.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !spy.isEmpty(); }, 5000));
  ASSERT_EQ(spy.size(), 2);
  EXPECT_EQ(spy[1][1].toModelIndex().column(), 1);
  EXPECT_EQ(Announced(spy), (std::vector<std::pair<int, int>>{{0, 1}, {3, 3}}));

  // After a pause with nothing asked for, the next row goes at once again.
  QTest::qWait(3 * TTaskViewModel::kRepaintMs);
  EXPECT_TRUE(spy.isEmpty());
  model.InvalidateRow(rows[2]);
  EXPECT_EQ(Announced(spy), (std::vector<std::pair<int, int>>{{2, 2}}));
}

}  // namespace
}  // namespace veltrano::gui
