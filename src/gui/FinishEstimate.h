// How long until every running conversion is done, as a range.
//
// Conversions run side by side and share the machine's cores: while more
// tasks run than there are cores, each gets its part of them; when one ends,
// the others get its part and go faster, up to what one task can use. So the
// estimate plays the rest of the run forward: each task has its remaining
// source time and its speed per core (source seconds converted per second of
// the cores it was given), and in each stretch until the next task ends the
// running tasks share the cores. How much of the cores one task can use is
// not known (its encoder's threads, the parts of a conversion that run on
// one thread): the low end of the range assumes a task uses every core it is
// given, the high end that it never uses more than one. The low end takes a
// task's speed over the last 10 s, the high end the slower of that and its
// speed over the whole run (a machine busy with other work slows down
// again). Reading the finished output back and checking it adds up to a
// few percent of the conversion at the end of each task. Last, the range is
// widened for the speeds' wandering: by a margin either way where the model
// is sure, by less where its own range is already wide (FinishEstimate.cpp).
//
// Speeds count only the time a task ran: a paused task keeps its history,
// gets no cores and is left out while paused. There is no range until every
// running task has run for 2 s since its first report and knows how much it
// still has to convert, nor while one of them has not moved for 10 s.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace veltrano::gui {

// What one running or paused task has told of its run.
struct TProgressReport {
  const void* task = nullptr;  // identifies the task
  int64_t run_start_us = 0;    // the run's start: a new run is measured afresh
  int64_t report_us = 0;       // when the figures were last updated; 0: not yet
  double converted_s = 0;      // source time converted so far
  double remaining_s = -1;     // source time still to convert; negative: unknown
  bool paused = false;
};

// The clock of the reports: wall time in microseconds, as the converters
// stamp their figures.
int64_t ProgressClockUs();

struct TFinishRange {
  double low_s = 0;
  double high_s = 0;
};

class TFinishEstimate {
 public:
  static constexpr int64_t kRecentUs = 10'000'000;
  static constexpr int64_t kFirstSpeedUs = 2'000'000;

  // `cores`: how many tasks the machine runs at full speed side by side
  // (0: the machine's processor count).
  explicit TFinishEstimate(int cores = 0);

  // The reports of every running and paused task at `now_us` (the clock of
  // report_us). A report repeated with the same time adds nothing; tasks
  // missing from `reports` are forgotten.
  void Update(const std::vector<TProgressReport>& reports, int64_t now_us);
  // The range in seconds, or nothing while it is not known.
  std::optional<TFinishRange> Range() const;

 private:
  // How far a task can use the cores it is given: the two ends of the range.
  enum TScaling { kEveryCore, kOneCore, kScalings };
  using TCoreTime = std::array<double, kScalings>;  // core-seconds given
  struct TSample {
    int64_t active_us;  // time the task ran, up to this sample
    TCoreTime given;
    double converted_s;
  };
  struct TTrack {
    int64_t run_start_us = 0;
    std::deque<TSample> samples;
    TCoreTime given{};  // up to the last update
    double remaining_s = -1;
    bool paused = false;
    int64_t paused_since_us = 0;
    int64_t paused_total_us = 0;  // time paused, left out of active_us
  };
  // A task's speeds per core-second: the recent one, and the slower of
  // that and the whole run's.
  struct TSpeeds {
    double recent = 0;
    double slow = 0;
  };
  struct TWork {
    double source_s;  // left to convert
    double speed;     // source seconds per core-second
  };
  static void Observe(TTrack& track, const TProgressReport& report, int64_t now_us);
  static std::optional<TSpeeds> SpeedsOf(const TTrack& track, TScaling scaling);
  // The cores each of `running` tasks gets.
  double CoresPerTask(int running, TScaling scaling) const;
  // Seconds until every task is done.
  double PlayForward(std::vector<TWork> tasks, TScaling scaling) const;

  int cores_;
  int64_t last_update_us_ = 0;
  std::map<const void*, TTrack> tracks_;
};

}  // namespace veltrano::gui
