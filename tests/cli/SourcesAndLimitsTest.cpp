// veltrano-cli convert with sources that can be read only once (a FIFO),
// under a file-size limit, and with sources and targets the user may not
// reach: each ends with a message that names the file and the reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/MediaFixture.h"
#include "support/QueueRun.h"

extern char** environ;

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class SourcesAndLimits : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = test::MakeTempFolder("sources-limits");
    setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
  }
  // Runs `veltrano-cli convert ARGUMENTS` in the test folder after the shell
  // commands `prefix`; `as_user` drops what lets the superuser pass over
  // permissions, so that they hold for it too.
  test::TCommandResult Convert(const std::string& arguments, const std::string& prefix = "",
                               bool as_user = false) const {
    const std::string user = as_user && geteuid() == 0
                                 ? "setpriv --bounding-set -dac_override,-dac_read_search,-fowner "
                                 : "";
    return test::RunCommand("cd " + ShellQuote(folder_.string()) + " && (" + prefix + user +
                            ShellQuote(VELTRANO_CLI) + " convert " + arguments + " </dev/null)");
  }
  fs::path In(const std::string& name) const { return folder_ / name; }
  fs::path Clip() const {
    test::TClip clip = test::AvClipSpec("mpeg4", "aac");
    clip.seconds = 2;
    return test::SharedClip("limits-clip.mkv", clip);
  }
  fs::path folder_;
};

// A FIFO is read by the conversion alone: nothing looks at it before, so
// the conversion gets all of its data.
TEST_F(SourcesAndLimits, AFifoSourceIsConvertedWhole) {
  const fs::path fifo = In("feed.mkv");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto result = Convert("feed.mkv out.mp4 --profile iphone-h264 -y",
                              "cat " + ShellQuote(Clip().string()) + " > feed.mkv & ");
  ASSERT_EQ(result.exit_code, 0) << result.output;
  EXPECT_FALSE(Has(result.output, "输出检查")) << result.output;
  const auto info = test::ProbeMedia(In("out.mp4"));
  EXPECT_NEAR(info.Stream("video").duration, 2.0, 0.1);
  EXPECT_NEAR(info.Stream("audio").duration, 2.0, 0.15);
  // Tracks by number would need a look at the FIFO first: refused, and said
  // why, before anything reads it.
  const auto tracks = Convert("feed.mkv out2.mp4 --profile iphone-h264 --audio-track 1");
  EXPECT_EQ(tracks.exit_code, 2) << tracks.output;
  EXPECT_TRUE(Has(tracks.output, "can be read only once")) << tracks.output;
}

// Ctrl+C ends a conversion whose FIFO nobody writes into: the wait for data
// gives way to the stop, and the run ends as stopped.
TEST_F(SourcesAndLimits, CtrlCEndsTheWaitForAFifoWithoutWriter) {
  const fs::path fifo = In("silent.mkv");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string cli = VELTRANO_CLI;
  const std::string output = In("never.mp4").string();
  const std::string log = In("cli.log").string();
  const pid_t pid =
      test::SpawnProgram({cli, "convert", fifo.string(), output, "--profile", "iphone-h264"}, log);
  int status = 0;
  if (!test::WaitUntilCatching(pid, SIGINT, std::chrono::seconds(60))) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "the program never came to catch Ctrl+C";
  }
  // Time to get from the handler to the open that waits for a writer.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the conversion did not wait for the FIFO";
  kill(pid, SIGINT);
  const auto interrupted = std::chrono::steady_clock::now();
  pid_t ended = 0;
  while ((ended = waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() - interrupted < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (ended == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "Ctrl+C did not end the conversion";
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - interrupted).count();
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  ASSERT_TRUE(WIFEXITED(status)) << text.str();
  EXPECT_EQ(WEXITSTATUS(status), 130) << text.str();
  EXPECT_TRUE(Has(text.str(), "Stopped.")) << text.str();
  RecordProperty("seconds_from_ctrl_c_to_exit", std::to_string(seconds));
  EXPECT_FALSE(fs::exists(output));
  EXPECT_FALSE(fs::exists(output + ".part"));
}

// A file-size limit (ulimit -f, nothing ignoring SIGXFSZ beforehand) fails
// the write with the reason, named as a full disk is, and leaves no work file.
TEST_F(SourcesAndLimits, AFileSizeLimitFailsTheWriteWithItsReason) {
  test::TClip clip;
  clip.video = false;
  clip.seconds = 30;
  clip.audio_codec = "pcm_s16le";
  test::MakeClip(In("long.wav"), clip);
  const auto result = Convert(
      "long.wav out.wav --option AudioOptions.EncoderAudioCodecName=pcm_s16le", "ulimit -f 256; ");
  EXPECT_EQ(result.exit_code, 1) << result.output;
  EXPECT_TRUE(Has(result.output, In("out.wav").string() + ": File too large")) << result.output;
  EXPECT_FALSE(fs::exists(In("out.wav")));
  EXPECT_FALSE(fs::exists(In("out.wav.part")));
}

// A source in a folder that cannot be entered, a source without read
// permission and a target in a folder without write permission: each is
// said as such, never as a missing file or as no media.
TEST_F(SourcesAndLimits, UnreachableFoldersAndPermissionsAreSaidSo) {
  fs::create_directories(In("locked"));
  fs::copy_file(Clip(), In("locked/clip.mkv"));
  fs::copy_file(Clip(), In("unreadable.mkv"));
  fs::create_directories(In("readonly"));
  chmod(In("locked").c_str(), 0);
  chmod(In("unreadable.mkv").c_str(), 0);
  chmod(In("readonly").c_str(), 0555);

  const auto locked = Convert("locked/clip.mkv out.mp4 -p iphone-h264", "", true);
  EXPECT_EQ(locked.exit_code, 1) << locked.output;
  EXPECT_TRUE(Has(locked.output, "locked/clip.mkv: 无法进入文件夹 " + In("locked").string() +
                                     " (Permission denied)"))
      << locked.output;
  EXPECT_FALSE(Has(locked.output, "No such file")) << locked.output;

  const auto unreadable = Convert("unreadable.mkv out.mp4 -p iphone-h264", "", true);
  EXPECT_EQ(unreadable.exit_code, 1) << unreadable.output;
  EXPECT_TRUE(Has(unreadable.output, "unreadable.mkv: Permission denied")) << unreadable.output;
  EXPECT_FALSE(Has(unreadable.output, "not a media file")) << unreadable.output;

  const auto readonly =
      Convert(ShellQuote(Clip().string()) + " readonly/out.mp4 -p iphone-h264", "", true);
  EXPECT_EQ(readonly.exit_code, 1) << readonly.output;
  EXPECT_TRUE(Has(readonly.output, In("readonly/out.mp4").string() + ": 无法在文件夹 " +
                                       In("readonly").string() + " 中写入 (Permission denied)"))
      << readonly.output;
  chmod(In("locked").c_str(), 0755);
  chmod(In("readonly").c_str(), 0755);
}

}  // namespace
}  // namespace veltrano
