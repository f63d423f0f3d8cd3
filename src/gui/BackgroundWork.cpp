#include "gui/BackgroundWork.h"

#include <QMetaObject>
#include <QPointer>

namespace veltrano::gui {

TBackgroundWork::TBackgroundWork(QObject* parent) : QObject(parent) {}

TBackgroundWork::~TBackgroundWork() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    queue_.clear();
  }
  cv_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TBackgroundWork::Run(TWork work) {
  if (++pending_ == 1) emit BusyChanged(true);
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(work));
  }
  cv_.notify_all();
  if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
}

void TBackgroundWork::Loop() {
  while (true) {
    TWork work;
    {
      std::unique_lock lock(mutex_);
      cv_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      if (stop_) return;
      work = std::move(queue_.front());
      queue_.pop_front();
    }
    TFinish finish;
    try {
      finish = work();
    } catch (...) {
      // The work's own finish reports its failures; nothing to hand back.
    }
    // Dropped by Qt when this object is gone by then.
    QMetaObject::invokeMethod(
        this, [this, finish] { Finished(finish); }, Qt::QueuedConnection);
  }
}

void TBackgroundWork::Finished(const TFinish& finish) {
  --pending_;
  const QPointer<TBackgroundWork> alive(this);
  if (finish) finish();  // may show a box, during which anything can happen
  if (alive && pending_ == 0) emit BusyChanged(false);
}

}  // namespace veltrano::gui
