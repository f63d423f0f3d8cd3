// A task's target: a restart replaces the output the task's own stopped run
// left there, and nothing that appeared under that name from elsewhere.
#include <gtest/gtest.h>

#include <fstream>

#include "TaskFixture.h"
#include "TestHome.h"
#include "support/MediaFixture.h"
#include "support/WorkFiles.h"

namespace veltrano::test {
namespace {

class TaskOutputs : public TaskFixture {
 protected:
  // Waits until the running `task` writes, and stops it.
  void RunAndStop(TAVTask& task, const fs::path& target) {
    ASSERT_TRUE(WaitUntil([&] { return task.Converter().ConvertedDuration() > 0.2; }));
    task.Stop();
    ASSERT_TRUE(WaitForIdle());
    ASSERT_TRUE(fs::exists(target)) << "a stopped run keeps its output under the target name";
  }
};

TEST_F(TaskOutputs, ARestartReplacesOnlyTheTasksOwnEarlierOutput) {
  const fs::path target = folder / "slow.mp4";
  TAVTask& task = Unfiled().NewConversion(SlowSettings(target));
  RunAndStop(task, target);
  // The task's own stopped output is replaced by the restart.
  ASSERT_TRUE(task.Start());
  RunAndStop(task, target);
  EXPECT_TRUE(messages->Errors().empty());

  // A file that took the name meanwhile is not the task's.
  fs::remove(target);
  std::ofstream(target) << "someone else's";
  ASSERT_TRUE(task.Start());
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(ReadWholeFile(target), "someone else's");
  EXPECT_EQ(task.Status(), stError);
  ASSERT_FALSE(messages->Errors().empty());
  EXPECT_EQ(messages->Errors().back(), "目标文件已存在: " + target.string());
  EXPECT_TRUE(WorkFilesOf(target).empty());
}

}  // namespace
}  // namespace veltrano::test
