// veltrano-cli convert and settings, run as the user runs them: exit
// statuses, messages, Ctrl+C, profiles, filters, stored settings and DVDs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "converter/DvdNavigation.h"
#include "support/DvdFixture.h"
#include "support/MediaFixture.h"
#include "support/QueueRun.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::MakeTempFolder;
using test::ProbeMedia;
using test::ShellQuote;

// The veltrano-cli built with these tests.
std::string Cli() { return VELTRANO_CLI; }

test::TCommandResult RunCli(const std::string& arguments) {
  return test::RunCommand(ShellQuote(Cli()) + " " + arguments);
}

class ConvertCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTempFolder("cli-convert");
    // The command line reads the user's configuration: keep it in the test folder.
    setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
  }
  static std::string Source() {
    return test::SharedClip("cli-source.mp4", test::AvClipSpec("libx264", "aac")).string();
  }
  std::string Out(const std::string& name) const { return (folder_ / name).string(); }
  fs::path folder_;
};

TEST_F(ConvertCommand, ExitStatusSaysWhetherTheConversionCompleted) {
  const auto copied = RunCli("convert -q " + ShellQuote(Source()) + " " + ShellQuote(Out("a.mkv")) +
                             " --option VideoOptions.VideoStreamCopy=1"
                             " --option audiooptions.audiostreamcopy=true");
  EXPECT_EQ(copied.exit_code, 0) << copied.output;
  EXPECT_EQ(ProbeMedia(Out("a.mkv")).Stream("video").codec, "h264");

  const auto missing = RunCli("convert " + ShellQuote(Out("none.mp4")) + " " + ShellQuote(Out("b.mkv")));
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.output.find("none.mp4: No such file or directory"), std::string::npos)
      << missing.output;
  std::ofstream(Out("notes.txt")) << "not media";
  const auto not_media =
      RunCli("convert " + ShellQuote(Out("notes.txt")) + " " + ShellQuote(Out("b.mkv")));
  EXPECT_EQ(not_media.exit_code, 1);
  EXPECT_NE(not_media.output.find("notes.txt: not a media file (Invalid data found"),
            std::string::npos)
      << not_media.output;
  EXPECT_FALSE(fs::exists(Out("b.mkv")));

  const auto bad_option = RunCli("convert " + ShellQuote(Source()) + " " + ShellQuote(Out("c.mkv")) +
                                 " --option VideoOptions.NoSuch=1");
  // A mistake in the command line: status 2, the message and where help is.
  EXPECT_EQ(bad_option.exit_code, 2);
  EXPECT_NE(bad_option.output.find("Unknown property 'VideoOptions.NoSuch'"), std::string::npos)
      << bad_option.output;
  EXPECT_NE(bad_option.output.find("\nSee 'veltrano-cli convert --help'.\n"), std::string::npos)
      << bad_option.output;

  const auto bad_value = RunCli("convert " + ShellQuote(Source()) + " " + ShellQuote(Out("d.mkv")) +
                                " --option ThreadCount=many");
  EXPECT_NE(bad_value.exit_code, 0);
  EXPECT_FALSE(fs::exists(Out("d.mkv")));
}

TEST_F(ConvertCommand, StreamsThatFitTheProfilesDeviceAreCopiedUnlessNoCopyIsGiven) {
  const std::string source = ShellQuote(Source());
  const auto copied =
      RunCli("convert " + source + " " + ShellQuote(Out("phone")) + " --profile phone-1080p");
  ASSERT_EQ(copied.exit_code, 0) << copied.output;
  EXPECT_NE(copied.output.find("视频: 直接复制 (已符合)\n"), std::string::npos) << copied.output;
  EXPECT_NE(copied.output.find("音频: 直接复制 (已符合)\n"), std::string::npos) << copied.output;
  const std::string source_video = ProbeMedia(Source()).Stream("video").data_md5;
  EXPECT_EQ(ProbeMedia(Out("phone.mp4")).Stream("video").data_md5, source_video);

  const auto encoded = RunCli("convert " + source + " " + ShellQuote(Out("again")) +
                              " --profile phone-1080p --no-copy");
  ASSERT_EQ(encoded.exit_code, 0) << encoded.output;
  EXPECT_EQ(encoded.output.find("直接复制"), std::string::npos) << encoded.output;
  EXPECT_NE(ProbeMedia(Out("again.mp4")).Stream("video").data_md5, source_video);

  // The stored form keeps the device and the choice (off is the default, left out).
  const auto on = RunCli("settings " + source + " " + ShellQuote(Out("s")) + " -p phone-1080p");
  EXPECT_NE(on.output.find("<Device>phone-1080p</Device>"), std::string::npos) << on.output;
  EXPECT_NE(on.output.find("<CopyFittingStreams>1</CopyFittingStreams>"), std::string::npos);
  const auto off =
      RunCli("settings " + source + " " + ShellQuote(Out("s")) + " -p phone-1080p --no-copy");
  EXPECT_EQ(off.output.find("<CopyFittingStreams>"), std::string::npos) << off.output;
}

TEST_F(ConvertCommand, ListOptionsAndCodecOptionsReachTheEncoder) {
  const auto result = RunCli("convert -q " + ShellQuote(Source()) + " " + ShellQuote(Out("gop.avi")) +
                             " --option VideoOptions.EncoderVideoCodecName=mpeg4"
                             " --option CodecOptions+=g=5 --codec-option bf=0 --duration 2");
  ASSERT_EQ(result.exit_code, 0) << result.output;
  // A key frame every five pictures: ffprobe counts them independently.
  const auto keys = test::RunCommand(
      "ffprobe -v error -select_streams v -show_entries packet=flags -of csv=p=0 " +
      ShellQuote(Out("gop.avi")) + " | grep -c K");
  EXPECT_EQ(std::stoi(keys.output), 10);
  EXPECT_NEAR(ProbeMedia(Out("gop.avi")).Stream("video").duration, 2.0, 0.05);
}

TEST_F(ConvertCommand, CtrlCStopsCleanlyAndTheOutputIsComplete) {
  test::TClip clip;
  clip.video = false;
  clip.seconds = 600;
  clip.audio_codec = "pcm_s16le";
  const fs::path wav = test::MakeClip(folder_ / "long.wav", clip);
  const fs::path log = folder_ / "stopped.log";
  const pid_t pid = test::SpawnProgram({Cli(), "convert", "-q", wav.string(), Out("stopped.mkv"),
                                        "--option",
                                        "AudioOptions.EncoderAudioCodecName=libmp3lame"},
                                       log);
  const bool catching = test::WaitUntilCatching(pid, SIGINT, std::chrono::seconds(60));
  // Two seconds of converting, however long the start took.
  if (catching) std::this_thread::sleep_for(std::chrono::seconds(2));
  kill(pid, catching ? SIGINT : SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(catching) << "the program never came to catch Ctrl+C";
  std::ifstream in(log);
  const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_EQ(WEXITSTATUS(status), 130) << output;
  EXPECT_NE(output.find("Stopped."), std::string::npos) << output;
  const auto info = ProbeMedia(Out("stopped.mkv"));
  ASSERT_TRUE(info.opened);
  EXPECT_GT(info.duration, 1.0);  // the trailer gave the file its duration
  EXPECT_LT(info.duration, 590.0);
}

TEST_F(ConvertCommand, ProfilesFiltersAndStoredSettingsDescribeTheSameConversion) {
  const std::string args = ShellQuote(Source()) + " " + ShellQuote(Out("direct.avi")) +
                           " --profile 'XviD影片(*.avi)' --filter vflip --filter negate"
                           " --start 0.5 --duration 1";
  const auto printed = RunCli("settings " + args);
  ASSERT_EQ(printed.exit_code, 0) << printed.output;
  EXPECT_NE(printed.output.find("<Profile>XviD影片(*.avi)</Profile>"), std::string::npos);
  EXPECT_NE(printed.output.find("<VideoFilters>vflip,negate</VideoFilters>"), std::string::npos);
  EXPECT_NE(printed.output.find("<StartTime>500000</StartTime>"), std::string::npos);
  std::ofstream(folder_ / "task.xml") << printed.output;

  ASSERT_EQ(RunCli("convert -q " + args).exit_code, 0);
  // The stored task writes the same target again: allowed to replace it.
  const auto stored =
      RunCli("convert -q -y --settings " + ShellQuote((folder_ / "task.xml").string()));
  ASSERT_EQ(stored.exit_code, 0) << stored.output;
  const auto a = ProbeMedia(Out("direct.avi"));
  ASSERT_EQ(a.Stream("video").codec, "mpeg4");
  EXPECT_EQ(a.Stream("video").width, 640);
  EXPECT_NEAR(a.Stream("video").duration, 1.0, 0.05);
  // Run from its stored form, the task writes the same file again.
  EXPECT_EQ(ProbeMedia(Out("direct.avi")).Stream("video").data_md5, a.Stream("video").data_md5);

  const auto unknown = RunCli("convert " + ShellQuote(Source()) + " " + ShellQuote(Out("x.avi")) +
                              " --profile 'No Such Profile'");
  EXPECT_NE(unknown.exit_code, 0);
  EXPECT_NE(unknown.output.find("No profile is called \"No Such Profile\""), std::string::npos);
}

TEST_F(ConvertCommand, DvdTitlesAndChapterRangesConvert) {
  const auto& dvd = test::SharedDvd();
  const std::string copy =
      " --option VideoOptions.VideoStreamCopy=1 --option AudioOptions.AudioStreamCopy=1";
  const auto whole = RunCli("convert -q --dvd " + ShellQuote(dvd.folder.string()) +
                            " --title 1 " + ShellQuote(Out("title1.mpg")) + copy);
  ASSERT_EQ(whole.exit_code, 0) << whole.output;
  EXPECT_NEAR(ProbeMedia(Out("title1.mpg")).Stream("video").duration, 6.0, 0.15);

  // A chapter range stops at its end: a copy of chapter 2 holds its pictures exactly.
  const double chapter = ScanDvdTitles(dvd.folder.string()).at(0).list_chapter.at(1).duration / 90000.0;
  EXPECT_LT(chapter, 3.0);
  const auto range = RunCli("convert -q --dvd " + ShellQuote(dvd.folder.string()) +
                            " --title 1 --chapters 2-2 " + ShellQuote(Out("chapter2.mpg")) + copy);
  ASSERT_EQ(range.exit_code, 0) << range.output;
  EXPECT_NEAR(ProbeMedia(Out("chapter2.mpg")).Stream("video").packets, chapter * 25, 0.5);
  // Re-encoded, the picture starts with the sound: the first picture of the
  // range (which starts a little after the sound) fills the gap.
  const auto encoded = RunCli("convert -q --dvd " + ShellQuote(dvd.folder.string()) +
                              " --title 1 --chapters 2-2 " + ShellQuote(Out("chapter2.mkv")) +
                              " --option VideoOptions.EncoderVideoCodecName=mpeg4");
  ASSERT_EQ(encoded.exit_code, 0) << encoded.output;
  const auto info = ProbeMedia(Out("chapter2.mkv"));
  EXPECT_GE(info.Stream("video").duration, chapter - 0.01);
  EXPECT_LT(info.Stream("video").duration, chapter + 0.3);
  EXPECT_NEAR(info.Stream("video").start, info.Stream("audio").start, 0.05);

  // The last chapter of the last title: reading it to its end stops the disc.
  const auto last = RunCli("convert -q --dvd " + ShellQuote(dvd.folder.string()) +
                           " --title 2 --chapters 2-2 " + ShellQuote(Out("last.mp4")) +
                           " --option VideoOptions.EncoderVideoCodecName=mpeg4");
  ASSERT_EQ(last.exit_code, 0) << last.output;
  const double last_chapter =
      ScanDvdTitles(dvd.folder.string()).at(1).list_chapter.at(1).duration / 90000.0;
  EXPECT_GE(ProbeMedia(Out("last.mp4")).Stream("video").duration, last_chapter - 0.05);

  const auto no_title = RunCli("convert --dvd " + ShellQuote(dvd.folder.string()) +
                               " --title 9 " + ShellQuote(Out("none.mpg")));
  EXPECT_NE(no_title.exit_code, 0);
}

}  // namespace
}  // namespace veltrano
