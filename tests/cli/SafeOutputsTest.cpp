// What veltrano-cli convert never does to a user's files: convert a source
// onto itself, replace an existing file unasked, leave a half-written file
// under the final name, or let a stored option make an encoder write a file.
// And what it tells: the reason of a failed write, and a completed output
// that differs from the request.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "support/DvdFixture.h"
#include "support/MediaFixture.h"
#include "support/WorkFiles.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::MakeTempFolder;
using test::ProbeMedia;
using test::ShellQuote;

std::string Cli() {
  return VELTRANO_CLI;
}

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Every file under `folder` (by its relative name) with its bytes.
std::map<std::string, std::string> FilesUnder(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      files[entry.path().lexically_relative(folder).string()] = Contents(entry.path());
    }
  }
  return files;
}

class SafeOutputs : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTempFolder("safe-outputs");
    setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    test::TClip clip;
    clip.video = false;
    clip.seconds = 3;
    clip.audio_codec = "libmp3lame";
    song_ = test::MakeClip(folder_ / "song.mp3", clip);
  }
  // Runs `veltrano-cli ARGUMENTS` in the test folder, without a terminal,
  // after the shell commands `prefix` (limits, say).
  test::TCommandResult Run(const std::string& arguments, const std::string& prefix = "") const {
    return test::RunCommand("cd " + ShellQuote(folder_.string()) + " && (" + prefix +
                            ShellQuote(Cli()) + " " + arguments + " </dev/null)");
  }
  test::TCommandResult Convert(const std::string& arguments) const {
    return Run("convert " + arguments);
  }
  // The command line resolves names against the folder it runs in and says
  // the resolved name.
  std::string In(const std::string& name) const {
    return (folder_ / name).lexically_normal().string();
  }
  fs::path folder_;
  fs::path song_;
};

TEST_F(SafeOutputs, ASourceIsNeverItsOwnTarget) {
  const std::string original = Contents(song_);
  fs::create_directory(folder_ / "sub");
  fs::create_symlink(song_, folder_ / "link.mp3");
  fs::create_hard_link(song_, folder_ / "hard.mp3");
  const std::vector<std::string> targets{song_.string(), "./song.mp3", "sub/../song.mp3",
                                         "link.mp3", "hard.mp3"};
  for (const std::string& target : targets) {
    const auto result = Convert("song.mp3 " + ShellQuote(target) + " --profile 'MP3 Audio' -y");
    EXPECT_EQ(result.exit_code, 1) << target << ": " << result.output;
    EXPECT_TRUE(Has(result.output, "输出文件与源文件相同: " + In(target))) << result.output;
    EXPECT_EQ(Contents(song_), original) << target;
  }
  // A stored conversion naming the source as its target.
  const auto stored =
      test::RunCommand(ShellQuote(Cli()) + " settings " + ShellQuote(song_.string()) + " " +
                       ShellQuote(song_.string()) + " --profile 'MP3 Audio' > " +
                       ShellQuote((folder_ / "task.xml").string()));
  ASSERT_EQ(stored.exit_code, 0) << stored.output;
  const auto result = Convert("--settings task.xml -y");
  EXPECT_EQ(result.exit_code, 1) << result.output;
  EXPECT_TRUE(Has(result.output, "输出文件与源文件相同")) << result.output;
  EXPECT_EQ(Contents(song_), original);
  EXPECT_TRUE(fs::is_symlink(folder_ / "link.mp3"));
}

// A title's source is its whole disc: no file of it is a target, whichever
// name the disc or the file goes by.
TEST_F(SafeOutputs, NoFileOfADiscIsTheTargetOfItsTitle) {
  const fs::path disc = folder_ / "disc";
  fs::copy(test::SharedDvd().folder, disc, fs::copy_options::recursive);
  fs::create_symlink(disc / "VIDEO_TS" / "VTS_01_1.VOB", folder_ / "title.vob");
  std::vector<std::pair<std::string, std::string>> cases;  // the --dvd path, the target
  for (const std::string dvd : {"disc", "disc/VIDEO_TS"}) {
    cases.emplace_back(dvd, "disc/VIDEO_TS/VTS_01_1.VOB");
    cases.emplace_back(dvd, "title.vob");
  }
  if (!test::SharedDvd().iso.empty()) {
    fs::copy_file(test::SharedDvd().iso, folder_ / "disc.iso");
    fs::create_symlink(folder_ / "disc.iso", folder_ / "image.vob");
    cases.emplace_back("disc.iso", "image.vob");
  }
  const auto disc_before = FilesUnder(disc);
  const std::string image_before = Contents(folder_ / "disc.iso");
  const std::string copy =
      " --option VideoOptions.VideoStreamCopy=1 --option AudioOptions.AudioStreamCopy=1";
  for (const auto& [dvd, target] : cases) {
    const auto result = Convert("--dvd " + dvd + " --title 1 " + ShellQuote(target) + " -y" + copy);
    EXPECT_EQ(result.exit_code, 1) << dvd << " -> " << target << ": " << result.output;
    EXPECT_TRUE(Has(result.output, "输出文件与源文件相同: " + In(target))) << result.output;
  }
  EXPECT_TRUE(FilesUnder(disc) == disc_before) << "a file of the disc changed or appeared";
  EXPECT_TRUE(Contents(folder_ / "disc.iso") == image_before) << "the image changed";
  EXPECT_TRUE(fs::is_symlink(folder_ / "title.vob"));
  EXPECT_TRUE(test::WorkFilesUnder(folder_).empty());
}

TEST_F(SafeOutputs, AnExistingTargetIsReplacedOnlyWhenAllowed) {
  const fs::path target = folder_ / "out.mp3";
  std::ofstream(target) << "keep me";
  for (const std::string flag : {"", "-n"}) {
    const auto refused = Convert("song.mp3 out.mp3 --profile 'MP3 Audio' " + flag);
    EXPECT_EQ(refused.exit_code, 1) << refused.output;
    EXPECT_TRUE(Has(refused.output, "目标文件已存在: " + In("out.mp3"))) << refused.output;
    EXPECT_EQ(Contents(target), "keep me");
    EXPECT_TRUE(test::WorkFilesOf(target).empty());
  }
  const auto replaced = Convert("song.mp3 out.mp3 --profile 'MP3 Audio' --overwrite");
  ASSERT_EQ(replaced.exit_code, 0) << replaced.output;
  EXPECT_NEAR(ProbeMedia(target).Stream("audio").duration, 3.0, 0.1);
  EXPECT_TRUE(test::WorkFilesOf(target).empty());
  EXPECT_NE(Convert("song.mp3 out.mp3 -y -n").exit_code, 0);  // one or the other
}

// On a terminal (script(1) gives the command one) the user is asked.
TEST_F(SafeOutputs, ATerminalIsAskedBeforeATargetIsReplaced) {
  const fs::path target = folder_ / "asked.mp3";
  std::ofstream(target) << "keep me";
  auto ask = [&](const std::string& answer) {
    const std::string command =
        ShellQuote(Cli()) + " convert -q song.mp3 asked.mp3 --profile 'MP3 Audio'";
    return test::RunCommand("cd " + ShellQuote(folder_.string()) + " && printf '" + answer +
                            "\\n' | script -qec " + ShellQuote(command) + " /dev/null");
  };
  const auto no = ask("n");
  EXPECT_EQ(no.exit_code, 1) << no.output;
  EXPECT_TRUE(Has(no.output, "File '" + In("asked.mp3") + "' already exists. Overwrite? [y/N]"))
      << no.output;
  EXPECT_EQ(Contents(target), "keep me");
  const auto yes = ask("y");
  EXPECT_EQ(yes.exit_code, 0) << yes.output;
  EXPECT_NEAR(ProbeMedia(target).Stream("audio").duration, 3.0, 0.1);
}

TEST_F(SafeOutputs, AFailedRunLeavesNoFileAndSaysWhy) {
  // An encoder that refuses the picture size fails after the output was opened.
  const auto odd =
      Convert(ShellQuote(test::SharedClip("safe-odd.mkv", test::VideoClipSpec("mpeg4")).string()) +
              " odd.mp4 --option VideoOptions.EncoderVideoCodecName=libx264"
              " --option VideoOptions.FrameWidth=161 --option VideoOptions.FrameHeight=121");
  EXPECT_EQ(odd.exit_code, 1) << odd.output;
  EXPECT_TRUE(Has(odd.output,
                  "Error while opening codec for output stream #0:0 - maybe incorrect "
                  "parameters such as bit_rate, rate, width or height ("))
      << odd.output;
  EXPECT_FALSE(fs::exists(folder_ / "odd.mp4"));
  EXPECT_TRUE(test::WorkFilesOf(folder_ / "odd.mp4").empty());

  const auto missing = Convert("nothing.mp3 x.mp3");
  EXPECT_TRUE(Has(missing.output, "nothing.mp3: No such file or directory")) << missing.output;

  std::ofstream(folder_ / "plain") << "a file, not a folder";
  const auto blocked = Convert("song.mp3 plain/x.mp3 --profile 'MP3 Audio'");
  EXPECT_EQ(blocked.exit_code, 1);
  EXPECT_TRUE(Has(blocked.output, "打不开文件 " + In("plain/x.mp3") + ": Not a directory"))
      << blocked.output;
}

TEST_F(SafeOutputs, EncoderOptionsThatNameFilesAreRefused) {
  const fs::path dump = folder_ / "dump.yuv";
  const auto direct =
      Convert("song.mp3 a.mp4 --codec-option " + ShellQuote("x264opts=dump-yuv=" + dump.string()));
  EXPECT_EQ(direct.exit_code, 1) << direct.output;
  EXPECT_TRUE(Has(direct.output, "names a file and is refused")) << direct.output;

  const auto stored = test::RunCommand(
      ShellQuote(Cli()) + " settings " +
      ShellQuote(test::SharedClip("safe-video.mkv", test::VideoClipSpec("mpeg4")).string()) + " " +
      ShellQuote((folder_ / "b.mp4").string()) +
      " --option VideoOptions.EncoderVideoCodecName=libx264 --option " +
      ShellQuote("CodecOptions+=x264opts=dump-yuv=" + dump.string()) + " > " +
      ShellQuote((folder_ / "dump.xml").string()));
  ASSERT_EQ(stored.exit_code, 0) << stored.output;
  const auto result = Convert("--settings dump.xml");
  EXPECT_EQ(result.exit_code, 1) << result.output;
  EXPECT_TRUE(Has(result.output, "x264opts=dump-yuv=")) << result.output;
  EXPECT_FALSE(fs::exists(dump));
  EXPECT_FALSE(fs::exists(folder_ / "b.mp4"));
  EXPECT_TRUE(test::WorkFilesOf(folder_ / "b.mp4").empty());
}

// A small file system: a tmpfs mounted for the test where it may mount one,
// else a limit of the file size for the commands run under Limit() (the
// reason then reads "File too large"). Unmounted when it goes, whatever the
// test's outcome.
class TSmallDisk {
 public:
  TSmallDisk(const fs::path& folder, int kilobytes)
      : folder_(folder), kilobytes_(std::to_string(kilobytes)) {
    fs::create_directory(folder_);
    mounted_ = test::RunCommand("mount -t tmpfs -o size=" + kilobytes_ + "k tmpfs " +
                                ShellQuote(folder_.string()) + " 2>/dev/null")
                   .exit_code == 0;
  }
  ~TSmallDisk() {
    if (mounted_) test::RunCommand("umount " + ShellQuote(folder_.string()));
  }
  TSmallDisk(const TSmallDisk&) = delete;
  TSmallDisk& operator=(const TSmallDisk&) = delete;

  // Shell commands that make the disk's room the limit where nothing is mounted.
  std::string Limit() const {
    return mounted_ ? "" : "trap '' XFSZ; ulimit -f " + kilobytes_ + "; ";
  }
  // Why a write beyond the room fails.
  std::string Reason() const { return mounted_ ? "No space left on device" : "File too large"; }

 private:
  fs::path folder_;
  std::string kilobytes_;
  bool mounted_ = false;
};

// Audio that takes far more room than a small disk has.
fs::path LongWav(const fs::path& folder) {
  test::TClip clip;
  clip.video = false;
  clip.seconds = 60;
  clip.audio_codec = "pcm_s16le";
  return test::MakeClip(folder / "long.wav", clip);
}

TEST_F(SafeOutputs, AFullDiskFailsWithTheReasonAndLeavesNothing) {
  LongWav(folder_);
  const fs::path small = folder_ / "small";
  const TSmallDisk disk(small, 256);
  const auto result =
      Run("convert long.wav small/out.wav --option AudioOptions.EncoderAudioCodecName=pcm_s16le",
          disk.Limit());
  EXPECT_EQ(result.exit_code, 1) << result.output;
  EXPECT_TRUE(Has(result.output, "small/out.wav: " + disk.Reason())) << result.output;
  EXPECT_FALSE(fs::exists(small / "out.wav"));
  EXPECT_TRUE(test::WorkFilesOf(small / "out.wav").empty());
}

// Two tasks of one `queue run` convert at once; the one whose disk fills
// fails alone, and the other goes on to a complete output.
TEST_F(SafeOutputs, AFullDiskFailsOnlyItsOwnConversion) {
  LongWav(folder_);
  test::TClip spec = test::VideoClipSpec("mpeg4", "320x240");
  spec.seconds = 6;
  test::MakeClip(folder_ / "clip.mkv", spec);
  const fs::path small = folder_ / "small";
  const TSmallDisk disk(small, 4096);
  const auto full = Run("queue add long.wav --profile wav --target " + In("small/out.wav"));
  ASSERT_EQ(full.exit_code, 0) << full.output;
  const auto good = Run("queue add clip.mkv --profile iphone-h264 --target " + In("good.mp4"));
  ASSERT_EQ(good.exit_code, 0) << good.output;

  const auto run = Run("queue run", disk.Limit());
  EXPECT_EQ(run.exit_code, 1) << run.output;
  const size_t failed = run.output.find("Failed task 1: ");
  const size_t converted = run.output.find("Converted task 2: " + In("good.mp4"));
  ASSERT_NE(failed, std::string::npos) << run.output;
  ASSERT_NE(converted, std::string::npos) << run.output;
  EXPECT_LT(failed, converted) << "the two conversions did not overlap: " << run.output;
  EXPECT_TRUE(Has(run.output.substr(failed, converted - failed), disk.Reason())) << run.output;
  EXPECT_TRUE(Has(run.output, "1 converted, 1 failed")) << run.output;
  EXPECT_FALSE(fs::exists(small / "out.wav"));
  EXPECT_TRUE(test::WorkFilesUnder(folder_).empty());
  const auto played = ProbeMedia(folder_ / "good.mp4");
  EXPECT_EQ(played.Stream("video").codec, "h264");
  EXPECT_NEAR(played.Stream("video").duration, 6.0, 0.1);
}

TEST_F(SafeOutputs, TheCheckAfterAConversionWarnsOfAShortOutput) {
  const auto longer = Convert("song.mp3 span.mp3 --profile 'MP3 Audio' --duration 8");
  EXPECT_EQ(longer.exit_code, 0) << longer.output;
  EXPECT_TRUE(Has(longer.output, "输出检查: " + In("span.mp3") + ": 时长 3.0 秒, 要求 8.0 秒"))
      << longer.output;

  const auto exact = Convert("song.mp3 whole.mp3 --profile 'MP3 Audio'");
  EXPECT_EQ(exact.exit_code, 0) << exact.output;
  EXPECT_FALSE(Has(exact.output, "输出检查")) << exact.output;
}

}  // namespace
}  // namespace veltrano
