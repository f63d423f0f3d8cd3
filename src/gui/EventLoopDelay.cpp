#include "gui/EventLoopDelay.h"

#include <QFile>

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

namespace veltrano::gui {
namespace {

// The nearest-rank quantile `q` of `values` (not empty).
double Quantile(std::vector<double> values, double q) {
  const size_t rank = std::clamp<size_t>(
      static_cast<size_t>(std::ceil(q * static_cast<double>(values.size()))), 1, values.size());
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank - 1),
                   values.end());
  return values[rank - 1];
}

}  // namespace

TEventLoopDelay::TEventLoopDelay(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(kIntervalMs);
  connect(&timer_, &QTimer::timeout, this, &TEventLoopDelay::Fired);
}

void TEventLoopDelay::Start() {
  clock_.start();
  expected_ns_ = static_cast<qint64>(kIntervalMs) * 1'000'000;
  timer_.start();
}

void TEventLoopDelay::Stop() {
  timer_.stop();
}

void TEventLoopDelay::Reset() {
  late_ms_.clear();
}

// Qt's timers fire no earlier than asked; each firing is due one interval
// after the previous one, so what it comes later is the loop's delay.
void TEventLoopDelay::Fired() {
  const qint64 now = clock_.nsecsElapsed();
  late_ms_.push_back(static_cast<double>(std::max<qint64>(0, now - expected_ns_)) / 1e6);
  expected_ns_ = now + static_cast<qint64>(kIntervalMs) * 1'000'000;
}

TDelayFigures TEventLoopDelay::Figures() const {
  TDelayFigures figures;
  figures.samples = late_ms_.size();
  if (late_ms_.empty()) return figures;
  figures.median_ms = Quantile(late_ms_, 0.5);
  figures.p95_ms = Quantile(late_ms_, 0.95);
  figures.max_ms = *std::max_element(late_ms_.begin(), late_ms_.end());
  return figures;
}

std::string TEventLoopDelay::Text(const TDelayFigures& figures) {
  return fmt::format("samples {} median {:.1f} ms p95 {:.1f} ms max {:.1f} ms", figures.samples,
                     figures.median_ms, figures.p95_ms, figures.max_ms);
}

void MeasureEventLoopDelayWhenAsked(QObject& owner) {
  const QString log = qEnvironmentVariable("VELTRANO_EVENT_DELAY_LOG");
  if (log.isEmpty()) return;
  auto* meter = new TEventLoopDelay;
  meter->Start();
  QObject::connect(&owner, &QObject::destroyed, [meter, log] {
    QFile file(log);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
      file.write(TEventLoopDelay::Text(meter->Figures()).c_str());
      file.write("\n");
    }
    delete meter;
  });
}

}  // namespace veltrano::gui
