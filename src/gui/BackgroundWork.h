// Work that would keep the window from answering (probing files, scanning a
// DVD) runs on a thread of its own, one piece after the other, and its
// result comes back to the user-interface thread.
#pragma once

#include <QObject>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace veltrano::gui {

class TBackgroundWork final : public QObject {
  Q_OBJECT

 public:
  // What runs on the user-interface thread once the work is done.
  using TFinish = std::function<void()>;
  // The work: runs on the background thread and returns its finish. It
  // must not touch widgets; an exception it raises is dropped (the work
  // reports its failures through its finish).
  using TWork = std::function<TFinish()>;

  explicit TBackgroundWork(QObject* parent = nullptr);
  // Waits for the work in hand; the finishes of work done meanwhile are
  // dropped with this object.
  ~TBackgroundWork() override;

  // Queues `work` behind the work queued before.
  void Run(TWork work);
  // True from Run until the finish of the last queued work has run.
  bool Busy() const { return pending_ > 0; }

 signals:
  void BusyChanged(bool busy);

 private:
  void Loop();
  void Finished(const TFinish& finish);

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<TWork> queue_;
  bool stop_ = false;
  std::thread thread_;
  int pending_ = 0;  // user-interface thread only
};

}  // namespace veltrano::gui
