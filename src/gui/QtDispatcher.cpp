#include "gui/QtDispatcher.h"

#include <exception>

namespace veltrano::gui {

TQtDispatcher::TQtDispatcher(QObject* parent)
    : QObject(parent), ui_thread_(std::this_thread::get_id()) {}

bool TQtDispatcher::IsUiThread() const { return std::this_thread::get_id() == ui_thread_; }

void TQtDispatcher::RunBlocking(const std::function<void()>& fn) {
  if (IsUiThread()) {
    fn();
    return;
  }
  std::mutex done_mutex;
  std::condition_variable done_cv;
  bool done = false;
  std::exception_ptr error;
  Post([&] {
    try {
      fn();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard lock(done_mutex);
    done = true;
    done_cv.notify_one();
  });
  std::unique_lock lock(done_mutex);
  done_cv.wait(lock, [&] { return done; });
  if (error) std::rethrow_exception(error);
}

void TQtDispatcher::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
  }
  cv_.notify_all();
  QMetaObject::invokeMethod(this, &TQtDispatcher::Drain, Qt::QueuedConnection);
}

bool TQtDispatcher::RunOne(std::unique_lock<std::mutex>& lock) {
  if (queue_.empty()) return false;
  auto fn = std::move(queue_.front());
  queue_.pop_front();
  lock.unlock();
  fn();
  lock.lock();
  return true;
}

void TQtDispatcher::Drain() {
  std::unique_lock lock(mutex_);
  while (RunOne(lock)) {
  }
}

void TQtDispatcher::ProcessPending(std::chrono::milliseconds budget) {
  const auto deadline = std::chrono::steady_clock::now() + budget;
  std::unique_lock lock(mutex_);
  if (queue_.empty()) cv_.wait_until(lock, deadline, [&] { return !queue_.empty(); });
  while (RunOne(lock) && std::chrono::steady_clock::now() < deadline) {
  }
}

}  // namespace veltrano::gui
