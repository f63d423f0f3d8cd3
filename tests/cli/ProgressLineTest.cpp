// The progress line of `convert` on a terminal: veltrano-cli runs under a
// pseudo-terminal (script(1)) and the transcript is read from the first
// tick to the summary.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/MediaFixture.h"

namespace veltrano {
namespace {

using test::ShellQuote;

// The texts a terminal shows one after another: the transcript split where
// the cursor goes back to the start of a line, control sequences removed.
std::vector<std::string> ShownTexts(const std::string& transcript) {
  const std::string plain =
      std::regex_replace(transcript, std::regex("\033\\[[0-9;]*[A-Za-z]"), "");
  std::vector<std::string> texts;
  std::string text;
  for (char c : plain) {
    if (c == '\r' || c == '\n') {
      if (!text.empty()) texts.push_back(text);
      text.clear();
    } else {
      text += c;
    }
  }
  if (!text.empty()) texts.push_back(text);
  return texts;
}

size_t Columns(const std::string& text) {
  size_t columns = 0;
  for (char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return columns;
}

TEST(ProgressLine, FromTheFirstTickToTheSummaryOnATerminal) {
  test::TClip spec = test::AvClipSpec("libx264", "aac");
  spec.seconds = 8;
  spec.size = "640x360";
  const std::string source = test::SharedClip("progress.mp4", spec).string();
  const std::string name = "a-long-name-that-cannot-fit-beside-the-figures-of-the-line.mp4";
  const std::string target = (test::MakeTempFolder("progress") / name).string();
  const std::string command = ShellQuote(VELTRANO_CLI) + " convert " + ShellQuote(source) + " " +
                              ShellQuote(target) + " --profile iphone-h264 --threads 1";
  const test::TCommandResult run =
      test::RunCommand("COLUMNS=80 script -qec " + ShellQuote(command) + " /dev/null");
  ASSERT_EQ(run.exit_code, 0) << run.output;
  EXPECT_EQ(run.output.find("%%"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("100:40:39"), std::string::npos) << run.output;

  const std::regex progress(
      R"((.*?)  +(\d{1,3})%  .*elapsed (\d\d:\d\d:\d\d)  left (\d\d:\d\d:\d\d|--:--:--))");
  std::vector<int> percents;
  size_t summary_at = 0;
  const std::vector<std::string> texts = ShownTexts(run.output);
  for (size_t i = 0; i < texts.size(); ++i) {
    std::smatch m;
    if (std::regex_match(texts[i], m, progress)) {
      EXPECT_LE(Columns(texts[i]), 79u) << texts[i];
      // The name gives way to the figures.
      EXPECT_EQ(m[1].str().rfind("a-long-name-", 0), 0u) << texts[i];
      EXPECT_EQ(m[1].str().substr(m[1].str().size() - 3), "…") << texts[i];
      percents.push_back(std::stoi(m[2]));
    } else if (texts[i].rfind("Done: ", 0) == 0) {
      summary_at = i;
      EXPECT_TRUE(std::regex_match(
          texts[i], std::regex("Done: " + name +
                               R"(  \d+\.\d (KiB|MiB)  00:00:0[78] of media )"
                               R"(in \d\d:\d\d:\d\d \((\d+\.\dx real time|at once)\))")))
          << texts[i];
    }
  }
  ASSERT_GE(percents.size(), 2u) << run.output;
  EXPECT_LT(percents.front(), 100);
  EXPECT_EQ(percents.back(), 100);
  for (size_t i = 1; i < percents.size(); ++i) EXPECT_GE(percents[i], percents[i - 1]);
  // The summary is the last thing shown, after the line at 100 %.
  ASSERT_GT(summary_at, 0u) << run.output;
  EXPECT_EQ(summary_at, texts.size() - 1) << run.output;
  EXPECT_TRUE(std::regex_match(texts[summary_at - 1], progress)) << texts[summary_at - 1];
}

}  // namespace
}  // namespace veltrano
