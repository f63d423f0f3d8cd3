// veltrano-cli as a new user types it: profile names, targets that follow
// the profile, times, tracks, filters and the messages for mistakes. Most
// cases print the stored form with `settings` instead of converting.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>

#include "support/DvdFixture.h"
#include "support/MediaFixture.h"
#include "support/TrackFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::ProbeMedia;
using test::ShellQuote;

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = test::MakeTempFolder("cli-line"); }

  // veltrano-cli run in the test folder with HOME and the configuration there.
  test::TCommandResult Cli(const std::string& arguments) const {
    return test::RunCommand("cd " + ShellQuote(folder_.string()) +
                            " && HOME=" + ShellQuote(folder_.string()) +
                            " XDG_CONFIG_HOME=" + ShellQuote((folder_ / "config").string()) + " " +
                            ShellQuote(VELTRANO_CLI) + " " + arguments);
  }
  // The text of the first <Name> element of what `settings` printed.
  static std::string Element(const std::string& xml, const std::string& name) {
    const std::regex element("<" + name + ">([^<]*)</" + name + ">");
    std::smatch m;
    return std::regex_search(xml, m, element) ? m[1].str() : "(none)";
  }
  std::string TargetOf(const std::string& arguments) const {
    const test::TCommandResult result = Cli("settings " + Source() + " " + arguments);
    EXPECT_EQ(result.exit_code, 0) << arguments << "\n" << result.output;
    return Element(result.output, "TargetFile");
  }
  static std::string Source() {
    return ShellQuote(
        test::SharedClip("cli-line.mp4", test::AvClipSpec("libx264", "aac")).string());
  }
  std::string In(const std::string& name) const { return (folder_ / name).string(); }
  static bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }

  fs::path folder_;
};

TEST_F(CommandLine, TheTargetFollowsTheProfile) {
  EXPECT_EQ(TargetOf("out --profile mp4"), In("out.mp4"));
  EXPECT_EQ(TargetOf("'Holiday 2.1' --profile mp3"), In("Holiday 2.1.mp3"));
  EXPECT_EQ(TargetOf("song.m4a --profile aac"), In("song.m4a"));  // another name for MP4
  EXPECT_EQ(TargetOf("film.mpg --profile dvd-pal"), In("film.mpg"));
  EXPECT_EQ(TargetOf("sub/../shots.jpg --profile jpeg"), In("shots%1d.jpg"));

  const test::TCommandResult wrong = Cli("settings " + Source() + " out.avi --profile mp4");
  EXPECT_EQ(wrong.exit_code, 2);
  EXPECT_TRUE(Has(wrong.output,
                  "the target 'out.avi' does not fit the profile 'MPEG-4视频', "
                  "which writes .mp4 files: name it 'out.mp4', or keep the name "
                  "with --force-extension"))
      << wrong.output;

  // Forced: the name stays and the data is still the profile's MP4.
  const test::TCommandResult forced =
      Cli("convert -q " + Source() + " kept.avi --profile mp4 --force-extension --duration 0.5");
  ASSERT_EQ(forced.exit_code, 0) << forced.output;
  EXPECT_EQ(ProbeMedia(In("kept.avi")).format, "mov,mp4,m4a,3gp,3g2,mj2");

  // A folder gets the source's name; no target means the output folder, and
  // a name that is taken there is not taken again.
  fs::create_directories(folder_ / "music");
  EXPECT_EQ(TargetOf("music --profile mp3"), In("music/shared-cli-line.mp3"));
  const std::string proposed = In("Tellurix转换/shared-cli-line.mp3");
  EXPECT_EQ(TargetOf("--profile mp3"), proposed);
  std::ofstream(proposed) << "an earlier result";
  EXPECT_EQ(TargetOf("--profile mp3"), In("Tellurix转换/shared-cli-line (2).mp3"));

  const test::TCommandResult none = Cli("settings " + Source());
  EXPECT_EQ(none.exit_code, 2);
  EXPECT_TRUE(Has(none.output, "convert needs a TARGET, or a --profile")) << none.output;
}

TEST_F(CommandLine, TimesAreWrittenAsPeopleWriteThem) {
  auto span = [&](const std::string& options) {
    const test::TCommandResult result = Cli("settings " + Source() + " out.mkv " + options);
    EXPECT_EQ(result.exit_code, 0) << options << "\n" << result.output;
    return Element(result.output, "StartTime") + " " + Element(result.output, "RecordingTime");
  };
  EXPECT_EQ(span("--start 1:02:03.5 --duration 90"), "3723500000 90000000");
  EXPECT_EQ(span("--start 0:05 --end 1:00.25"), "5000000 55250000");
  EXPECT_EQ(span("--start 2.5 --duration 00:00:01"), "2500000 1000000");

  const test::TCommandResult seconds = Cli("settings " + Source() + " out.mkv --start 1:75");
  EXPECT_EQ(seconds.exit_code, 2);
  EXPECT_TRUE(Has(seconds.output, "--start: '1:75' is not a time: minutes and seconds go up to 59"))
      << seconds.output;
  const test::TCommandResult words = Cli("settings " + Source() + " out.mkv --duration soon");
  EXPECT_EQ(words.exit_code, 2);
  EXPECT_TRUE(Has(words.output, "write seconds (90 or 2.5), MM:SS (1:30) or HH:MM:SS (1:02:03.5)"))
      << words.output;
  EXPECT_EQ(Cli("settings " + Source() + " out.mkv --duration 1 --end 2").exit_code, 2);
  EXPECT_EQ(Cli("settings " + Source() + " out.mkv --start 10 --end 0:05").exit_code, 2);
}

TEST_F(CommandLine, StoredSettingsKeepAbsolutePathsAndTakeWhatIsAskedOnTop) {
  fs::copy_file(test::SharedClip("cli-line.mp4", test::AvClipSpec("libx264", "aac")),
                In("here.mp4"));
  const test::TCommandResult printed = Cli("settings here.mp4 ./out/../task.mkv");
  ASSERT_EQ(printed.exit_code, 0) << printed.output;
  EXPECT_EQ(Element(printed.output, "SourceFile"), In("here.mp4"));
  EXPECT_EQ(Element(printed.output, "TargetFile"), In("task.mkv"));
  std::ofstream(In("task.xml")) << printed.output;

  const test::TCommandResult changed =
      Cli("settings --settings task.xml --start 0:01 --duration 0.5 --filter vflip");
  ASSERT_EQ(changed.exit_code, 0) << changed.output;
  EXPECT_EQ(Element(changed.output, "StartTime"), "1000000");
  EXPECT_EQ(Element(changed.output, "RecordingTime"), "500000");
  EXPECT_EQ(Element(changed.output, "VideoFilters"), "vflip");

  const test::TCommandResult refused = Cli("convert --settings task.xml --profile mp4");
  EXPECT_EQ(refused.exit_code, 2);
  EXPECT_TRUE(Has(refused.output, "--settings describes the whole conversion")) << refused.output;

  // Run, the span asked on top is the one converted.
  const test::TCommandResult run = Cli("convert -q --settings task.xml --duration 0.5");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_NEAR(ProbeMedia(In("task.mkv")).Stream("video").duration, 0.5, 0.05);
}

TEST_F(CommandLine, ProfilesAreFoundByIdOrLooseNameAndTyposGetSuggestions) {
  auto profile_of = [&](const std::string& name) {
    const test::TCommandResult result =
        Cli("settings " + Source() + " out --profile " + ShellQuote(name));
    EXPECT_EQ(result.exit_code, 0) << name << "\n" << result.output;
    return Element(result.output, "Profile");
  };
  EXPECT_EQ(profile_of("xvid-avi"), "XviD影片(*.avi)");
  EXPECT_EQ(profile_of("XVID影片(*.AVI)"), "XviD影片(*.avi)");
  EXPECT_EQ(profile_of("iphone h264  video"), "IPhone H264 Video");

  const test::TCommandResult typo = Cli("settings " + Source() + " out --profile iphone-h246");
  EXPECT_EQ(typo.exit_code, 2);
  EXPECT_TRUE(Has(typo.output,
                  "No profile is called \"iphone-h246\"; did you mean iphone-h264 "
                  "(IPhone H264 Video)"))
      << typo.output;
  EXPECT_TRUE(Has(typo.output, "\nSee 'veltrano-cli settings --help'.\n")) << typo.output;

  const test::TCommandResult listed = Cli("profiles");
  ASSERT_EQ(listed.exit_code, 0);
  EXPECT_TRUE(std::regex_search(listed.output, std::regex("\n  xvid-avi +XviD影片\\(\\*\\.avi\\)  "
                                                          "\\(\\.avi\\)\n")))
      << listed.output;
  // The image sequences under their own category, which -c takes in any case.
  EXPECT_TRUE(Has(listed.output, "\nImages\n  jpeg ")) << listed.output;
  const test::TCommandResult images = Cli("profiles -c IMAGES");
  EXPECT_EQ(images.exit_code, 0);
  EXPECT_TRUE(Has(images.output, "TIFF Sequence")) << images.output;
  const test::TCommandResult unknown = Cli("profiles -c nosuch");
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_TRUE(Has(unknown.output, "there is no category 'nosuch'; the categories are 视频, 音频,"))
      << unknown.output;
}

TEST_F(CommandLine, FilterEntriesAreCheckedAndExplained) {
  const test::TCommandResult logo = Cli("settings " + Source() + " out.mkv --filter 'logo=10|20'");
  EXPECT_EQ(logo.exit_code, 2);
  EXPECT_TRUE(Has(logo.output,
                  "--filter 'logo=10|20': Invalid logo filter: logo=10|20; the form "
                  "is logo=X|Y|PICTURE, for example logo=10|20|/path/logo.png"))
      << logo.output;
  const test::TCommandResult missing =
      Cli("settings " + Source() + " out.mkv --filter 'logo=1|2|/no/such.png'");
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_TRUE(Has(missing.output, "\"/no/such.png\" does not exist")) << missing.output;
  const test::TCommandResult unknown = Cli("settings " + Source() + " out.mkv --filter blur");
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_TRUE(Has(unknown.output, "the filters are drawtext=, logo=, ass=, drawbox="))
      << unknown.output;
  const test::TCommandResult colour =
      Cli("settings " + Source() + " out.mkv --filter \"drawtext=text='x':color=teal-ish\"");
  EXPECT_EQ(colour.exit_code, 2);
  EXPECT_TRUE(Has(colour.output, "colour 'teal-ish' is neither #RRGGBB nor one of Black,"))
      << colour.output;

  const test::TCommandResult help = Cli("convert --help");
  for (const char* form :
       {"drawtext=text='你好'", "logo=10|20|", "ass=filename$", "drawbox=10:10", "rotate=90",
        "--filter 'vflip'", "--filter 'hflip'", "--filter 'negate'"}) {
    EXPECT_TRUE(Has(help.output, form)) << form << "\n" << help.output;
  }
}

TEST_F(CommandLine, AShortTextOverlayIsStoredInItsFullFormAndDrawn) {
  const test::TCommandResult printed =
      Cli("settings " + Source() + " out.mkv --filter \"drawtext=text='你好'\"");
  ASSERT_EQ(printed.exit_code, 0) << printed.output;
  const std::string entry = Element(printed.output, "VideoFilters");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(entry, m,
                               std::regex(R"(drawtext=fontfile=\\'(.+)\\'#text='你好'#x=10#y=10)"
                                          R"(#fontsize=24#fgcolor=0xFFFFFFFF#bgcolor=0x00000000)")))
      << entry;
  EXPECT_TRUE(fs::is_regular_file(m[1].str())) << m[1];

  const test::TCommandResult placed =
      Cli("settings " + Source() +
          " out.mkv --filter \"drawtext=text='a:b,c':x=20:y=30:size=32:color=Yellow\"");
  ASSERT_EQ(placed.exit_code, 0) << placed.output;
  EXPECT_TRUE(Has(Element(placed.output, "VideoFilters"),
                  "#text='a:b,c'#x=20#y=30#fontsize=32#fgcolor=0xFFFF00FF#"))
      << placed.output;

  const std::string video = " --option VideoOptions.EncoderVideoCodecName=mpeg4 --duration 0.4";
  ASSERT_EQ(Cli("convert -q " + Source() + " plain.mkv" + video).exit_code, 0);
  const test::TCommandResult drawn =
      Cli("convert -q " + Source() + " text.mkv" + video + " --filter \"drawtext=text='你好'\"");
  ASSERT_EQ(drawn.exit_code, 0) << drawn.output;
  EXPECT_NE(ProbeMedia(In("text.mkv")).Stream("video").data_md5,
            ProbeMedia(In("plain.mkv")).Stream("video").data_md5);
}

TEST_F(CommandLine, TracksAreChosenByTheirNumberAsProbeListsThem) {
  const std::string clip = ShellQuote(test::MultiTrackClip().string());
  const std::string copy =
      " --option VideoOptions.VideoStreamCopy=1 --option AudioOptions.AudioStreamCopy=1";
  const test::TCommandResult second =
      Cli("convert -q " + clip + " second.mkv --audio-track 2" + copy);
  ASSERT_EQ(second.exit_code, 0) << second.output;
  test::TMediaInfo info = ProbeMedia(In("second.mkv"));
  ASSERT_EQ(info.streams.size(), 3u);
  EXPECT_EQ(info.streams[0].kind, "video");
  EXPECT_EQ(info.streams[1].kind, "audio");
  EXPECT_EQ(info.streams[1].sample_rate, 22050);
  EXPECT_EQ(info.streams[1].channels, 2);
  EXPECT_EQ(info.streams[1].language, "fra");
  EXPECT_EQ(info.streams[2].kind, "subtitle");

  const test::TCommandResult first =
      Cli("convert -q " + clip + " first.mkv --audio-track 1 --subtitle-track none" + copy);
  ASSERT_EQ(first.exit_code, 0) << first.output;
  info = ProbeMedia(In("first.mkv"));
  ASSERT_EQ(info.streams.size(), 2u);
  EXPECT_EQ(info.Stream("audio").language, "eng");
  EXPECT_EQ(info.Stream("audio").sample_rate, 44100);

  // Re-encoded by a profile, the subtitles as the container's own text.
  const test::TCommandResult profile =
      Cli("convert -q " + clip + " film.mkv --profile mkv --audio-track 2 --subtitle-track 1");
  ASSERT_EQ(profile.exit_code, 0) << profile.output;
  info = ProbeMedia(In("film.mkv"));
  EXPECT_EQ(info.Stream("audio").language, "fra");
  EXPECT_EQ(info.Stream("audio").sample_rate, 48000);
  EXPECT_EQ(info.Stream("subtitle").codec, "ass");
  const test::TCommandResult phone =
      Cli("settings " + clip + " phone.mp4 --profile iphone-h264 --subtitle-track 1");
  EXPECT_EQ(phone.exit_code, 2);
  EXPECT_TRUE(Has(phone.output, "the mp4 container cannot hold subtitle track 1 (subrip)"))
      << phone.output;

  const test::TCommandResult silent =
      Cli("convert -q " + clip + " silent.mkv --audio-track none" + copy);
  ASSERT_EQ(silent.exit_code, 0) << silent.output;
  for (const auto& stream : ProbeMedia(In("silent.mkv")).streams) EXPECT_NE(stream.kind, "audio");

  // A DVD title's tracks are read from a title stream of their own.
  const std::string dvd = " --dvd " + ShellQuote(test::SharedDvd().folder.string()) + " --title 2";
  const test::TCommandResult disc = Cli("convert -q" + dvd + " disc.mkv --audio-track 1" + copy);
  ASSERT_EQ(disc.exit_code, 0) << disc.output;
  EXPECT_NEAR(ProbeMedia(In("disc.mkv")).Stream("audio").duration, 4.0, 0.2);
  EXPECT_EQ(Cli("settings" + dvd + " disc.mkv --audio-track 2").exit_code, 2);

  const test::TCommandResult third = Cli("settings " + clip + " x.mkv --audio-track 3");
  EXPECT_EQ(third.exit_code, 2);
  EXPECT_TRUE(
      Has(third.output, "the source has no audio track 3 (it has 2; see veltrano-cli probe)"))
      << third.output;
}

TEST_F(CommandLine, AllAudioKeepsEveryTrackWithItsOwnSoundWhereTheContainerCan) {
  const std::string clip = ShellQuote(test::MultiTrackClip().string());
  const test::TCommandResult all =
      Cli("convert -q " + clip + " all.mkv --all-audio --option VideoOptions.VideoStreamCopy=1" +
          " --option AudioOptions.EncoderAudioCodecName=aac");
  ASSERT_EQ(all.exit_code, 0) << all.output;
  std::vector<test::TStreamInfo> audio;
  for (const auto& stream : ProbeMedia(In("all.mkv")).streams) {
    if (stream.kind == "audio") audio.push_back(stream);
  }
  ASSERT_EQ(audio.size(), 2u);
  EXPECT_EQ(audio[0].language, "eng");
  EXPECT_EQ(audio[0].sample_rate, 44100);
  EXPECT_EQ(audio[0].channels, 1);
  EXPECT_EQ(audio[1].language, "fra");
  EXPECT_EQ(audio[1].sample_rate, 22050);
  EXPECT_EQ(audio[1].channels, 2);
  for (const auto& track : audio) EXPECT_NEAR(track.duration, 2.0, 0.2);  // AAC frames pad the end

  const test::TCommandResult song = Cli("settings " + clip + " song.mp3 --all-audio");
  EXPECT_EQ(song.exit_code, 2);
  EXPECT_TRUE(Has(song.output, "the mp3 container keeps one audio track and the source has 2"))
      << song.output;
  EXPECT_EQ(Cli("settings " + clip + " x.mkv --all-audio --audio-track 1").exit_code, 2);
}

TEST_F(CommandLine, VersionNamesTheMediaLibrary) {
  const test::TCommandResult version = Cli("--version");
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_TRUE(std::regex_match(
      version.output,
      std::regex(R"(veltrano-cli 0\.\d+\.\d+ \(FFmpeg libavcodec \d+\.\d+\.\d+\)\n)")))
      << version.output;
  const test::TCommandResult nothing = Cli("convert");
  EXPECT_EQ(nothing.exit_code, 2);
  EXPECT_TRUE(Has(nothing.output,
                  "veltrano-cli convert: give a SOURCE and a TARGET\n"
                  "See 'veltrano-cli convert --help'.\n"))
      << nothing.output;
}

}  // namespace
}  // namespace veltrano
