#include "gui/QtDispatcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <thread>

namespace veltrano::gui {
namespace {

// Runs the Qt event loop until `done` or two seconds have passed.
bool SpinUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

TEST(QtDispatcher, RunsWorkerCallsOnTheUiThreadInOrder) {
  TQtDispatcher dispatcher;
  const auto ui = std::this_thread::get_id();
  std::vector<int> seen;
  std::atomic<bool> blocking_returned{false};
  std::thread worker([&] {
    dispatcher.Post([&] { EXPECT_EQ(std::this_thread::get_id(), ui); seen.push_back(1); });
    dispatcher.RunBlocking([&] { EXPECT_TRUE(dispatcher.IsUiThread()); seen.push_back(2); });
    blocking_returned = true;
  });
  EXPECT_TRUE(SpinUntil([&] { return blocking_returned.load(); }));
  worker.join();
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));
}

TEST(QtDispatcher, ProcessPendingLetsABlockedWorkerGoOnWithoutTheEventLoop) {
  TQtDispatcher dispatcher;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    dispatcher.RunBlocking([] {});
    finished = true;
  });
  for (int i = 0; i < 100 && !finished; ++i) dispatcher.ProcessPending(std::chrono::milliseconds(20));
  EXPECT_TRUE(finished);
  worker.join();
}

TEST(QtDispatcher, RunBlockingOnTheUiThreadRunsAtOnceAndPassesExceptionsBack) {
  TQtDispatcher dispatcher;
  bool ran = false;
  dispatcher.RunBlocking([&] { ran = true; });
  EXPECT_TRUE(ran);
  std::exception_ptr error;
  std::thread worker([&] {
    try {
      dispatcher.RunBlocking([] { throw std::runtime_error("boom"); });
    } catch (...) {
      error = std::current_exception();
    }
  });
  EXPECT_TRUE(SpinUntil([&] { return error != nullptr; }));
  worker.join();
  EXPECT_THROW(std::rethrow_exception(error), std::runtime_error);
}

}  // namespace
}  // namespace veltrano::gui
