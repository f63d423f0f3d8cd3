#include "gui/FinishEstimate.h"

#include <algorithm>

namespace veltrano::gui {

void TFinishEstimate::Update(const std::vector<TProgressReport>& reports) {
  std::map<const void*, TTrack> kept;
  for (const TProgressReport& report : reports) {
    TTrack track;
    auto known = tracks_.find(report.task);
    if (known != tracks_.end() && known->second.run_start_us == report.run_start_us) {
      track = std::move(known->second);
    }
    track.run_start_us = report.run_start_us;
    track.remaining_s = report.remaining_s;
    auto& samples = track.samples;
    if (report.report_us != 0 && (samples.empty() || samples.back().at_us < report.report_us)) {
      samples.push_back({report.report_us, report.converted_s});
    }
    // The last minute of pairs: the sample that opens the oldest pair stays.
    while (samples.size() > 2 && samples[1].at_us < samples.back().at_us - kWindowUs) {
      samples.pop_front();
    }
    kept[report.task] = std::move(track);
  }
  tracks_ = std::move(kept);
}

std::optional<TFinishRange> TFinishEstimate::RangeOf(const TTrack& track) {
  const auto& samples = track.samples;
  if (samples.size() < 2 || track.remaining_s < 0) return std::nullopt;
  auto speed = [&samples](size_t end) {
    const TSample& from = samples[end - 1];
    const TSample& to = samples[end];
    return (to.converted_s - from.converted_s) * 1e6 / static_cast<double>(to.at_us - from.at_us);
  };
  const double current = speed(samples.size() - 1);
  if (current <= 0) return std::nullopt;
  double slowest = current;
  for (size_t end = 1; end < samples.size(); ++end) {
    const double shown = speed(end);
    if (shown > 0) slowest = std::min(slowest, shown);
  }
  return TFinishRange{track.remaining_s / current, track.remaining_s / slowest};
}

std::optional<TFinishRange> TFinishEstimate::Range() const {
  if (tracks_.empty()) return std::nullopt;
  TFinishRange range;
  for (const auto& [task, track] : tracks_) {
    const std::optional<TFinishRange> own = RangeOf(track);
    if (!own) return std::nullopt;
    range.low_s = std::max(range.low_s, own->low_s);
    range.high_s = std::max(range.high_s, own->high_s);
  }
  return range;
}

}  // namespace veltrano::gui
