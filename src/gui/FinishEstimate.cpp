#include "gui/FinishEstimate.h"

#include <algorithm>

namespace veltrano::gui {

void TFinishEstimate::Update(const std::vector<TProgressReport>& reports, int64_t now_us) {
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
  samples.push_back({active, report.converted_s});
  // The last minute of stretches: the sample that opens the oldest stays.
  while (samples.size() > 2 && samples[1].active_us < active - kHistoryUs - kStretchUs) {
    samples.pop_front();
  }
}

std::optional<TFinishEstimate::TSpeeds> TFinishEstimate::SpeedsOf(const TTrack& track) {
  const auto& samples = track.samples;
  if (samples.size() < 2) return std::nullopt;
  const TSample& last = samples.back();
  if (last.active_us - samples.front().active_us < kFirstSpeedUs) return std::nullopt;
  auto speed = [](const TSample& from, const TSample& to) {
    return (to.converted_s - from.converted_s) * 1e6 /
           static_cast<double>(to.active_us - from.active_us);
  };
  // Stretches of at least 5 s, from the newest back over the last minute;
  // the oldest may be shorter.
  TSpeeds speeds;
  bool first = true;
  size_t end = samples.size() - 1;
  while (end > 0 && samples[end].active_us > last.active_us - kHistoryUs) {
    size_t start = end;
    while (start > 0 && samples[end].active_us - samples[start].active_us < kStretchUs) --start;
    const double stretch = speed(samples[start], samples[end]);
    if (first) {
      speeds.current = speeds.fastest = speeds.slowest = stretch;
      first = false;
    } else if (stretch > 0) {
      // A stretch without progress (a stall of the disk, say) says nothing
      // of the speed to come; it is left out of the ends.
      speeds.fastest = std::max(speeds.fastest, stretch);
      speeds.slowest = std::min(speeds.slowest, stretch);
    }
    end = start;
  }
  if (speeds.current <= 0) return std::nullopt;
  return speeds;
}

std::optional<TFinishRange> TFinishEstimate::Range() const {
  double center = 0;
  double low = 0;
  double high = 0;
  int running = 0;
  for (const auto& [task, track] : tracks_) {
    if (track.paused) continue;
    const std::optional<TSpeeds> speeds = SpeedsOf(track);
    if (!speeds || track.remaining_s < 0) return std::nullopt;
    ++running;
    center += track.remaining_s / speeds->current;
    low += track.remaining_s / speeds->fastest;
    high += track.remaining_s / speeds->slowest;
  }
  if (running == 0) return std::nullopt;
  center /= running;
  low /= running;
  high /= running;
  return TFinishRange{std::min(low, center / kMargin), std::max(high, center * kMargin)};
}

}  // namespace veltrano::gui
