// Ends the program cleanly on SIGTERM and SIGINT: the signal is turned into
// a call on the user-interface thread (the main window closes, which runs
// the exit sequence), instead of killing conversions mid-write.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace veltrano::gui {

class TQuitSignals final : public QObject {
  Q_OBJECT

 public:
  // `on_signal` runs on this thread once per signal received.
  explicit TQuitSignals(std::function<void()> on_signal, QObject* parent = nullptr);
  ~TQuitSignals() override;

 private:
  std::function<void()> on_signal_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace veltrano::gui
