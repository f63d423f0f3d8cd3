// The time until every running conversion is done.
#include "gui/FinishEstimate.h"

#include <gtest/gtest.h>

namespace veltrano::gui {
namespace {

constexpr int64_t kSecond = 1'000'000;
const int kA = 1;
const int kB = 2;

TProgressReport Report(const void* task, int64_t at_s, double converted_s, double remaining_s,
                       int64_t run_start = 1) {
  return {task, run_start, at_s * kSecond, converted_s, remaining_s};
}

TEST(FinishEstimate, UnknownUntilEveryRunningTaskHasReportedTwice) {
  TFinishEstimate estimate;
  EXPECT_FALSE(estimate.Range());  // nothing runs
  estimate.Update({Report(&kA, 10, 5, 100), {&kB, 1, 0, 0, -1}});
  EXPECT_FALSE(estimate.Range());
  // The same report seen again is not a second one.
  estimate.Update({Report(&kA, 10, 5, 100), Report(&kB, 10, 1, 50)});
  EXPECT_FALSE(estimate.Range());
  estimate.Update({Report(&kA, 11, 7, 98), Report(&kB, 10, 1, 50)});
  EXPECT_FALSE(estimate.Range());  // B has reported once
  estimate.Update({Report(&kA, 12, 9, 96), Report(&kB, 11, 2, -1)});
  EXPECT_FALSE(estimate.Range());  // B does not know its length
  estimate.Update({Report(&kA, 12, 9, 96), Report(&kB, 12, 3, 48)});
  ASSERT_TRUE(estimate.Range());
}

TEST(FinishEstimate, TheLongestTaskDecidesBothEnds) {
  TFinishEstimate estimate;
  // A: 4 s of source per second, then 1; B: steadily 2 per second.
  estimate.Update({Report(&kA, 0, 0, 100), Report(&kB, 0, 0, 30)});
  estimate.Update({Report(&kA, 1, 4, 96), Report(&kB, 1, 2, 28)});
  estimate.Update({Report(&kA, 2, 5, 95), Report(&kB, 2, 4, 26)});
  auto range = estimate.Range();
  ASSERT_TRUE(range);
  // A at its current speed needs 95 s; B at most 13 s.
  EXPECT_DOUBLE_EQ(range->low_s, 95);
  EXPECT_DOUBLE_EQ(range->high_s, 95);
  estimate.Update({Report(&kA, 3, 9, 91), Report(&kB, 3, 6, 24)});
  range = estimate.Range();
  ASSERT_TRUE(range);
  EXPECT_DOUBLE_EQ(range->low_s, 91.0 / 4);   // A now converts 4 per second again
  EXPECT_DOUBLE_EQ(range->high_s, 91.0 / 1);  // but has shown 1 per second
}

TEST(FinishEstimate, OnlyTheLastMinuteCountsAndANewRunStartsAfresh) {
  TFinishEstimate estimate;
  estimate.Update({Report(&kA, 0, 0, 200)});
  estimate.Update({Report(&kA, 1, 1, 199)});  // a slow start: 1 per second
  for (int64_t t = 2; t <= 70; ++t) estimate.Update({Report(&kA, t, 1 + 2.0 * (t - 1), 100)});
  auto range = estimate.Range();
  ASSERT_TRUE(range);
  EXPECT_DOUBLE_EQ(range->high_s, 50);  // the slow start is over a minute old
  // Stalled since the last report: no honest figure.
  estimate.Update({Report(&kA, 71, 1 + 2.0 * 69, 100)});
  EXPECT_FALSE(estimate.Range());
  // Restarted: the new run has reported once.
  estimate.Update({Report(&kA, 80, 2, 150, 2)});
  EXPECT_FALSE(estimate.Range());
  // A task that is no longer reported is forgotten.
  estimate.Update({});
  EXPECT_FALSE(estimate.Range());
}

}  // namespace
}  // namespace veltrano::gui
