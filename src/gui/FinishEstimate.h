// How long until every running conversion is done, as a range.
//
// Conversions run side by side, so all are done when the slowest is: the
// range is the longest remaining time among the running tasks. The low end
// takes each task's current speed (source seconds converted per second, over
// its last two reports), the high end the slowest speed the task has shown
// in the last minute. There is no range until every running task has
// reported its progress twice and knows how much it still has to convert;
// a task that made no progress since its last report leaves it unknown too.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace veltrano::gui {

// What one running task has told of its run.
struct TProgressReport {
  const void* task = nullptr;  // identifies the task
  int64_t run_start_us = 0;    // the run's start: a new run is measured afresh
  int64_t report_us = 0;       // when the figures were last updated; 0: not yet
  double converted_s = 0;      // source time converted so far
  double remaining_s = -1;     // source time still to convert; negative: unknown
};

struct TFinishRange {
  double low_s = 0;
  double high_s = 0;
};

class TFinishEstimate {
 public:
  static constexpr int64_t kWindowUs = 60'000'000;

  // The reports of every running task at one moment. A report repeated with
  // the same time adds nothing; tasks missing from `reports` are forgotten.
  void Update(const std::vector<TProgressReport>& reports);
  // The range in seconds, or nothing while it is not known.
  std::optional<TFinishRange> Range() const;

 private:
  struct TSample {
    int64_t at_us;
    double converted_s;
  };
  struct TTrack {
    int64_t run_start_us = 0;
    std::deque<TSample> samples;
    double remaining_s = -1;
  };
  static std::optional<TFinishRange> RangeOf(const TTrack& track);

  std::map<const void*, TTrack> tracks_;
};

}  // namespace veltrano::gui
