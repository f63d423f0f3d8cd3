// The user's files stay theirs through `veltrano-cli queue`: a target that is
// not new is refused when the task is added, a program killed at any step of
// naming an output leaves a task that completes on the next run and owns no
// foreign file, and deleting tasks removes only what they wrote.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/MediaFixture.h"
#include "support/QueueRun.h"
#include "support/WorkFiles.h"

namespace veltrano::test {
namespace {

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class OwnFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    home = MakeTempFolder("own-files");
    TClip spec = AvClipSpec("mpeg4", "aac");
    spec.seconds = 1;
    clip = home / "clip.mp4";
    fs::copy_file(SharedClip("own-files-clip.mp4", spec), clip);
  }

  std::string Env() const {
    return "cd " + ShellQuote(home.string()) + " && HOME=" + ShellQuote(home.string()) +
           " XDG_CONFIG_HOME=" + ShellQuote((home / ".config").string()) + " ";
  }
  TCommandResult Cli(const std::string& arguments) const {
    return RunCommand(Env() + ShellQuote(VELTRANO_CLI) + " " + arguments + " </dev/null");
  }
  TCommandResult Add(const std::string& source, const std::string& target,
                     const std::string& more = "") const {
    return Cli("queue add " + ShellQuote(source) + " --profile aac --target " + ShellQuote(target) +
               more);
  }
  std::string Sql(const std::string& sql) const {
    const fs::path store = home / ".config/Tellurix/Veltrano/av.cfg";
    return RunCommand("sqlite3 " + ShellQuote(store.string()) + " " + ShellQuote(sql)).output;
  }
  // Stores a task as an older program may have: with no check of its target.
  void StoreUnchecked(const fs::path& source, const fs::path& target) const {
    const fs::path xml = home / "unchecked.xml";
    ASSERT_EQ(Cli("settings " + ShellQuote(source.string()) + " " + ShellQuote(target.string()) +
                  " --profile aac > " + ShellQuote(xml.string()))
                  .exit_code,
              0);
    Sql("insert into conversions(Converting, ConvertSettings) values(1, cast(readfile(" +
        ShellQuote(xml.string()) + ") as text))");
  }

  // Starts `queue run` with VELTRANO_TEST_PAUSE_AT=`step`, waits until the
  // run holds there and kills it.
  void RunAndKillAt(const std::string& step) const {
    const fs::path log = home / "killed.log";
    const pid_t pid = SpawnQueueRun(VELTRANO_CLI, home, log, {"VELTRANO_TEST_PAUSE_AT=" + step});
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!Has(Contents(log), "paused at " + step) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before " << step << ": " << Contents(log);
  }

  fs::path home;
  fs::path clip;
};

TEST_F(OwnFiles, ATargetThatIsNotNewIsRefusedWhenTheTaskIsAdded) {
  fs::create_directory(home / "sub");
  fs::create_symlink(clip, home / "link.mp4");
  fs::create_hard_link(clip, home / "hard.mp4");
  for (const std::string& target :
       {clip.string(), std::string("./clip.mp4"), std::string("sub/../clip.mp4"),
        std::string("link.mp4"), std::string("hard.mp4")}) {
    const TCommandResult refused = Add("clip.mp4", target, " -y");
    EXPECT_EQ(refused.exit_code, 1) << target << ": " << refused.output;
    EXPECT_TRUE(Has(refused.output, "输出文件与源文件相同: ")) << refused.output;
  }

  // ".." after a link steps up from where the link leads.
  fs::create_directories(home / "real" / "inner");
  fs::create_directory_symlink(home / "real" / "inner", home / "lnk");
  const TCommandResult through = Add("clip.mp4", "lnk/../o.m4a");
  ASSERT_EQ(through.exit_code, 0) << through.output;
  EXPECT_TRUE(Has(through.output, "-> " + (home / "real" / "o.m4a").string() + "\n"))
      << through.output;
  // Another unfinished task's target, by any name.
  const TCommandResult taken = Add("clip.mp4", "real/./inner/../o.m4a");
  EXPECT_EQ(taken.exit_code, 1) << taken.output;
  EXPECT_TRUE(Has(taken.output, "is the target of unfinished task 1 already")) << taken.output;

  // An existing file is replaced only with -y; the task may then replace it.
  std::ofstream(home / "user.m4a") << "the user's file";
  const TCommandResult exists = Add("clip.mp4", "user.m4a");
  EXPECT_EQ(exists.exit_code, 1) << exists.output;
  EXPECT_TRUE(Has(exists.output, "目标文件已存在: " + (home / "user.m4a").string()))
      << exists.output;
  EXPECT_EQ(Contents(home / "user.m4a"), "the user's file");
  ASSERT_EQ(Add("clip.mp4", "user.m4a", " -y").exit_code, 0);
  EXPECT_EQ(Sql("select ID from conversions where ConvertSettings like '%<Overwrite>1<%'"), "2\n");
  const TCommandResult ran = Cli("queue run");
  EXPECT_EQ(ran.exit_code, 0) << ran.output;
  EXPECT_NEAR(ProbeMedia(home / "user.m4a").Stream("audio").duration, 1.0, 0.1);
  // What the task wrote there is its own, to delete with it.
  EXPECT_EQ(Cli("queue delete 2 --target").exit_code, 0);
  EXPECT_FALSE(fs::exists(home / "user.m4a"));
  EXPECT_NEAR(ProbeMedia(home / "real" / "o.m4a").Stream("audio").duration, 1.0, 0.1);
  EXPECT_FALSE(fs::exists(home / "o.m4a"));

  // The longest file name the system takes is a target like any other.
  const std::string longest = std::string(251, 'n') + ".m4a";
  const TCommandResult converted = Cli("convert -q clip.mp4 " + longest + " --profile aac");
  EXPECT_EQ(converted.exit_code, 0) << converted.output;
  EXPECT_NEAR(ProbeMedia(home / longest).Stream("audio").duration, 1.0, 0.1);
  EXPECT_TRUE(WorkFilesUnder(home).empty());
}

// A kill at every step of naming an output leaves a task that the next run
// completes; the output it was naming is its own, and nothing else is.
TEST_F(OwnFiles, AKillAtAnyStepOfPublishingLeavesATaskThatCompletes) {
  const std::vector<std::string> steps{"work-created", "before-rename", "after-rename",
                                       "after-store"};
  for (const std::string& step : steps) {
    SCOPED_TRACE(step);
    const fs::path target = home / (step + ".m4a");
    ASSERT_EQ(Add("clip.mp4", target.string()).exit_code, 0);
    RunAndKillAt(step);
    const bool renamed = step == "after-rename" || step == "after-store";
    EXPECT_EQ(fs::exists(target), renamed);
    EXPECT_EQ(WorkFilesOf(target).size(), renamed ? 0u : 1u);
    const TCommandResult again = Cli("queue run");
    EXPECT_EQ(again.exit_code, 0) << again.output;
    EXPECT_TRUE(Has(again.output, "1 converted, 0 failed")) << again.output;
    EXPECT_NEAR(ProbeMedia(target).Stream("audio").duration, 1.0, 0.1);
    EXPECT_TRUE(WorkFilesUnder(home).empty());
  }
  EXPECT_EQ(Sql("select count(*) from conversions where Converting=1"), "0\n");
  EXPECT_EQ(Sql("select count(*) from task_work_files"), "0\n");

  // Killed before the rename, then somebody's file takes the name: it is not
  // the task's, so the next run refuses it, and deleting the task keeps it.
  const fs::path target = home / "taken.m4a";
  ASSERT_EQ(Add("clip.mp4", target.string()).exit_code, 0);
  RunAndKillAt("before-rename");
  std::ofstream(target) << "somebody's file";
  const TCommandResult refused = Cli("queue run");
  EXPECT_EQ(refused.exit_code, 1) << refused.output;
  EXPECT_TRUE(Has(refused.output, "目标文件已存在: " + target.string())) << refused.output;
  EXPECT_EQ(Contents(target), "somebody's file");

  // Killed while converting: deleting the task takes its work file along.
  const fs::path killed = home / "killed.m4a";
  ASSERT_EQ(Add("clip.mp4", killed.string()).exit_code, 0);
  RunAndKillAt("work-created");
  ASSERT_EQ(WorkFilesOf(killed).size(), 1u);
  const TCommandResult deleted = Cli("queue delete 5 6 --target");
  EXPECT_EQ(deleted.exit_code, 0) << deleted.output;
  EXPECT_TRUE(Has(deleted.output, "Kept " + target.string() + ": task 5 did not write it"))
      << deleted.output;
  EXPECT_EQ(Contents(target), "somebody's file");
  EXPECT_TRUE(WorkFilesUnder(home).empty());
  EXPECT_EQ(Sql("select count(*) from task_work_files"), "0\n");
}

// Tasks that an older program stored without checking their targets: one
// whose target is its source, two with one target, one whose target the
// user's file took. Running them mixes nothing, deleting them with their
// files keeps every file they did not write.
TEST_F(OwnFiles, DeletingTasksKeepsEveryFileTheyDidNotWrite) {
  TClip spec = AvClipSpec("mpeg4", "aac");
  spec.seconds = 2;
  const fs::path longer = home / "longer.mp4";
  fs::copy_file(SharedClip("own-files-longer.mp4", spec), longer);
  const std::string clip_bytes = Contents(clip);
  ASSERT_EQ(Cli("queue list").exit_code, 0);  // makes the store
  StoreUnchecked(clip, clip);                 // task 1
  StoreUnchecked(longer, home / "same.m4a");  // task 2
  StoreUnchecked(clip, home / "same.m4a");    // task 3
  StoreUnchecked(longer, home / "keep.m4a");  // task 4
  std::ofstream(home / "keep.m4a") << "the user's file";

  const TCommandResult ran = Cli("queue run");
  EXPECT_EQ(ran.exit_code, 1) << ran.output;
  EXPECT_TRUE(Has(ran.output, "1 converted, 3 failed")) << ran.output;
  EXPECT_TRUE(Has(ran.output, "输出文件与源文件相同: " + clip.string())) << ran.output;
  // Whichever of the two took the name, the file is its own conversion.
  const bool second = Has(ran.output, "Converted task 2: ");
  EXPECT_TRUE(second || Has(ran.output, "Converted task 3: ")) << ran.output;
  EXPECT_NEAR(ProbeMedia(home / "same.m4a").Stream("audio").duration, second ? 2.0 : 1.0, 0.1);
  const std::string same_bytes = Contents(home / "same.m4a");

  const std::string failed = second ? "3" : "2";
  const TCommandResult deleted = Cli("queue delete 1 " + failed + " 4 --target");
  EXPECT_EQ(deleted.exit_code, 0) << deleted.output;
  EXPECT_TRUE(Has(deleted.output, "Kept " + clip.string() + ": task 1 did not write it"))
      << deleted.output;
  EXPECT_EQ(Contents(clip), clip_bytes);
  EXPECT_EQ(Contents(home / "same.m4a"), same_bytes);
  EXPECT_EQ(Contents(home / "keep.m4a"), "the user's file");
  EXPECT_TRUE(WorkFilesUnder(home).empty());

  // The converted task's source is another task's no more: it goes with
  // --source, and its output with --target.
  const std::string converted = second ? "2" : "3";
  const TCommandResult cleaned = Cli("queue delete " + converted + " --target --source");
  EXPECT_EQ(cleaned.exit_code, 0) << cleaned.output;
  EXPECT_FALSE(fs::exists(home / "same.m4a"));
  EXPECT_FALSE(fs::exists(second ? longer : clip));
  EXPECT_EQ(Sql("select count(*) from conversions"), "0\n");
}

}  // namespace
}  // namespace veltrano::test
