// How long until every running conversion is done, as a range.
//
// Conversions run side by side and share the machine: when one ends, the
// others get its share and go faster. So the time until all are done is the
// work all of them still have over the machine's whole throughput, not the
// longest of their remaining times at today's speeds. A task's remaining work
// is the time it needs at its current speed (source seconds still to convert
// over source seconds converted per second) times its share of the machine
// (one of the n running tasks); summed over the tasks this is the mean of
// their remaining times. The range takes each task's fastest and slowest
// speed of the last minute (measured over 5 s stretches) for its ends, and
// is never narrower than the middle figure divided and multiplied by 1.2:
// speeds wander, and the end of a run (closing and checking the output)
// takes a moment of its own.
//
// Speeds count only the time a task ran: a paused task keeps its history,
// and the time it stood still is left out when it runs again; while paused
// it is not part of the estimate. There is no range until every running task
// has run for 2 s since its first report and knows how much it still has to
// convert, nor while one of them has not moved for those 2 s.
#pragma once

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

struct TFinishRange {
  double low_s = 0;
  double high_s = 0;
};

class TFinishEstimate {
 public:
  static constexpr int64_t kHistoryUs = 60'000'000;  // speeds of the last minute
  static constexpr int64_t kStretchUs = 5'000'000;   // each measured over 5 s
  static constexpr int64_t kFirstSpeedUs = 2'000'000;
  static constexpr double kMargin = 1.2;

  // The reports of every running and paused task at `now_us` (the clock of
  // report_us). A report repeated with the same time adds nothing; tasks
  // missing from `reports` are forgotten.
  void Update(const std::vector<TProgressReport>& reports, int64_t now_us);
  // The range in seconds, or nothing while it is not known.
  std::optional<TFinishRange> Range() const;

 private:
  struct TSample {
    int64_t active_us;  // time the task ran, up to this sample
    double converted_s;
  };
  struct TSpeeds {
    double current = 0;  // over the last stretch
    double fastest = 0;
    double slowest = 0;
  };
  struct TTrack {
    int64_t run_start_us = 0;
    std::deque<TSample> samples;
    double remaining_s = -1;
    bool paused = false;
    int64_t paused_since_us = 0;
    int64_t paused_total_us = 0;  // time paused, left out of active_us
  };
  static void Observe(TTrack& track, const TProgressReport& report, int64_t now_us);
  static std::optional<TSpeeds> SpeedsOf(const TTrack& track);

  std::map<const void*, TTrack> tracks_;
};

}  // namespace veltrano::gui
