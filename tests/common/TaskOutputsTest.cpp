// A task's files: a restart replaces the output the task's own run left
// there, and nothing that appeared under that name from elsewhere; deleting
// a task removes what it wrote and nothing else; a run that was refused
// owns nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "TaskFixture.h"
#include "TestHome.h"
#include "common/PersistentManager.h"
#include "converter/MessageBoxes.h"
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

// A copy of the task clip that a test may delete.
fs::path OwnCopy(const fs::path& folder, const std::string& name) {
  fs::copy_file(TaskClip(), folder / name);
  return folder / name;
}

TAVTask* FindTask(const TNodeObject& node, int32_t id) {
  for (const auto& task : node.Tasks()) {
    if (task->ID() == id) return task.get();
  }
  return nullptr;
}

bool HasKept(const std::vector<TKeptFile>& kept, const fs::path& path, TKeptFile::TReason reason,
             int32_t task) {
  return std::any_of(kept.begin(), kept.end(), [&](const TKeptFile& file) {
    return file.path == path.string() && file.reason == reason && file.task == task;
  });
}

TEST_F(TaskOutputs, DeletingATaskRemovesOnlyTheFilesItWrote) {
  const fs::path source = OwnCopy(folder, "source.mp4");
  const fs::path refused_source = OwnCopy(folder, "refused-source.mp4");
  const fs::path own = folder / "own.mp4";
  const fs::path edited = folder / "edited.mp4";
  const fs::path late = folder / "late.mp4";
  const fs::path chained = folder / "chained.mp4";
  const int32_t own_id = Unfiled().NewConversion(Settings(source, own)).ID();
  const int32_t edited_id = Unfiled().NewConversion(Settings(source, edited)).ID();
  // Somebody's file takes the third target before that task runs.
  std::ofstream(late) << "somebody's file";
  TAVTask& refused = Unfiled().NewConversion(Settings(refused_source, late));
  ASSERT_TRUE(WaitForIdle());
  ASSERT_EQ(Unfiled().Tasks().size(), 1u) << "the refused task stays unfiled";
  // A task that converts the first task's output.
  const int32_t chained_id = Unfiled().NewConversion(Settings(own, chained)).ID();
  ASSERT_TRUE(WaitForIdle());
  std::ofstream(edited, std::ios::app) << "the user's addition";
  const std::string edited_bytes = ReadWholeFile(edited);

  // The refused run wrote nothing: the file under its target is kept; its
  // source goes, as asked.
  const int32_t refused_id = refused.ID();
  EXPECT_EQ(refused.TargetOwnership(), TTargetOwnership::Foreign);
  std::vector<TKeptFile> kept = refused.Delete(true, true);
  EXPECT_EQ(ReadWholeFile(late), "somebody's file");
  EXPECT_FALSE(fs::exists(refused_source));
  EXPECT_EQ(kept.size(), 1u);
  EXPECT_TRUE(HasKept(kept, late, TKeptFile::NotWritten, refused_id));

  model->Select(Root());
  TAVTask* converted = FindTask(Root(), own_id);
  TAVTask* changed = FindTask(Root(), edited_id);
  TAVTask* second = FindTask(Root(), chained_id);
  ASSERT_TRUE(converted != nullptr && changed != nullptr && second != nullptr);
  // The source of the chained task is the first task's output: it stays.
  kept = second->Delete(true, true);
  EXPECT_EQ(kept.size(), 1u);
  EXPECT_TRUE(HasKept(kept, own, TKeptFile::TargetOfTask, own_id));
  EXPECT_FALSE(fs::exists(chained));

  EXPECT_EQ(changed->TargetOwnership(), TTargetOwnership::Changed);
  kept = changed->Delete(false, true);
  EXPECT_TRUE(HasKept(kept, edited, TKeptFile::ChangedSince, edited_id));
  EXPECT_EQ(ReadWholeFile(edited), edited_bytes);

  EXPECT_EQ(converted->TargetOwnership(), TTargetOwnership::Own);
  EXPECT_TRUE(converted->Delete(false, true).empty());
  EXPECT_FALSE(fs::exists(own));
  EXPECT_TRUE(fs::exists(source)) << "a source stays unless asked";
  EXPECT_EQ(Sql("select count(*) from conversions; select count(*) from task_outputs;"), "0\n0\n");
}

// A run refused for an existing target and stopped while its error is shown
// (as when the program ends with the box open) is a refused run: it owns
// nothing, and a later start replaces nothing.
TEST_F(TaskOutputs, ARefusedRunStoppedWhileItsErrorIsShownOwnsNothing) {
  const fs::path target = folder / "taken.mp4";
  std::ofstream(target) << "another task's output";
  TAVTask* task = nullptr;
  const TErrorBoxHandler previous = SetErrorBoxHandler([&](const std::string&) {
    if (task != nullptr) task->Stop();
  });
  task = &Unfiled().NewConversion(Settings(TaskClip(), target));
  ASSERT_TRUE(WaitForIdle());
  SetErrorBoxHandler(previous);
  EXPECT_EQ(task->Status(), stError);
  EXPECT_EQ(task->TargetOwnership(), TTargetOwnership::Foreign);
  EXPECT_EQ(Sql("select count(*) from task_outputs; select count(*) from task_work_files;"),
            "0\n0\n");
  ASSERT_TRUE(task->Start());
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(ReadWholeFile(target), "another task's output");
  EXPECT_TRUE(WorkFilesOf(target).empty());
}

// The previous program's file: task_outputs without the column Published.
// It opens with its rows, and gets the new column and table.
TEST(TaskFilesStore, AnOlderFileKeepsItsRecordsAndGetsTheNewColumns) {
  UseFreshConfigHome("outputs-old");
  const std::string file = CreateOlderStore(
      "create table task_outputs (TaskId integer primary key, Device integer, Inode integer, "
      "Size integer, ModifiedNs integer);"
      "insert into task_outputs values(1, 7, 8, 9, 10);");
  auto sql = [&file](const std::string& statement) {
    return RunCommand("sqlite3 " + ShellQuote(file) + " " + ShellQuote(statement)).output;
  };
  TPersistentManager::Connect();
  EXPECT_EQ(TPersistentManager::OwnOutput(1), (TFileIdentity{7, 8, 9, 10}));
  TPersistentManager::Disconnect();
  EXPECT_EQ(sql("select name from pragma_table_info('task_outputs')"),
            "TaskId\nDevice\nInode\nSize\nModifiedNs\nPublished\n");
  EXPECT_EQ(sql("select name from pragma_table_info('task_work_files')"),
            "TaskId\nPath\nDevice\nInode\n");
  // The previous program's statements still work on it.
  EXPECT_EQ(sql("insert or replace into task_outputs(TaskId, Device, Inode, Size, ModifiedNs) "
                "values(1, 1, 2, 3, 4); select Device, Inode, Size, ModifiedNs from task_outputs;"),
            "1|2|3|4\n");
}

}  // namespace
}  // namespace veltrano::test
