#include "gui/FinishEstimate.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace veltrano::gui {
namespace {

// Reading back and checking an output, as a share of converting it: it may
// take no time worth counting, or a little more than the most measured on
// 720p MPEG-4 outputs.
constexpr double kLowCheckShare = 0.0;
constexpr double kHighCheckShare = 0.06;
// How far the speeds wander on their own, either way, as factors.
constexpr double kLowMargin = 1.14;
constexpr double kHighMargin = 1.11;

// Widens the model's range [low_s, high_s] by the speeds' wandering. The two
// are independent uncertainties, so they add up as the sides of a right
// angle on a log scale, around the model's geometric centre: a range the
// model already leaves wide (how well a task left alone uses the cores)
// grows little, a narrow one by the full margins.
TFinishRange Widened(double low_s, double high_s) {
  if (low_s <= 0) return TFinishRange{0, high_s * kHighMargin};
  const double centre = std::sqrt(low_s * high_s);
  const double half = std::log(high_s / low_s) / 2;
  return TFinishRange{centre / std::exp(std::hypot(half, std::log(kLowMargin))),
                      centre * std::exp(std::hypot(half, std::log(kHighMargin)))};
}

}  // namespace

int64_t ProgressClockUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

TFinishEstimate::TFinishEstimate(int cores)
    : cores_(cores > 0 ? cores
                       : std::max(1, static_cast<int>(std::thread::hardware_concurrency()))) {}

double TFinishEstimate::CoresPerTask(int running, TScaling scaling) const {
  const double share = static_cast<double>(cores_) / std::max(running, 1);
  return scaling == kEveryCore ? share : std::min(1.0, share);
}

void TFinishEstimate::Update(const std::vector<TProgressReport>& reports, int64_t now_us) {
  // The cores of the time since the last update went to the tasks running
  // then, in equal parts.
  const auto running = static_cast<int>(std::count_if(
      tracks_.begin(), tracks_.end(), [](const auto& t) { return !t.second.paused; }));
  if (last_update_us_ > 0 && now_us > last_update_us_) {
    const double seconds = static_cast<double>(now_us - last_update_us_) / 1e6;
    for (auto& [task, track] : tracks_) {
      if (track.paused) continue;
      for (int scaling = 0; scaling < kScalings; ++scaling) {
        track.given[scaling] += CoresPerTask(running, TScaling(scaling)) * seconds;
      }
    }
  }
  last_update_us_ = now_us;

  std::map<const void*, TTrack> kept;
  for (const TProgressReport& report : reports) {
    TTrack track;
    auto known = tracks_.find(report.task);
    if (known != tracks_.end() && known->second.run_start_us == report.run_start_us) {
      track = std::move(known->second);
    }
    track.run_start_us = report.run_start_us;
    Observe(track, report, now_us);
    kept[report.task] = std::move(track);
  }
  tracks_ = std::move(kept);
}

void TFinishEstimate::Observe(TTrack& track, const TProgressReport& report, int64_t now_us) {
  track.remaining_s = report.remaining_s;
  if (report.paused) {
    if (!track.paused) {
      track.paused = true;
      track.paused_since_us = now_us;
    }
    return;
  }
  if (track.paused) {
    track.paused = false;
    track.paused_total_us += std::max<int64_t>(0, now_us - track.paused_since_us);
  }
  if (report.report_us == 0) return;
  auto& samples = track.samples;
  const int64_t active = report.report_us - track.paused_total_us;
  if (!samples.empty() && active <= samples.back().active_us) return;
  samples.push_back({active, track.given, report.converted_s});
  // The first sample stays for the whole run's speed; of the others, those
  // of the recent stretch and the one that opens it.
  while (samples.size() > 3 && samples[2].active_us <= active - kRecentUs) {
    samples.erase(samples.begin() + 1);
  }
}

std::optional<TFinishEstimate::TSpeeds> TFinishEstimate::SpeedsOf(const TTrack& track,
                                                                  TScaling scaling) {
  const auto& samples = track.samples;
  if (samples.size() < 2) return std::nullopt;
  const TSample& last = samples.back();
  if (last.active_us - samples.front().active_us < kFirstSpeedUs) return std::nullopt;
  auto speed = [scaling](const TSample& from, const TSample& to) {
    const double given = to.given[scaling] - from.given[scaling];
    return given > 0 ? (to.converted_s - from.converted_s) / given : 0.0;
  };
  size_t start = samples.size() - 1;
  while (start > 0 && samples[start].active_us > last.active_us - kRecentUs) --start;
  const double recent = speed(samples[start], last);
  const double whole = speed(samples.front(), last);
  // A task that stood still lately leaves no honest figure.
  if (recent <= 0 || whole <= 0) return std::nullopt;
  return TSpeeds{recent, std::min(recent, whole)};
}

double TFinishEstimate::PlayForward(std::vector<TWork> tasks, TScaling scaling) const {
  double elapsed = 0;
  std::erase_if(tasks, [](const TWork& task) { return task.source_s <= 0; });
  while (!tasks.empty()) {
    const double cores = CoresPerTask(static_cast<int>(tasks.size()), scaling);
    // Until the next task ends.
    double next = tasks.front().source_s / (tasks.front().speed * cores);
    for (const TWork& task : tasks) next = std::min(next, task.source_s / (task.speed * cores));
    elapsed += next;
    for (TWork& task : tasks) task.source_s -= task.speed * cores * next;
    std::erase_if(tasks, [](const TWork& task) { return task.source_s <= 1e-9; });
  }
  return elapsed;
}

std::optional<TFinishRange> TFinishEstimate::Range() const {
  std::vector<TWork> low;
  std::vector<TWork> high;
  for (const auto& [task, track] : tracks_) {
    if (track.paused) continue;
    if (track.remaining_s < 0) return std::nullopt;
    const std::optional<TSpeeds> every_core = SpeedsOf(track, kEveryCore);
    const std::optional<TSpeeds> one_core = SpeedsOf(track, kOneCore);
    const bool closing = track.remaining_s == 0;  // converted to its end
    if (!every_core || !one_core) {
      if (closing) continue;  // nothing to measure: it may end any moment
      return std::nullopt;
    }
    const double length = track.remaining_s + track.samples.back().converted_s;
    // How far a closing task's check has come is not known: it may end any
    // moment, or need all of it.
    if (!closing) low.push_back({track.remaining_s + kLowCheckShare * length, every_core->recent});
    high.push_back({track.remaining_s + kHighCheckShare * length, one_core->slow});
  }
  if (high.empty()) return std::nullopt;
  return Widened(PlayForward(std::move(low), kEveryCore), PlayForward(std::move(high), kOneCore));
}

}  // namespace veltrano::gui
