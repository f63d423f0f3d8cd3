// How late the window's event loop answers: a timer that should fire every
// 20 ms records by how much each of its firings came late. A window whose
// thread is busy (painting, or waiting for something) answers late; the
// figures say how responsive it stayed. Off unless asked for: the program
// measures when VELTRANO_EVENT_DELAY_LOG names a file, and writes the
// figures there when it ends; the window benchmark uses the meter directly.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <string>
#include <vector>

namespace veltrano::gui {

struct TDelayFigures {
  size_t samples = 0;
  double median_ms = 0;
  double p95_ms = 0;
  double max_ms = 0;
};

class TEventLoopDelay final : public QObject {
  Q_OBJECT

 public:
  static constexpr int kIntervalMs = 20;

  explicit TEventLoopDelay(QObject* parent = nullptr);
  void Start();
  void Stop();
  // Forgets what was measured so far.
  void Reset();
  TDelayFigures Figures() const;
  // "samples N median X ms p95 Y ms max Z ms".
  static std::string Text(const TDelayFigures& figures);

 private:
  void Fired();

  QTimer timer_;
  QElapsedTimer clock_;
  qint64 expected_ns_ = 0;
  std::vector<double> late_ms_;
};

// Starts the meter of the program when VELTRANO_EVENT_DELAY_LOG is set; its
// figures are written to that file when `owner` is destroyed.
void MeasureEventLoopDelayWhenAsked(QObject& owner);

}  // namespace veltrano::gui
