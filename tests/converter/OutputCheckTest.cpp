// The check after a completed conversion reads the output back and warns of
// what differs from the request: a stream the muxer dropped, and audio and
// video starting apart. A faithful conversion gives no warning.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "converter/AVConverter.h"
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

  const fs::path ts = folder / "clean.ts";
  const auto copied = ConvertFiles({source.string()}, {ts.string()}, CopyBoth);
  ASSERT_TRUE(copied.Ok()) << copied.error;
  EXPECT_TRUE(CheckWarnings(copied.logs).empty()) << ::testing::PrintToString(copied.logs);
}

}  // namespace
}  // namespace veltrano
