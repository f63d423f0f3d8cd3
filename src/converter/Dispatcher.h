// Hand-over from worker threads to the user-interface thread.
//
// The engine never touches the user interface from a worker: progress,
// the stop notice, the error box and completion run on the UI thread through
// this interface. The GUI implements it with Qt's queued calls; the command
// line and the tests use TEventLoopDispatcher.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace veltrano {

class IDispatcher {
 public:
  virtual ~IDispatcher() = default;
  // Runs `fn` on the UI thread and returns after it has run. Called on the UI
  // thread itself, it runs `fn` at once.
  virtual void RunBlocking(const std::function<void()>& fn) = 0;
  // Queues `fn` for the UI thread and returns at once.
  virtual void Post(std::function<void()> fn) = 0;
  // Called on the UI thread while it waits for a worker: runs what is queued
  // (at most for `budget`), so that a worker blocked in RunBlocking can go on.
  virtual void ProcessPending(std::chrono::milliseconds budget) = 0;
  // True on the thread that runs the queued calls.
  virtual bool IsUiThread() const = 0;
};

// The dispatcher that converters use unless one is given to them.
IDispatcher& DefaultDispatcher();
// Installs the process's dispatcher (the GUI does at start); nullptr restores
// the built-in event loop owned by the thread that first used it.
void SetDefaultDispatcher(IDispatcher* dispatcher);

// A small event loop for programs without a toolkit: the thread that creates
// it is the UI thread; it runs the queued calls in ProcessPending or RunUntil.
class TEventLoopDispatcher : public IDispatcher {
 public:
  TEventLoopDispatcher();

  void RunBlocking(const std::function<void()>& fn) override;
  void Post(std::function<void()> fn) override;
  void ProcessPending(std::chrono::milliseconds budget) override;
  bool IsUiThread() const override;

  // Runs queued calls until `done()` is true (checked after every call and
  // at least every `poll`). Returns false when `timeout` passed first.
  bool RunUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::hours(24),
                std::chrono::milliseconds poll = std::chrono::milliseconds(20));

  // Wakes a thread that waits in RunUntil or ProcessPending.
  void Wake();

 protected:
  // Runs the queued calls until none is left, without waiting.
  void RunQueued();

 private:
  bool RunOne(std::unique_lock<std::mutex>& lock);

  std::thread::id ui_thread_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace veltrano
