// The window program's hand-over from worker threads to the Qt event loop.
//
// Calls are kept in a queue of our own and drained by a queued call on the
// dispatcher's thread, so that ProcessPending (a UI thread waiting for a
// worker) runs exactly the handed-over calls and no user input.
#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "converter/Dispatcher.h"

namespace veltrano::gui {

class TQtDispatcher final : public QObject, public IDispatcher {
  Q_OBJECT

 public:
  // The thread that creates the dispatcher is its UI thread.
  explicit TQtDispatcher(QObject* parent = nullptr);

  void RunBlocking(const std::function<void()>& fn) override;
  void Post(std::function<void()> fn) override;
  void ProcessPending(std::chrono::milliseconds budget) override;
  bool IsUiThread() const override;

 private:
  // Runs queued calls one at a time until the queue is empty.
  void Drain();
  bool RunOne(std::unique_lock<std::mutex>& lock);

  std::thread::id ui_thread_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace veltrano::gui
