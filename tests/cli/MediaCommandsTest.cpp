// The media commands of veltrano-cli, run as the user runs them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/DvdFixture.h"
#include "support/MediaFixture.h"
#include "support/TrackFixture.h"

namespace veltrano {
namespace {

// The veltrano-cli built with these tests.
std::string Cli() { return VELTRANO_CLI; }

test::TCommandResult RunCli(const std::string& arguments) {
  return test::RunCommand(test::ShellQuote(Cli()) + " " + arguments);
}

TEST(MediaCommands, ProbeShowsTheStreams) {
  test::TClip clip;
  clip.video = false;
  clip.audio_codec = "pcm_s16le";
  clip.sample_rate = 8000;
  clip.channels = 1;
  const auto wav = test::SharedClip("cli-tone.wav", clip);
  const test::TCommandResult result = RunCli("probe " + test::ShellQuote(wav.string()));
  EXPECT_EQ(result.exit_code, 0) << result.output;
  EXPECT_NE(result.output.find("Container: wav (WAV / WAVE (Waveform Audio))\n"), std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("Duration: 00:00:02.000  Bit rate: 128 kbit/s\n"), std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("  #0   audio    1   pcm_s16le  1 ch  8000 Hz  128 kbit/s\n"),
            std::string::npos)
      << result.output;

  const test::TCommandResult missing = RunCli("probe /nonexistent/clip.wav");
  EXPECT_EQ(missing.exit_code, 1);
  // The folder on the way is what is missing, and the message says so.
  EXPECT_NE(missing.output.find("/nonexistent/clip.wav: 文件夹 /nonexistent 不存在"),
            std::string::npos)
      << missing.output;
  const auto text = test::MakeTempFolder("cli-probe") / "notes.txt";
  test::RunCommand("echo not media > " + test::ShellQuote(text.string()));
  const test::TCommandResult invalid = RunCli("probe " + test::ShellQuote(text.string()));
  EXPECT_EQ(invalid.exit_code, 1);
  EXPECT_NE(invalid.output.find("notes.txt: not a media file (Invalid data found when processing "
                                "input)"),
            std::string::npos)
      << invalid.output;
}

TEST(MediaCommands, ProbeJsonListsEveryTrack) {
  const std::string clip = test::MultiTrackClip().string();
  const test::TCommandResult result = RunCli("probe --json " + test::ShellQuote(clip));
  ASSERT_EQ(result.exit_code, 0) << result.output;
  const std::string& json = result.output;
  auto has = [&json](const std::string& part) { return json.find(part) != std::string::npos; };
  EXPECT_TRUE(has("{\n  \"file\": \"" + clip + "\",\n")) << json;
  EXPECT_TRUE(has("\"container\": \"matroska,webm\",")) << json;
  EXPECT_TRUE(has("\"duration\": 2.0")) << json;
  EXPECT_TRUE(has(R"({"index": 0, "kind": "video", "track": 1, "codec": "h264", "language": null, )"
                  R"("title": null, "default": )"))
      << json;
  EXPECT_TRUE(has(R"("width": 160, "height": 120, "frame_rate": 25})")) << json;
  EXPECT_TRUE(has(R"({"index": 1, "kind": "audio", "track": 1, "codec": "aac", "language": "eng")"))
      << json;
  EXPECT_TRUE(has(R"("channels": 1, "sample_rate": 44100})")) << json;
  EXPECT_TRUE(has(R"({"index": 2, "kind": "audio", "track": 2, "codec": "aac", "language": "fra", )"
                  R"("title": "Commentary", )"))
      << json;
  EXPECT_TRUE(has(R"("channels": 2, "sample_rate": 22050})")) << json;
  EXPECT_TRUE(has(R"({"index": 3, "kind": "subtitle", "track": 1, "codec": "subrip", )"
                  R"("language": "chi", )"))
      << json;
  // Exactly the four streams, the document closed.
  EXPECT_EQ(json.find("\"index\": 4"), std::string::npos) << json;
  EXPECT_EQ(json.substr(json.size() - 6), "  ]\n}\n") << json;
}

TEST(MediaCommands, DvdListsTitles) {
  const test::TCommandResult result =
      RunCli("dvd " + test::ShellQuote(test::SharedDvd().folder.string()));
  EXPECT_EQ(result.exit_code, 0) << result.output;
  EXPECT_NE(result.output.find("1(00:00:06) chapters: 3 angles: 1\n"), std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find("2(00:00:04) chapters: 2 angles: 1\n"), std::string::npos);

  const test::TCommandResult missing = RunCli("dvd /nonexistent/disc");
  EXPECT_NE(missing.exit_code, 0);
  EXPECT_NE(missing.output.find("打不开DVD"), std::string::npos) << missing.output;
}

}  // namespace
}  // namespace veltrano
