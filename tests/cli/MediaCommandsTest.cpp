// The media commands of veltrano-cli, run as the user runs them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/DvdFixture.h"
#include "support/MediaFixture.h"

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
  EXPECT_NE(result.output.find("HasVideo: false\n"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("HasAudio: true\n"), std::string::npos);
  EXPECT_NE(result.output.find("AudioBitrate: 128000\n"), std::string::npos);

  const test::TCommandResult missing = RunCli("probe /nonexistent/clip.wav");
  EXPECT_NE(missing.exit_code, 0);
  const auto text = test::MakeTempFolder("cli-probe") / "notes.txt";
  test::RunCommand("echo not media > " + test::ShellQuote(text.string()));
  const test::TCommandResult invalid = RunCli("probe " + test::ShellQuote(text.string()));
  EXPECT_NE(invalid.exit_code, 0);
  EXPECT_NE(invalid.output.find("Error Opening File!"), std::string::npos) << invalid.output;
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
