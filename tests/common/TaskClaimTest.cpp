// One owner per task: claims in the store against other processes (real
// child processes), older av.cfg files, and the claim's life with the task.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "TaskFixture.h"
#include "TestHome.h"
#include "common/PersistentManager.h"
#include "platform/AppFolders.h"
#include "platform/ProcessIdentity.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

using TaskClaims = TaskFixture;

// A process that lives until it is ended.
class TOtherProgram {
 public:
  TOtherProgram() : pid_(fork()) {
    if (pid_ == 0) {
      pause();
      _exit(0);
    }
  }
  ~TOtherProgram() { End(); }
  TOtherProgram(const TOtherProgram&) = delete;
  TOtherProgram& operator=(const TOtherProgram&) = delete;

  pid_t Pid() const { return pid_; }
  void End() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

 private:
  pid_t pid_;
};

// The claim row that process `identity` would write for task `id`.
std::string ClaimRow(int id, const TProcessIdentity& identity) {
  return "insert or replace into task_claims(TaskId, Pid, ProcessStart, Boot, Host) values(" +
         std::to_string(id) + ", " + std::to_string(identity.pid) + ", '" + identity.start +
         "', '" + identity.boot + "', '" + identity.host + "')";
}

TEST(ProcessIdentity, TellsLiveProcessesFromEndedAndReusedOnes) {
  EXPECT_TRUE(ProcessIsAlive(CurrentProcessIdentity()));
  EXPECT_EQ(CurrentProcessIdentity().pid, getpid());
  TOtherProgram other;
  const TProcessIdentity identity = ProcessIdentityOf(other.Pid());
  ASSERT_EQ(identity.pid, other.Pid());
  EXPECT_TRUE(ProcessIsAlive(identity));
  TProcessIdentity reused = identity;
  reused.start += "0";  // the same id, started at another time
  EXPECT_FALSE(ProcessIsAlive(reused));
  TProcessIdentity older_boot = identity;
  older_boot.boot = "another boot";
  EXPECT_FALSE(ProcessIsAlive(older_boot));
  older_boot.host = "another host";  // cannot be checked from here
  EXPECT_TRUE(ProcessIsAlive(older_boot));
  other.End();
  EXPECT_FALSE(ProcessIsAlive(identity));
  EXPECT_EQ(ProcessIdentityOf(other.Pid()).pid, 0);
}

TEST_F(TaskClaims, ATaskHoldsItsClaimWhileItRunsAndReleasesItWhenItEnds) {
  TAVTask& done = Unfiled().NewConversion(Settings(TaskClip(), folder / "done.mp4"));
  const int done_id = done.ID();
  EXPECT_EQ(TPersistentManager::ClaimState(done_id), TTaskClaimState::Ours);
  EXPECT_FALSE(done.ClaimedElsewhere());
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(TPersistentManager::ClaimState(done_id), TTaskClaimState::Released);
  EXPECT_EQ(Sql("select Converting, Pid is null from conversions join task_claims on "
                "ID=TaskId"),
            "0|1\n");

  // Stopped: released once the run has closed its output.
  TAVTask& stopped = Unfiled().NewConversion(SlowSettings(folder / "stopped.mp4"));
  ASSERT_TRUE(WaitUntil([&] { return stopped.Converter().State() == csRunning; }));
  stopped.Stop();
  ASSERT_TRUE(WaitUntil(
      [&] { return TPersistentManager::ClaimState(stopped.ID()) == TTaskClaimState::Released; }));
  EXPECT_FALSE(stopped.Converter().IsRunning());

  // Failed: released as well; a task destroyed with the explorer too.
  std::ofstream(folder / "blocker") << "a file where a folder should be";
  TAVTask& failed = Unfiled().NewConversion(Settings(TaskClip(), folder / "blocker" / "x.mp4"));
  const int failed_id = failed.ID();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(failed.Status(), stError);
  EXPECT_EQ(TPersistentManager::ClaimState(failed_id), TTaskClaimState::Released);
  ASSERT_TRUE(failed.Start());
  EXPECT_EQ(TPersistentManager::ClaimState(failed_id), TTaskClaimState::Ours);
  model.reset();
  EXPECT_EQ(Sql("select count(*) from task_claims where Pid is not null"), "0\n");
}

TEST_F(TaskClaims, ATaskThatAnotherProgramConvertsIsLeftUntilThatProgramEnds) {
  TAVTask& stored = Unfiled().NewConversion(Settings(TaskClip(), folder / "shared.mp4"));
  stored.Stop();
  ASSERT_TRUE(WaitForIdle());
  Reopen();
  ASSERT_EQ(Unfiled().Tasks().size(), 1u);
  TAVTask& task = *Unfiled().Tasks()[0];

  TOtherProgram other;
  Sql(ClaimRow(task.ID(), ProcessIdentityOf(other.Pid())));
  EXPECT_TRUE(task.ClaimedElsewhere());
  EXPECT_EQ(TPersistentManager::ClaimState(task.ID()), TTaskClaimState::Elsewhere);
  EXPECT_FALSE(task.Start());
  EXPECT_TRUE(task.StartRefused());
  EXPECT_EQ(task.Status(), stError);
  EXPECT_FALSE(task.Converter().IsRunning());
  EXPECT_EQ(task.Log().back(), "此任务正由另一个程序转换");

  // A claim of a program that has ended is taken over.
  other.End();
  EXPECT_FALSE(task.ClaimedElsewhere());
  ASSERT_TRUE(task.Start());
  EXPECT_FALSE(task.StartRefused());
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Sql("select Converting from conversions"), "0\n");
  EXPECT_GT(ProbeMedia(folder / "shared.mp4").Stream("video").packets, 20);
}

TEST_F(TaskClaims, ATaskConvertedMeanwhileByAnotherProgramIsNotConvertedAgain) {
  TAVTask& stored = Unfiled().NewConversion(Settings(TaskClip(), folder / "twice.mp4"));
  stored.Stop();
  ASSERT_TRUE(WaitForIdle());
  Reopen();
  TAVTask& task = *Unfiled().Tasks()[0];
  // The other program filed it after this one had read the list.
  Sql("update conversions set Converting=0, CategoryId=1 where ID=" + std::to_string(task.ID()));
  EXPECT_FALSE(task.Start());
  EXPECT_TRUE(task.StartRefused());
  EXPECT_EQ(task.Log().back(), "此任务已由另一个程序转换");
  EXPECT_EQ(Sql("select count(*) from task_claims where Pid is not null"), "0\n");
}

// A stopped run leaves its output under the target name. After the program
// has started anew, restarting the task replaces that output, but never a
// file that somebody else put under a task's target meanwhile.
TEST_F(TaskClaims, ARestoredTaskReplacesItsOwnStoppedOutputAndNoOtherFile) {
  TClip long_clip = AvClipSpec("mpeg4", "aac");
  long_clip.seconds = 60;
  const fs::path source = SharedClip("claims-long.mp4", long_clip);
  for (const char* name : {"mine.mp4", "theirs.mp4"}) {
    TAVTask& task = Unfiled().NewConversion(Settings(source, folder / name));
    // Stopped once it has written its header: it leaves a playable file.
    ASSERT_TRUE(WaitUntil([&] { return task.Converter().ConvertedDuration() > 0; }));
    task.Stop();
  }
  ASSERT_TRUE(WaitForIdle());
  ASSERT_TRUE(fs::exists(folder / "mine.mp4"));
  ASSERT_TRUE(fs::exists(folder / "theirs.mp4"));
  fs::remove(folder / "theirs.mp4");
  std::ofstream(folder / "theirs.mp4") << "somebody else's file";

  Reopen();
  ASSERT_EQ(Unfiled().Tasks().size(), 2u);
  for (const auto& task : Unfiled().Tasks()) ASSERT_TRUE(task->Start());
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Sql("select Converting from conversions order by ID"), "0\n1\n");
  EXPECT_NEAR(ProbeMedia(folder / "mine.mp4").Stream("video").duration, 60.0, 0.5);
  EXPECT_EQ(ReadWholeFile(folder / "theirs.mp4"), "somebody else's file");
  ASSERT_EQ(Unfiled().Tasks().size(), 1u);
  EXPECT_NE(Unfiled().Tasks()[0]->Log().back().find("目标文件已存在"), std::string::npos);
}

TEST(TaskClaimStore, AnOlderFileOpensUnchangedAndGetsTheClaimTable) {
  UseFreshConfigHome("claims-old");
  const std::string file = CreateOlderStore();
  auto sql = [&file](const std::string& statement) {
    return RunCommand("sqlite3 " + ShellQuote(file) + " " + ShellQuote(statement)).output;
  };
  const std::string before = sql(".dump conversions") + sql(".dump categories");

  TPersistentManager::Connect();
  EXPECT_EQ(TPersistentManager::ClaimState(1), TTaskClaimState::NeverClaimed);
  TPersistentManager::Disconnect();
  EXPECT_EQ(sql(".dump conversions") + sql(".dump categories"), before);
  EXPECT_EQ(sql("select name from pragma_table_info('task_claims')"),
            "TaskId\nPid\nProcessStart\nBoot\nHost\nClaimedDate\n");
  EXPECT_EQ(sql("pragma integrity_check"), "ok\n");
}

}  // namespace
}  // namespace veltrano::test
