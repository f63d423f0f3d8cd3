// The time until every running conversion is done.
#include "gui/FinishEstimate.h"

#include <gtest/gtest.h>

namespace veltrano::gui {
namespace {

constexpr int64_t kSecond = 1'000'000;
const int kA = 1;
const int kB = 2;
const int kC = 3;

TProgressReport Report(const void* task, double at_s, double converted_s, double remaining_s,
                       bool paused = false, int64_t run_start = 1) {
  return {task, run_start, static_cast<int64_t>(at_s * kSecond), converted_s, remaining_s, paused};
}

// Tasks that convert at steady speeds (source seconds per second), reported
// once a second from 0 to `until` s, each with `total` seconds to convert.
struct TSteady {
  const void* task;
  double speed;
  double total;
};

void RunSteadily(TFinishEstimate& estimate, const std::vector<TSteady>& tasks, int until) {
  for (int t = 0; t <= until; ++t) {
    std::vector<TProgressReport> reports;
    for (const TSteady& s : tasks) {
      reports.push_back(Report(s.task, t, s.speed * t, s.total - s.speed * t));
    }
    estimate.Update(reports, t * kSecond);
  }
}

TEST(FinishEstimate, UnknownUntilEveryRunningTaskHasRunTwoSecondsAndKnowsItsLength) {
  TFinishEstimate estimate;
  EXPECT_FALSE(estimate.Range());  // nothing runs
  estimate.Update({Report(&kA, 10, 5, 100), {&kB, 1, 0, 0, -1, false}}, 10 * kSecond);
  EXPECT_FALSE(estimate.Range());
  // The same report seen again is not a second one.
  estimate.Update({Report(&kA, 10, 5, 100), Report(&kB, 10, 1, 50)}, 11 * kSecond);
  estimate.Update({Report(&kA, 11, 7, 98), Report(&kB, 10, 1, 50)}, 11 * kSecond);
  EXPECT_FALSE(estimate.Range());  // A has run 1 s since its first report
  estimate.Update({Report(&kA, 12, 9, 96), Report(&kB, 12, 3, -1)}, 12 * kSecond);
  EXPECT_FALSE(estimate.Range());  // B does not know its length
  estimate.Update({Report(&kA, 12, 9, 96), Report(&kB, 12, 3, 48)}, 12 * kSecond);
  ASSERT_TRUE(estimate.Range());
  // A task that stood still over its last stretch leaves no honest figure.
  estimate.Update({Report(&kA, 17, 9, 96), Report(&kB, 17, 13, 38)}, 17 * kSecond);
  EXPECT_FALSE(estimate.Range());
}

TEST(FinishEstimate, TasksSideBySideShareTheMachineSoTheirWorkAddsUp) {
  // Eight equal tasks, each at 0.25 s of source per second with 60 s to do:
  // all done in 240 s, which the range holds, not much wider than the margin.
  TFinishEstimate equal;
  std::vector<TSteady> eight;
  static const int kTasks[8] = {};
  for (const int& task : kTasks) eight.push_back({&task, 0.25, 60});
  RunSteadily(equal, eight, 20);
  auto range = equal.Range();
  ASSERT_TRUE(range);
  EXPECT_LE(range->low_s, 220);
  EXPECT_GE(range->high_s, 220);
  EXPECT_NEAR(range->high_s / range->low_s, 1.44, 0.01);

  // Mixed lengths at the same speed: 10, 30 and 50 s left. Once the short
  // one ends its share goes to the others, so all are done after the mean
  // of their remaining times (30 s), well before the longest alone (50 s).
  TFinishEstimate mixed;
  RunSteadily(mixed, {{&kA, 1, 20}, {&kB, 1, 40}, {&kC, 1, 60}}, 10);
  range = mixed.Range();
  ASSERT_TRUE(range);
  EXPECT_NEAR(range->low_s, 30 / 1.2, 1e-9);
  EXPECT_NEAR(range->high_s, 30 * 1.2, 1e-9);
}

TEST(FinishEstimate, TheEndsFollowTheFastestAndSlowestStretchOfTheLastMinute) {
  TFinishEstimate estimate;
  // 1 s of source per second for 30 s, then 3 per second for 30 s; 120 s left.
  double converted = 0;
  for (int t = 0; t <= 60; ++t) {
    estimate.Update({Report(&kA, t, converted, 240 - converted)}, t * kSecond);
    converted += t < 30 ? 1 : 3;
  }
  auto range = estimate.Range();
  ASSERT_TRUE(range);
  const double left = 240 - (30 + 3 * 31 - 3);
  EXPECT_NEAR(range->low_s, left / 3 / 1.2, 0.5);  // the current speed is the fastest
  EXPECT_NEAR(range->high_s, left / 1, 0.5);       // but it was as slow as 1 a minute ago
  // A minute later the slow stretch is forgotten.
  for (int t = 61; t <= 130; ++t) {
    estimate.Update({Report(&kA, t, converted, 1000)}, t * kSecond);
    converted += 3;
  }
  range = estimate.Range();
  ASSERT_TRUE(range);
  EXPECT_NEAR(range->high_s, 1000 / 3.0 * 1.2, 1);
}

TEST(FinishEstimate, PausedTimeIsLeftOutAndAPausedTaskWaitsOutside) {
  TFinishEstimate estimate;
  // A and B run at 1 per second for 10 s.
  RunSteadily(estimate, {{&kA, 1, 100}, {&kB, 1, 20}}, 10);
  ASSERT_TRUE(estimate.Range());
  // A is paused for 100 s: B alone decides the range meanwhile.
  for (int t = 11; t <= 110; ++t) {
    const double b = std::min(20.0, 10.0 + (t - 10));
    estimate.Update({Report(&kA, 10, 10, 90, true), Report(&kB, t, b, 20 - b)}, t * kSecond);
    if (t == 12) {
      const auto range = estimate.Range();
      ASSERT_TRUE(range);
      EXPECT_NEAR(range->low_s, 8 / 1.2, 1e-9);
    }
  }
  // A runs again at 1 per second: its speed is known at once and not
  // diluted by the pause (which would make it 10 / 110).
  estimate.Update({Report(&kA, 111, 11, 89)}, 111 * kSecond);
  auto range = estimate.Range();
  ASSERT_TRUE(range);
  EXPECT_NEAR(range->low_s, 89 / 1.2, 1);
  EXPECT_NEAR(range->high_s, 89 * 1.2, 1);
  // A restarted task is measured afresh; a task no longer reported is forgotten.
  estimate.Update({Report(&kA, 120, 1, 99, false, 2)}, 120 * kSecond);
  EXPECT_FALSE(estimate.Range());
  estimate.Update({}, 121 * kSecond);
  EXPECT_FALSE(estimate.Range());
}

}  // namespace
}  // namespace veltrano::gui
