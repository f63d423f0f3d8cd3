#include "converter/Dispatcher.h"

#include <atomic>
#include <exception>

namespace veltrano {
namespace {

std::atomic<IDispatcher*> installed_dispatcher{nullptr};

}  // namespace

IDispatcher& DefaultDispatcher() {
  if (IDispatcher* d = installed_dispatcher.load()) return *d;
  static TEventLoopDispatcher built_in;
  return built_in;
}

void SetDefaultDispatcher(IDispatcher* dispatcher) { installed_dispatcher = dispatcher; }

TEventLoopDispatcher::TEventLoopDispatcher() : ui_thread_(std::this_thread::get_id()) {}

bool TEventLoopDispatcher::IsUiThread() const {
  return std::this_thread::get_id() == ui_thread_;
}

void TEventLoopDispatcher::RunBlocking(const std::function<void()>& fn) {
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

void TEventLoopDispatcher::Post(std::function<void()> fn) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
  }
  cv_.notify_all();
}

void TEventLoopDispatcher::Wake() { cv_.notify_all(); }

bool TEventLoopDispatcher::RunOne(std::unique_lock<std::mutex>& lock) {
  if (queue_.empty()) return false;
  auto fn = std::move(queue_.front());
  queue_.pop_front();
  lock.unlock();
  fn();
  lock.lock();
  return true;
}

void TEventLoopDispatcher::RunQueued() {
  std::unique_lock lock(mutex_);
  while (RunOne(lock)) {
  }
}

void TEventLoopDispatcher::ProcessPending(std::chrono::milliseconds budget) {
  const auto deadline = std::chrono::steady_clock::now() + budget;
  std::unique_lock lock(mutex_);
  if (queue_.empty()) cv_.wait_until(lock, deadline, [&] { return !queue_.empty(); });
  while (RunOne(lock) && std::chrono::steady_clock::now() < deadline) {
  }
}

bool TEventLoopDispatcher::RunUntil(const std::function<bool()>& done,
                                    std::chrono::milliseconds timeout,
                                    std::chrono::milliseconds poll) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock lock(mutex_);
  while (true) {
    while (RunOne(lock)) {
    }
    lock.unlock();
    const bool finished = done();
    lock.lock();
    if (finished) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    cv_.wait_until(lock, std::min(deadline, now + poll), [&] { return !queue_.empty(); });
  }
}

}  // namespace veltrano
