// Starting programs for real, with harmless ones (sh, sleep), and splitting
// command lines.
#include "platform/Process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/ServiceDoubles.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

using TArgs = std::vector<std::string>;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Waits up to 5 s for `path` to exist.
bool WaitForFile(const fs::path& path) {
  for (int i = 0; i < 500 && !fs::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return fs::exists(path);
}

TEST(SplitCommandLine, QuotesAndEscapesMakeWordsAndNothingIsExpanded) {
  EXPECT_EQ(SplitCommandLine("  player  --fs\tfile.mp4 "), (TArgs{"player", "--fs", "file.mp4"}));
  EXPECT_EQ(SplitCommandLine(R"(a "b c" 'd "e"' f\ g "h\"i\\j\k" '' x"y"'z')"),
            (TArgs{"a", "b c", "d \"e\"", "f g", "h\"i\\j\\k", "", "xyz"}));
  // Shell syntax stays text: it would be arguments of the program, never commands.
  EXPECT_EQ(SplitCommandLine("p a;rm -rf ~ $(id) `id` $HOME|x&&y *"),
            (TArgs{"p", "a;rm", "-rf", "~", "$(id)", "`id`", "$HOME|x&&y", "*"}));
  EXPECT_EQ(SplitCommandLine("播放器 \"视频 1.mp4\""), (TArgs{"播放器", "视频 1.mp4"}));
  EXPECT_EQ(SplitCommandLine("   "), TArgs{});
}

TEST(SplitCommandLine, UnclosedQuoteOrTrailingBackslashIsRefused) {
  EXPECT_FALSE(SplitCommandLine("player \"file.mp4"));
  EXPECT_FALSE(SplitCommandLine("player 'file.mp4"));
  EXPECT_FALSE(SplitCommandLine("player file\\"));
}

class RealProcessTest : public ::testing::Test {
 protected:
  RealProcessTest() : FLauncher(std::make_shared<TSystemProcessLauncher>()) {}
  TScopedLauncher FLauncher;
  fs::path FFolder = MakeTempFolder("process");
};

TEST_F(RealProcessTest, MissingOrNonExecutableProgramIsNotStarted) {
  EXPECT_FALSE(RunAndWait("veltrano-no-such-program --help"));
  EXPECT_FALSE(RunAndWait(TArgs{(FFolder / "missing").string()}));
  const fs::path plain = FFolder / "plain.sh";
  std::ofstream(plain) << "#!/bin/sh\n";
  EXPECT_FALSE(RunAndWait(TArgs{plain.string()}));
  EXPECT_FALSE(RunAndWait(TArgs{FFolder.string()}));  // a folder
  EXPECT_FALSE(RunAndWait(""));
  EXPECT_FALSE(RunAndWait("sh -c 'unclosed"));
  EXPECT_FALSE(TSystemProcessLauncher().Run({"veltrano-no-such-program"}).started);
}

TEST_F(RealProcessTest, CommandLineReachesTheProgramWordForWordWithoutAShell) {
  const fs::path out = FFolder / "out.txt";
  const std::string injected = (FFolder / "injected").string();
  const std::string line =
      "sh -c 'printf %s \"$1\" > \"$2.part\" && mv \"$2.part\" \"$2\"' sh "
      "'a b; touch " +
      injected + "' " + ShellQuote(out.string());
  ASSERT_TRUE(RunAndWait(line));
  ASSERT_TRUE(WaitForFile(out));
  EXPECT_EQ(ReadFile(out), "a b; touch " + injected);
  EXPECT_FALSE(fs::exists(injected));
}

TEST_F(RealProcessTest, StartReturnsOnceRunningAndLeavesNoZombie) {
  const fs::path pid_file = FFolder / "pid";
  const auto begin = std::chrono::steady_clock::now();
  // The program outlives the call by far: Start must not wait for its end.
  ASSERT_TRUE(
      StartProcess({"sh", "-c", "echo $$ > \"$1.part\" && mv \"$1.part\" \"$1\" && exec sleep 30",
                    "sh", pid_file.string()}));
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
  ASSERT_TRUE(WaitForFile(pid_file));
  const pid_t sleeper = std::stoi(ReadFile(pid_file));
  ASSERT_TRUE(StartProcess({"true"}));
  // The started programs are not our children: nothing is left to reap.
  int status = 0;
  EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  EXPECT_EQ(kill(sleeper, SIGTERM), 0);
}

TEST_F(RealProcessTest, RunCollectsOutputAndExitCode) {
  const TProcessOutput result =
      RunProcess({"sh", "-c", "printf 'out\\n'; printf 'err\\n' >&2; exit 3"});
  EXPECT_TRUE(result.started);
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.output, "out\nerr\n");
  // A program that is killed reports 128 + the signal.
  EXPECT_EQ(RunProcess({"sh", "-c", "kill -9 $$"}).exit_code, 128 + 9);
}

}  // namespace
}  // namespace veltrano::test
