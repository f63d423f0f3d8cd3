// Every profile of today's category converts a generated clip into what it
// promises: container, codecs, the codec profile and level its device plays,
// a picture within its bound, and no warning that the device may not play it.
// The source fits none of them (FFV1 4:2:2 10-bit and MP2), so every encoder
// works (at its fastest settings); the remux profiles get an H.264 and AAC
// source they can copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/Configuration.h"
#include "common/ProfileOptions.h"
#include "converter/AVConverter.h"
#include "converter/DeviceCatalogue.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::MakeTempFolder;
using test::ProbeMedia;
using test::SharedClip;
using test::TClip;

// What a profile's output must be, written down independently of its code.
struct TPromise {
  const char* name;
  const char* container;      // part of the demuxer's name that reads it back
  const char* video;          // codec; empty for sound only
  const char* video_profile;  // codec profile; empty: any
  int max_level;              // 0: any
  int box_long, box_short;    // 0: any
  const char* audio;          // codec
  int sample_rate;            // 0: the source's (44100)
};

// clang-format off
const TPromise kPromises[] = {
  {"pfPhone1080",   "mp4",      "h264", "High", 41,  1920, 1080, "aac",  0},
  {"pfPhone720",    "mp4",      "h264", "High", 31,  1280, 720,  "aac",  0},
  {"pfTv4kHevc",    "mp4",      "hevc", "Main", 153, 3840, 2160, "aac",  0},
  {"pfTv4kHevcMkv", "matroska", "hevc", "Main", 153, 3840, 2160, "aac",  0},
  {"pfWebVp9",      "webm",     "vp9",  "Profile 0", 0, 1920, 1080, "opus", 48000},
  {"pfWebAv1",      "webm",     "av1",  "Main", 0,   1920, 1080, "opus", 48000},
  {"pfWebAv1Mkv",   "matroska", "av1",  "Main", 0,   1920, 1080, "opus", 48000},
  // Archives keep the sound as it came (MP2 passes through into Matroska).
  {"pfArchiveHevc", "matroska", "hevc", "",     0,   0, 0,       "mp2",  0},
  {"pfArchiveAv1",  "matroska", "av1",  "",     0,   0, 0,       "mp2",  0},
  {"pfOpus",        "ogg",      "",     "",     0,   0, 0,       "opus", 48000},
  {"pfAacLc",       "m4a",      "",     "",     0,   0, 0,       "aac",  0},
  {"pfFlac",        "flac",     "",     "",     0,   0, 0,       "flac", 0},
  {"pfAlac",        "m4a",      "",     "",     0,   0, 0,       "alac", 0},
  {"pfMp3Vbr",      "mp3",      "",     "",     0,   0, 0,       "mp3",  0},
  {"pfRemuxMp4",    "mp4",      "h264", "High", 0,   0, 0,       "aac",  0},
  {"pfRemuxMkv",    "matroska", "h264", "High", 0,   0, 0,       "aac",  0},
};
// clang-format on

// Test names and failure messages show the profile, not the bytes.
void PrintTo(const TPromise& promise, std::ostream* out) {
  *out << promise.name;
}

fs::path SourceFor(const TPromise& promise) {
  TClip clip;
  clip.seconds = 1;
  clip.size = "192x144";
  if (std::string(promise.name).rfind("pfRemux", 0) == 0) {
    clip.video_codec = "libx264";
    clip.audio_codec = "aac";
    clip.extra_output_args = {"-pix_fmt", "yuv420p"};
    return SharedClip("catalogue-remux.mkv", clip);
  }
  clip.video_codec = "ffv1";
  clip.audio_codec = "mp2";
  clip.extra_output_args = {"-pix_fmt", "yuv422p10le"};
  return SharedClip("catalogue-ffv1-mp2.mkv", clip);
}

class DeviceCatalogueConversion : public ::testing::TestWithParam<TPromise> {};

TEST(DeviceCatalogueTest, EveryProfileHasItsPromiseAndTheCategoryComesLast) {
  const auto profiles = DeviceCatalogueProfiles();
  ASSERT_EQ(profiles.size(), std::size(kPromises));
  ASSERT_EQ(static_cast<int>(profiles.size()), kDeviceCatalogueProfileCount);
  for (size_t i = 0; i < profiles.size(); ++i) {
    EXPECT_EQ(profiles[i]->Name(), kPromises[i].name);
    EXPECT_EQ(profiles[i]->Category(), kDeviceCategory);
  }
}

TEST(DeviceCatalogueTest, TheConfigurationDecidesWhetherStreamsThatFitAreCopied) {
  const auto profiles = DeviceCatalogueProfiles();
  TAVConfiguration configuration;
  TAVConvertOptions copying;
  PrepareProfileOptions(copying, *profiles.front(), configuration);
  EXPECT_TRUE(copying.CopyFittingStreams());
  EXPECT_EQ(copying.Device(), "phone-1080p");
  configuration.SetCopyFittingStreams(false);
  TAVConvertOptions encoding;
  PrepareProfileOptions(encoding, *profiles.front(), configuration);
  EXPECT_FALSE(encoding.CopyFittingStreams());
  EXPECT_EQ(encoding.Device(), "phone-1080p");  // the output is still checked for the phone
}

TEST_P(DeviceCatalogueConversion, OutputIsWhatTheProfilePromises) {
  const TPromise& promise = GetParam();
  std::unique_ptr<TAVProfile> profile;
  for (auto& candidate : DeviceCatalogueProfiles()) {
    if (candidate->Name() == promise.name) profile = std::move(candidate);
  }
  ASSERT_NE(profile, nullptr);
  TAVConfiguration configuration;
  configuration.PerformanceOptions().SetThreadCount(2);
  const fs::path source = SourceFor(promise);
  const fs::path target = MakeTempFolder(promise.name) / ("out" + profile->Extension());
  const auto result =
      test::ConvertFiles({source.string()}, {target.string()}, [&](TAVConverter& c) {
        PrepareProfileOptions(c, *profile, configuration);
        // The fastest settings of the slow encoders: what is judged here does not
        // depend on them, the time the suite takes does.
        TAVConvertOptions& o = c.ConvertOptions();
        const std::string& encoder = o.VideoOptions().EncoderVideoCodecName();
        if (encoder == "libx265") o.SetAdvancedOption("preset", "ultrafast");
        if (encoder == "libsvtav1") o.SetAdvancedOption("preset", "12");
        if (encoder == "libvpx-vp9") o.SetAdvancedOption("cpu-used", "8");
      });
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_TRUE(result.errors.empty()) << result.errors.front();
  for (const std::string& line : result.logs) {
    EXPECT_EQ(line.find("输出检查"), std::string::npos) << line;
  }

  const test::TMediaInfo info = ProbeMedia(target);
  ASSERT_TRUE(info.opened);
  EXPECT_NE(info.format.find(promise.container), std::string::npos) << info.format;
  const size_t videos = std::count_if(info.streams.begin(), info.streams.end(),
                                      [](const auto& s) { return s.kind == "video"; });
  EXPECT_EQ(videos, *promise.video != '\0' ? 1u : 0u);
  if (*promise.video != '\0') {
    const test::TStreamInfo& video = info.Stream("video");
    EXPECT_EQ(video.codec, promise.video);
    if (*promise.video_profile != '\0') {
      EXPECT_EQ(video.profile, promise.video_profile);
    }
    if (promise.max_level > 0) {
      EXPECT_GT(video.level, 0);
      EXPECT_LE(video.level, promise.max_level);
    }
    EXPECT_LE(video.width, 192);  // never upscaled
    EXPECT_LE(video.height, 144);
    if (promise.box_long > 0) {
      EXPECT_LE(std::max(video.width, video.height), promise.box_long);
      EXPECT_LE(std::min(video.width, video.height), promise.box_short);
    }
  }
  const test::TStreamInfo& audio = info.Stream("audio");
  EXPECT_EQ(audio.codec, promise.audio);
  EXPECT_EQ(audio.sample_rate, promise.sample_rate != 0 ? promise.sample_rate : 44100);
}

INSTANTIATE_TEST_SUITE_P(TodaysProfiles, DeviceCatalogueConversion, ::testing::ValuesIn(kPromises),
                         [](const ::testing::TestParamInfo<TPromise>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace veltrano
