// `veltrano-cli queue`, run as separate processes on an application-data
// folder of their own: a round trip through add, run, list and delete, a
// failing task, and a program killed in the middle of a conversion (which
// leaves only its work file).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/ProcessIdentity.h"
#include "support/MediaFixture.h"
#include "support/QueueRun.h"
#include "support/WorkFiles.h"

namespace veltrano::test {
namespace {

// The veltrano-cli built with these tests.
std::string QueueProgram() { return VELTRANO_CLI; }

class QueueCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    home = MakeTempFolder("queue-home");
    clip = home / "clip.mp4";
    TClip spec = AvClipSpec("mpeg4", "aac");
    spec.seconds = 1;
    fs::copy_file(SharedClip("queue-clip.mp4", spec), clip);
  }

  std::string Env() const {
    return "HOME=" + ShellQuote(home.string()) +
           " XDG_CONFIG_HOME=" + ShellQuote((home / ".config").string()) + " ";
  }
  TCommandResult Queue(const std::string& arguments) const {
    return RunCommand(Env() + ShellQuote(QueueProgram()) + " queue " + arguments);
  }
  std::string Store() const { return (home / ".config/Tellurix/Veltrano/av.cfg").string(); }
  std::string Sql(const std::string& sql) const {
    return RunCommand("sqlite3 " + ShellQuote(Store()) + " " + ShellQuote(sql)).output;
  }
  static bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }

  fs::path home;
  fs::path clip;
};

TEST_F(QueueCommand, AddRunListAndDeleteRoundTrip) {
  const std::string q_clip = ShellQuote(clip.string());
  const fs::path output_folder = home / "Tellurix转换";
  TCommandResult added = Queue("add " + q_clip +
                               " --profile 'Zune MPEG4 Video(320x240)' --filter vflip"
                               " --filter 'drawbox=4:4:20:20:Red'");
  ASSERT_EQ(added.exit_code, 0) << added.output;
  EXPECT_EQ(added.output,
            "Added task 1: clip.mp4 -> " + (output_folder / "clip.mp4").string() + "\n");
  const fs::path audio = home / "audio.m4a";
  added = Queue("add " + q_clip + " --profile 'AAC Audio' --target " + ShellQuote(audio.string()) +
                " --start 0.2 --duration 0.5");
  ASSERT_EQ(added.exit_code, 0) << added.output;
  EXPECT_NE(Sql("select ConvertSettings from conversions where ID=1")
                .find("<VideoFilters>vflip,drawbox=4:4:20:20:Red</VideoFilters>"),
            std::string::npos);

  TCommandResult listed = Queue("list");
  ASSERT_EQ(listed.exit_code, 0) << listed.output;
  EXPECT_TRUE(Has(listed.output, "任务列表\nID\tStatus\t原始文件\t原始文件大小\t目标文件"))
      << listed.output;
  // Never started: waiting, the remaining time not known yet.
  EXPECT_TRUE(Has(listed.output, "\n1\twaiting\tclip.mp4\t")) << listed.output;
  EXPECT_TRUE(Has(listed.output, "\t--:--:--\t0:0:0\n")) << listed.output;
  EXPECT_FALSE(Has(listed.output, "100:40:39")) << listed.output;

  const TCommandResult ran = Queue("run");
  EXPECT_EQ(ran.exit_code, 0) << ran.output;
  EXPECT_TRUE(Has(ran.output, "Converted task 1: " + (output_folder / "clip.mp4").string()));
  EXPECT_TRUE(Has(ran.output, "Converted task 2: " + audio.string()));
  EXPECT_TRUE(Has(ran.output, "2 converted, 0 failed")) << ran.output;
  EXPECT_NEAR(ProbeMedia(audio).Stream("audio").duration, 0.5, 0.05);
  EXPECT_EQ(ProbeMedia(output_folder / "clip.mp4").Stream("video").width, 320);

  listed = Queue("list");
  ASSERT_EQ(listed.exit_code, 0) << listed.output;
  const std::string root_section =
      "\n已转换 (category 1, " + output_folder.string() + ")\nID\tStatus\t原始文件";
  ASSERT_TRUE(Has(listed.output, "任务列表\nID\tStatus\t原始文件")) << listed.output;
  const size_t root = listed.output.find(root_section);
  ASSERT_NE(root, std::string::npos) << listed.output;
  const std::string unfiled = listed.output.substr(0, root);
  EXPECT_FALSE(Has(unfiled, "stopped") || Has(unfiled, "waiting")) << listed.output;
  const std::string filed = listed.output.substr(root);
  EXPECT_TRUE(Has(filed, "\n1\tconverted\tclip.mp4\t")) << listed.output;
  EXPECT_TRUE(Has(filed, "\n2\tconverted\tclip.mp4\t")) << listed.output;
  EXPECT_TRUE(Has(filed, "\taudio.m4a\t")) << listed.output;
  EXPECT_TRUE(Has(filed, "\tAAC Audio\t0:0:1\t")) << listed.output;

  // The same file in the sqlite3 shell.
  EXPECT_EQ(Sql("select name from pragma_table_info('conversions')"),
            "ID\nConverting\nConvertSettings\nConvertedDate\nCategoryId\nLog\n");
  EXPECT_EQ(Sql("select name from pragma_table_info('categories')"),
            "ID\nCategory\nPath\nParent\n");
  EXPECT_EQ(Sql("select ID, Category, Parent from categories"), "1|已转换|-1\n");
  EXPECT_EQ(Sql("select ID, Converting, CategoryId, ConvertedDate is not null from conversions "
                "order by ID"),
            "1|0|1|1\n2|0|1|1\n");
  EXPECT_EQ(Sql("pragma integrity_check"), "ok\n");

  const TCommandResult deleted = Queue("delete 2 --target");
  EXPECT_EQ(deleted.exit_code, 0) << deleted.output;
  EXPECT_FALSE(fs::exists(audio));
  EXPECT_TRUE(fs::exists(clip));
  EXPECT_EQ(Sql("select ID from conversions"), "1\n");

  const TCommandResult missing = Queue("delete 2");
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_TRUE(Has(missing.output, "no task 2")) << missing.output;
  const TCommandResult unknown = Queue("add " + q_clip + " --profile 'No Such Profile'");
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_TRUE(Has(unknown.output, "No profile is called \"No Such Profile\"")) << unknown.output;
  const TCommandResult no_file =
      Queue("add " + ShellQuote((home / "none.mp4").string()) + " --profile 'AAC Audio'");
  EXPECT_EQ(no_file.exit_code, 1);
  std::ofstream(home / "notes.txt") << "not media";
  const TCommandResult not_media =
      Queue("add " + ShellQuote((home / "notes.txt").string()) + " --profile 'AAC Audio'");
  EXPECT_EQ(not_media.exit_code, 1);
  EXPECT_TRUE(Has(not_media.output, "notes.txt: not a media file (")) << not_media.output;
  EXPECT_EQ(Sql("select count(*) from conversions"), "1\n");
}

TEST_F(QueueCommand, AFailedTaskMakesRunFailAndStaysListedAsStopped) {
  std::ofstream(home / "blocker") << "a file where a folder should be";
  ASSERT_EQ(Queue("add " + ShellQuote(clip.string()) + " --profile 'AAC Audio' --target " +
                  ShellQuote((home / "blocker" / "out.m4a").string()))
                .exit_code,
            0);
  const TCommandResult ran = Queue("run");
  EXPECT_EQ(ran.exit_code, 1) << ran.output;
  EXPECT_TRUE(Has(ran.output, "Failed task 1: ")) << ran.output;
  EXPECT_TRUE(Has(ran.output, "0 converted, 1 failed")) << ran.output;
  EXPECT_TRUE(Has(Queue("list").output, "\n1\tstopped\tclip.mp4\t"));
  EXPECT_EQ(Sql("select Converting, CategoryId is null from conversions"), "1|1\n");
}

TEST_F(QueueCommand, AKilledRunLosesNothingCommittedAndItsTaskComesBackStopped) {
  ASSERT_EQ(Queue("add " + ShellQuote(clip.string()) + " --profile 'AAC Audio' --target " +
                  ShellQuote((home / "done.m4a").string()))
                .exit_code,
            0);
  ASSERT_EQ(Queue("run").exit_code, 0);
  // A conversion of a few seconds: 1080p H.264 from a two-second clip.
  TClip spec = AvClipSpec("mpeg4", "aac");
  spec.seconds = 2;
  const fs::path big = home / "big.mp4";
  ASSERT_EQ(Queue("add " + ShellQuote(SharedClip("queue-slow.mp4", spec).string()) +
                  " --profile 'PS3 1080 HD Video' --target " + ShellQuote(big.string()))
                .exit_code,
            0);

  const pid_t pid = SpawnQueueRun(QueueProgram(), home, home / "run.log");
  ASSERT_GT(pid, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  // What the run writes until it completes: a work file of its own.
  while (WorkFilesOf(big).empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(pid, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it could be killed";
  EXPECT_EQ(WTERMSIG(status), SIGKILL);

  // Only the work file is left: nothing under the final name looks like a result.
  EXPECT_EQ(WorkFilesOf(big).size(), 1u);
  EXPECT_FALSE(fs::exists(big));
  EXPECT_EQ(Sql("pragma integrity_check"), "ok\n");
  EXPECT_EQ(Sql("select ID, Converting, CategoryId, ConvertedDate is null from conversions "
                "order by ID"),
            "1|0|1|0\n2|1||1\n");
  const TCommandResult listed = Queue("list");
  EXPECT_TRUE(Has(listed.output, "\n2\tstopped\t")) << listed.output;
  EXPECT_TRUE(Has(listed.output, "\n1\tconverted\tclip.mp4\t")) << listed.output;

  // The stopped task converts when run again.
  const TCommandResult again = Queue("run");
  EXPECT_EQ(again.exit_code, 0) << again.output;
  EXPECT_EQ(ProbeMedia(big).Stream("video").height, 1080);
  EXPECT_TRUE(WorkFilesOf(big).empty()) << "the killed run's work file went before the new run";
  EXPECT_EQ(Sql("select Converting from conversions where ID=2"), "0\n");
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST_F(QueueCommand, TwoRunsStartedTogetherConvertEachTaskExactlyOnce) {
  TClip spec = AvClipSpec("mpeg4", "aac");
  spec.seconds = 3;
  spec.size = "640x480";
  const std::string source = ShellQuote(SharedClip("queue-pair.mp4", spec).string());
  constexpr int kTasks = 4;
  for (int i = 1; i <= kTasks; ++i) {
    ASSERT_EQ(Queue("add " + source + " --profile zune-mpeg4 --target " +
                    ShellQuote((home / ("pair" + std::to_string(i) + ".mp4")).string()))
                  .exit_code,
              0);
  }
  const pid_t first = SpawnQueueRun(QueueProgram(), home, home / "first.log");
  const pid_t second = SpawnQueueRun(QueueProgram(), home, home / "second.log");
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);
  for (const pid_t pid : {first, second}) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  const std::string logs = ReadText(home / "first.log") + ReadText(home / "second.log");
  for (int i = 1; i <= kTasks; ++i) {
    const std::string output = (home / ("pair" + std::to_string(i) + ".mp4")).string();
    EXPECT_EQ(Count(logs, "Converted task " + std::to_string(i) + ": " + output + "\n"), 1) << logs;
    EXPECT_NEAR(ProbeMedia(output).Stream("video").duration, 3.0, 0.1);
  }
  EXPECT_EQ(Count(logs, "Failed task"), 0) << logs;
  EXPECT_EQ(
      Sql("select count(*) from conversions where Converting=0 and ConvertedDate is not null"),
      std::to_string(kTasks) + "\n");
  EXPECT_EQ(Sql("select count(*) from task_claims where Pid is not null"), "0\n");
}

TEST_F(QueueCommand, TasksOfALiveProgramAreLeftAndThoseOfAnEndedOneTakenOver) {
  for (const char* name : {"live.m4a", "dead.m4a", "new.m4a"}) {
    ASSERT_EQ(Queue("add " + ShellQuote(clip.string()) + " --profile aac --target " +
                    ShellQuote((home / name).string()))
                  .exit_code,
              0);
  }
  // Task 1 is claimed by this test process, task 2 by a process that has ended.
  const TProcessIdentity self = CurrentProcessIdentity();
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  auto claim = [&](int id, int64_t pid, const std::string& start) {
    Sql("insert into task_claims(TaskId, Pid, ProcessStart, Boot, Host) values(" +
        std::to_string(id) + ", " + std::to_string(pid) + ", '" + start + "', '" + self.boot +
        "', '" + self.host + "')");
  };
  claim(1, self.pid, self.start);
  claim(2, ended, "1");

  TCommandResult listed = Queue("list");
  EXPECT_TRUE(Has(listed.output, "\n1\trunning elsewhere\tclip.mp4\t")) << listed.output;
  EXPECT_TRUE(Has(listed.output, "\n2\tstopped\tclip.mp4\t")) << listed.output;
  EXPECT_TRUE(Has(listed.output, "\n3\twaiting\tclip.mp4\t")) << listed.output;
  const TCommandResult busy = Queue("delete 1");
  EXPECT_EQ(busy.exit_code, 1);
  EXPECT_TRUE(Has(busy.output, "task 1 is being converted by another program")) << busy.output;

  const TCommandResult ran = Queue("run");
  EXPECT_EQ(ran.exit_code, 0) << ran.output;
  EXPECT_TRUE(Has(ran.output, "1 task(s) left to another program that converts them\n"))
      << ran.output;
  EXPECT_TRUE(Has(ran.output, "2 converted, 0 failed, 1 left to another program\n")) << ran.output;
  EXPECT_FALSE(fs::exists(home / "live.m4a"));
  EXPECT_TRUE(fs::exists(home / "dead.m4a"));
  EXPECT_EQ(Sql("select ID, Converting from conversions order by ID"), "1|1\n2|0\n3|0\n");

  // Once this program lets go, the task is everybody's again.
  Sql("update task_claims set Pid=NULL where TaskId=1");
  ASSERT_EQ(Queue("run").exit_code, 0);
  EXPECT_NEAR(ProbeMedia(home / "live.m4a").Stream("audio").duration, 1.0, 0.1);

  const TCommandResult deleted = Queue("delete 1 2 9 3");
  EXPECT_EQ(deleted.exit_code, 1);
  EXPECT_TRUE(Has(deleted.output, "Deleted task 1\nDeleted task 2\n")) << deleted.output;
  EXPECT_TRUE(Has(deleted.output, "no task 9")) << deleted.output;
  EXPECT_TRUE(Has(deleted.output, "Deleted task 3\n")) << deleted.output;
  EXPECT_EQ(Sql("select count(*) from conversions") + Sql("select count(*) from task_claims"),
            "0\n0\n");
}

}  // namespace
}  // namespace veltrano::test
