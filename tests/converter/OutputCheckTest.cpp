// The check after a completed conversion reads the output back and warns of
// what differs from the request: a stream the muxer dropped, and audio and
// video starting apart. A faithful conversion gives no warning.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "converter/AVConverter.h"
#include "converter/OutputCheck.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::ConvertFiles;
using test::MakeTempFolder;
using test::ProbeMedia;

// The check's warnings among the log lines of a run.
std::vector<std::string> CheckWarnings(const std::vector<std::string>& logs) {
  std::vector<std::string> warnings;
  for (const std::string& line : logs) {
    if (line.find("输出检查") != std::string::npos) warnings.push_back(line);
  }
  return warnings;
}

bool HasStream(const test::TMediaInfo& info, const std::string& kind) {
  for (const test::TStreamInfo& stream : info.streams) {
    if (stream.kind == kind) return true;
  }
  return false;
}

void CopyBoth(TAVConverter& c) {
  c.ConvertOptions().VideoOptions().SetVideoStreamCopy(true);
  c.ConvertOptions().AudioOptions().SetAudioStreamCopy(true);
}

// A source whose audio starts half a second after its video.
fs::path LateAudioClip() {
  test::TClip clip = test::AvClipSpec("mpeg4", "libmp3lame");
  clip.seconds = 3;
  clip.audio_delay = 0.5;
  return test::SharedClip("late-audio.mkv", clip);
}

TEST(OutputCheck, WarnsOfStartsApartAndOfAStreamTheMuxerDropped) {
  const fs::path folder = MakeTempFolder("output-check");
  // Matroska keeps the offset of a copied stream.
  const fs::path apart = folder / "apart.mkv";
  const auto copied = ConvertFiles({LateAudioClip().string()}, {apart.string()}, CopyBoth);
  ASSERT_TRUE(copied.Ok()) << copied.error;
  const auto info = ProbeMedia(apart);
  ASSERT_GT(info.Stream("audio").start - info.Stream("video").start, 0.4);
  const auto warned = CheckWarnings(copied.logs);
  ASSERT_EQ(warned.size(), 1u) << ::testing::PrintToString(copied.logs);
  EXPECT_NE(warned[0].find("输出检查: " + apart.string() + ": 音频与视频的起点相差 0.4"),
            std::string::npos)
      << warned[0];

  // A span that ends before the audio starts: MP4 writes no track for a
  // stream without packets, so the output has video only.
  const fs::path lost = folder / "lost.mp4";
  const auto cut = ConvertFiles({LateAudioClip().string()}, {lost.string()}, [](TAVConverter& c) {
    CopyBoth(c);
    c.ConvertOptions().SetRecordingTime(400'000);
  });
  ASSERT_TRUE(cut.Ok()) << cut.error;
  const auto cut_info = ProbeMedia(lost);
  ASSERT_TRUE(HasStream(cut_info, "video"));
  ASSERT_FALSE(HasStream(cut_info, "audio"));
  const auto missing = CheckWarnings(cut.logs);
  ASSERT_EQ(missing.size(), 1u) << ::testing::PrintToString(cut.logs);
  EXPECT_NE(missing[0].find("输出检查: " + lost.string() + ": 缺少音频流"), std::string::npos)
      << missing[0];
}

TEST(OutputCheck, SaysNothingOfAFaithfulConversion) {
  const fs::path folder = MakeTempFolder("output-clean");
  const fs::path source =
      test::SharedClip("check-clean.mkv", test::AvClipSpec("mpeg4", "libmp3lame"));
  const fs::path mp4 = folder / "clean.mp4";
  const auto encoded = ConvertFiles({source.string()}, {mp4.string()}, [](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("libx264");
    c.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("aac");
  });
  ASSERT_TRUE(encoded.Ok()) << encoded.error;
  EXPECT_TRUE(CheckWarnings(encoded.logs).empty()) << ::testing::PrintToString(encoded.logs);
  EXPECT_TRUE(HasStream(ProbeMedia(mp4), "audio"));

  const fs::path mkv = folder / "clean.mkv";
  const auto copied = ConvertFiles({source.string()}, {mkv.string()}, CopyBoth);
  ASSERT_TRUE(copied.Ok()) << copied.error;
  EXPECT_TRUE(CheckWarnings(copied.logs).empty()) << ::testing::PrintToString(copied.logs);
}

// Bytes flipped in the middle of a faithful output: the check decodes it
// and reports the errors with the time of the first, near the middle.
TEST(OutputCheck, ReportsBytesFlippedInTheMiddleOfTheVideo) {
  const fs::path folder = MakeTempFolder("output-flipped");
  test::TClip clip = test::VideoClipSpec("mpeg4", "320x240");
  clip.seconds = 4;
  const fs::path source = test::SharedClip("check-flip.mkv", clip);
  const fs::path mp4 = folder / "clean.mp4";
  const auto encoded = ConvertFiles({source.string()}, {mp4.string()}, [](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("libx264");
  });
  ASSERT_TRUE(encoded.Ok()) << encoded.error;
  ASSERT_TRUE(CheckWarnings(encoded.logs).empty()) << ::testing::PrintToString(encoded.logs);
  TOutputExpectation expected;
  expected.streams = {{AVMEDIA_TYPE_VIDEO, 100}};
  EXPECT_TRUE(CheckOutputFile(mp4.string(), expected).empty());

  std::ifstream in(mp4, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 600; i += 3) bytes[i] ^= 0x5A;
  const fs::path damaged = folder / "damaged.mp4";
  std::ofstream(damaged, std::ios::binary) << bytes;
  const auto problems = CheckOutputFile(damaged.string(), expected);
  ASSERT_FALSE(problems.empty());
  EXPECT_EQ(problems[0].find("视频流解码出错"), 0u) << problems[0];
  // "… 次, 第一次在 00:00:0S.mmm": the first error lies in the middle second.
  const size_t at = problems[0].find("第一次在 00:00:0");
  ASSERT_NE(at, std::string::npos) << problems[0];
  const int second = problems[0][at + std::string("第一次在 00:00:0").size()] - '0';
  EXPECT_TRUE(second >= 1 && second <= 3) << problems[0];
}

// A copy of MPEG-4 video whose header the source keeps apart from the
// pictures (Matroska) into a transport stream, which has no place for it:
// the pictures cannot be decoded, and the check says so.
TEST(OutputCheck, WarnsOfVideoThatDoesNotDecode) {
  const fs::path folder = MakeTempFolder("output-undecodable");
  const fs::path source =
      test::SharedClip("check-clean.mkv", test::AvClipSpec("mpeg4", "libmp3lame"));
  const fs::path ts = folder / "copy.ts";
  const auto copied = ConvertFiles({source.string()}, {ts.string()}, CopyBoth);
  ASSERT_TRUE(copied.Ok()) << copied.error;
  const auto warned = CheckWarnings(copied.logs);
  ASSERT_FALSE(warned.empty());
  EXPECT_NE(warned[0].find("输出检查: " + ts.string() + ": 视频流解码出错"), std::string::npos)
      << warned[0];
  EXPECT_FALSE(test::RunCommand("ffmpeg -nostdin -v error -i " + test::ShellQuote(ts.string()) +
                                " -f null -")
                   .output.empty());
}

}  // namespace
}  // namespace veltrano
