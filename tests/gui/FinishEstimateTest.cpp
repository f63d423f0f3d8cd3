// The time until every running conversion is done.
#include "gui/FinishEstimate.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace veltrano::gui {
namespace {

constexpr int64_t kSecond = 1'000'000;
const int kA = 1;
const int kB = 2;

TProgressReport Report(const void* task, double at_s, double converted_s, double remaining_s,
                       bool paused = false, int64_t run_start = 1) {
  return {task, run_start, static_cast<int64_t>(at_s * kSecond), converted_s, remaining_s, paused};
}

// A machine of `cores` cores converting tasks side by side, in steps of a
// tenth of a second. While k tasks run, each gets min(`cap`, cores / k)
// cores and converts `speed` source seconds per core-second; a task that
// has converted its length then reads its output back (work of `check`
// times its length), reporting nothing left, and leaves. The tasks report
// to the estimate once a second, and the range is noted then.
struct TMachine {
  int cores = 2;
  double cap = 1;
  double speed = 1;
  double check = 0.04;

  struct TTask {
    double length;
    int id = 0;               // set by Run
    double paused_from = -1;  // paused over [from, until) seconds of the run
    double paused_until = -1;
    double converted = 0;
    double checked = 0;
  };
  struct TSample {
    double t;
    double done;  // share of all source time converted
    std::optional<TFinishRange> range;
  };

  // Runs every task to its end: the samples, and when the last task left.
  std::pair<std::vector<TSample>, double> Run(std::vector<TTask> tasks) const {
    TFinishEstimate estimate(cores);
    std::vector<TSample> samples;
    static const int kIds[16] = {};
    double total = 0;
    for (size_t i = 0; i < tasks.size(); ++i) {
      tasks[i].id = static_cast<int>(i);
      total += tasks[i].length;
    }
    constexpr double kStep = 0.1;
    for (int step = 0;; ++step) {
      const double t = step * kStep;
      auto paused = [t](const TTask& task) {
        return t >= task.paused_from && t < task.paused_until;
      };
      auto left = [this](const TTask& task) { return task.checked < check * task.length; };
      std::erase_if(tasks, [&](const TTask& task) { return !left(task); });
      if (tasks.empty()) return {samples, t};
      if (step % 10 == 0) {
        std::vector<TProgressReport> reports;
        double converted = total;
        for (const TTask& task : tasks) {
          reports.push_back(Report(&kIds[task.id], t, task.converted, task.length - task.converted,
                                   paused(task)));
          converted -= task.length - task.converted;
        }
        estimate.Update(reports, static_cast<int64_t>(t * kSecond));
        samples.push_back({t, converted / total, estimate.Range()});
      }
      const auto running = std::count_if(tasks.begin(), tasks.end(),
                                         [&](const TTask& task) { return !paused(task); });
      const double cores_each = std::min(cap, static_cast<double>(cores) / running);
      for (TTask& task : tasks) {
        if (paused(task)) continue;
        const double work = speed * cores_each * kStep;
        const double converting = std::min(work, task.length - task.converted);
        task.converted += converting;
        task.checked += work - converting;
      }
    }
  }
};

// The share of samples after the first tenth of the work whose range held
// the true remaining time, and the median ratio of their ends.
std::pair<double, double> Judge(const std::vector<TMachine::TSample>& samples, double end) {
  int held = 0;
  std::vector<double> ratios;
  for (const TMachine::TSample& sample : samples) {
    if (sample.done < 0.1) continue;
    if (!sample.range) {
      ADD_FAILURE() << "no range at " << sample.t << " s";
      continue;
    }
    const double truth = end - sample.t;
    const bool holds = sample.range->low_s <= truth && truth <= sample.range->high_s;
    held += holds;
    EXPECT_TRUE(holds) << "at " << sample.t << " s: " << sample.range->low_s << " – "
                       << sample.range->high_s << ", truly " << truth;
    ratios.push_back(sample.range->high_s / sample.range->low_s);
  }
  if (ratios.empty()) return {0, 0};
  std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
  return {static_cast<double>(held) / ratios.size(), ratios[ratios.size() / 2]};
}

TEST(FinishEstimate, UnknownUntilEveryRunningTaskHasRunTwoSecondsAndKnowsItsLength) {
  TFinishEstimate estimate(2);
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
  // A task that stood still for 10 s leaves no honest figure.
  estimate.Update({Report(&kA, 18, 9, 96), Report(&kB, 18, 15, 36)}, 18 * kSecond);
  EXPECT_TRUE(estimate.Range());
  estimate.Update({Report(&kA, 23, 9, 96), Report(&kB, 23, 25, 26)}, 23 * kSecond);
  EXPECT_FALSE(estimate.Range());
}

TEST(FinishEstimate, EqualTasksSideBySideEndTogether) {
  // Eight tasks of 30 s on two cores, each able to use both: the first
  // estimate of the kind took each task's remaining time at its speed with
  // eight sharing, and its low end was above the truth.
  const TMachine machine{.cores = 2, .cap = 2, .speed = 1.5};
  const auto [samples, end] = machine.Run(std::vector<TMachine::TTask>(8, {.length = 30}));
  const auto [held, ratio] = Judge(samples, end);
  EXPECT_EQ(held, 1);
  EXPECT_LE(ratio, 1.6);
}

TEST(FinishEstimate, MixedTasksEndOneByOneAndTheSurvivorsSpeedUp) {
  // 30, 60, 90 and 120 s on two cores; once the short ones end, the others
  // get their cores: up to one core each, or as many as there are. The
  // range spans both (the estimate cannot tell them apart before the last
  // tasks run alone), so it is wider than with equal tasks; the margin for
  // wandering speeds adds little to a range that wide, and the median ratio
  // stays within 1.6.
  const std::vector<TMachine::TTask> mixed{
      {.length = 30}, {.length = 60}, {.length = 90}, {.length = 120}};
  for (const double cap : {1.0, 2.0}) {
    SCOPED_TRACE(cap);
    const TMachine machine{.cores = 2, .cap = cap, .speed = 1.5};
    const auto [samples, end] = machine.Run(mixed);
    const auto [held, ratio] = Judge(samples, end);
    EXPECT_EQ(held, 1);
    EXPECT_LE(ratio, 1.6);
  }
}

TEST(FinishEstimate, PausedTimeIsLeftOutAndAPausedTaskWaitsOutside) {
  // A (100 s) is paused from 10 s to 110 s of the run while B (20 s) ends.
  const TMachine machine{.cores = 2, .cap = 1, .speed = 1};
  const auto [samples, end] =
      machine.Run({{.length = 100, .paused_from = 10, .paused_until = 110}, {.length = 20}});
  for (const TMachine::TSample& sample : samples) {
    SCOPED_TRACE(sample.t);
    if (sample.t > 12 && sample.t < 20) {
      // Only B counts: 20 s at 1 per second, started at 0.
      ASSERT_TRUE(sample.range);
      EXPECT_LE(sample.range->low_s, 20.8 - sample.t);
      EXPECT_GE(sample.range->high_s, 20.8 - sample.t);
    }
    if (sample.t >= 111) {
      // A's speed is known at once and not diluted by the pause (which
      // would make it 10 / 110 of what it is).
      ASSERT_TRUE(sample.range);
      EXPECT_LE(sample.range->low_s, end - sample.t);
      EXPECT_GE(sample.range->high_s, end - sample.t);
      if (end - sample.t > 10) {
        EXPECT_LT(sample.range->high_s, 1.5 * (end - sample.t));
      }
    }
  }
  // A restarted task is measured afresh; a task no longer reported is forgotten.
  TFinishEstimate estimate(2);
  for (int t = 0; t <= 5; ++t) estimate.Update({Report(&kA, t, t, 100 - t)}, t * kSecond);
  ASSERT_TRUE(estimate.Range());
  estimate.Update({Report(&kA, 6, 1, 99, false, 2)}, 6 * kSecond);
  EXPECT_FALSE(estimate.Range());
  estimate.Update({}, 7 * kSecond);
  EXPECT_FALSE(estimate.Range());
}

}  // namespace
}  // namespace veltrano::gui
