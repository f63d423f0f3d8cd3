// Process priority levels. The levels that change the nice value run in a
// child process (a death-test style fork), so the test program itself keeps
// its priority.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <thread>

#include "platform/Priority.h"

namespace veltrano {
namespace {

int NiceOfThread(long tid) {
  errno = 0;
  return getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
}

TEST(PriorityTest, LevelsMapToNiceValues) {
  EXPECT_EQ(NiceValueOfPriorityLevel(0), 19);
  EXPECT_EQ(NiceValueOfPriorityLevel(1), 10);
  EXPECT_EQ(NiceValueOfPriorityLevel(2), 0);
  EXPECT_EQ(NiceValueOfPriorityLevel(3), -5);
  EXPECT_EQ(NiceValueOfPriorityLevel(4), -10);
  EXPECT_EQ(NiceValueOfPriorityLevel(5), -15);
  EXPECT_EQ(NiceValueOfPriorityLevel(-1), std::nullopt);
  EXPECT_EQ(NiceValueOfPriorityLevel(6), std::nullopt);
}

TEST(PriorityTest, LevelsOutsideTheTableChangeNothing) {
  const int before = NiceOfThread(syscall(SYS_gettid));
  EXPECT_FALSE(SetProcessPriorityLevel(6));
  EXPECT_FALSE(SetProcessPriorityLevel(-2147483647 - 1));
  EXPECT_EQ(NiceOfThread(syscall(SYS_gettid)), before);
}

// In the child: lower the priority and check that every thread took it,
// including one started before the change.
[[noreturn]] void LowerAndCheck(int level, int expected_nice) {
  std::atomic<long> other_tid{0};
  std::atomic<bool> done{false};
  std::thread other([&] {
    other_tid = syscall(SYS_gettid);
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  });
  while (other_tid == 0) std::this_thread::yield();
  const bool applied = SetProcessPriorityLevel(level);
  const bool ok = applied && NiceOfThread(syscall(SYS_gettid)) == expected_nice &&
                  NiceOfThread(other_tid) == expected_nice;
  done = true;
  other.join();
  std::_Exit(ok ? 0 : 1);
}

TEST(PriorityTest, LoweringReachesEveryThread) {
  if (NiceOfThread(syscall(SYS_gettid)) > 10) GTEST_SKIP() << "already running below level 1";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(LowerAndCheck(1, 10), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(LowerAndCheck(0, 19), ::testing::ExitedWithCode(0), "");
}

TEST(PriorityTest, ARefusedRaiseIsIgnored) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // From nice 19 nobody without the privilege may go back to -15; the call
  // must simply report it and leave the process running.
  EXPECT_EXIT(
      {
        SetProcessPriorityLevel(0);
        const bool raised = SetProcessPriorityLevel(5);
        const int nice = NiceOfThread(syscall(SYS_gettid));
        std::_Exit((raised && nice == -15) || (!raised && nice == 19) ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace veltrano
