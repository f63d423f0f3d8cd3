// Every profile of the catalogue converts a generated clip into what the
// profile asks for: codecs, container, picture size, frame rate, channels and
// sample rate, judged by reading the output with libavformat.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/Configuration.h"
#include "common/ProfileOptions.h"
#include "converter/AVConverter.h"
#include "converter/LegacyOptions.h"
#include "converter/ProfileCatalogue.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::MakeTempFolder;
using test::ProbeMedia;
using test::SharedClip;
using test::TClip;

const TAVProfileList& Catalogue() {
  static TAVProfileList list;
  if (list.ProfileCount() == 0) BuildCatalogue(list);
  return list;
}

bool TakesVideo(const TAVProfile& profile) {
  return dynamic_cast<const TAVCustomVideoProfile*>(&profile) != nullptr ||
         dynamic_cast<const TAVCustomAudioProfile*>(&profile) == nullptr;
}

fs::path SourceFor(const TAVProfile& profile) {
  TClip clip;
  clip.seconds = 1;
  clip.size = "320x240";
  clip.video_codec = "mpeg4";
  clip.audio_codec = "aac";
  if (!TakesVideo(profile)) {
    clip.video = false;
    return SharedClip("catalogue-audio.m4a", clip);
  }
  return SharedClip("catalogue-video.mp4", clip);
}

// The codec name the library reports for what encoder `name` writes.
std::string CodecOf(const std::string& name) {
  const AVCodec* codec = avcodec_find_encoder_by_name(ReplacementEncoder(name).c_str());
  return codec != nullptr ? avcodec_get_name(codec->id) : std::string("?");
}

double MeasuredRate(const test::TStreamInfo& video) {
  return video.duration > 0 ? (video.packets - 1) / video.duration : 0;
}

class CatalogueConversion : public ::testing::TestWithParam<int> {};

TEST_P(CatalogueConversion, OutputHasWhatTheProfileAsksFor) {
  const TAVProfile& profile = *Catalogue().Profiles(GetParam());
  SCOPED_TRACE(profile.Name() + " \"" + profile.Description() + "\"");
  TAVConfiguration configuration;
  configuration.PerformanceOptions().SetThreadCount(2);
  TAVConvertOptions expected;
  PrepareProfileOptions(expected, profile, configuration);

  const fs::path folder = MakeTempFolder(profile.Name());
  const std::string extension = profile.Extension().empty() ? ".png" : profile.Extension();
  const bool numbered = extension.find('%') != std::string::npos;
  const fs::path target = folder / ((numbered ? std::string("frame") : std::string("out")) + extension);
  const auto result = test::ConvertFiles({SourceFor(profile).string()}, {target.string()},
                                         [&](TAVConverter& c) {
                                           PrepareProfileOptions(c, profile, configuration);
                                         });
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_TRUE(result.errors.empty());
  const fs::path written = numbered ? folder / "frame1" += extension.substr(extension.find('d') + 1)
                                    : target;
  const auto info = ProbeMedia(written);
  ASSERT_TRUE(info.opened) << written;

  const TVideoOptions& v = expected.VideoOptions();
  const TAudioOptions& a = expected.AudioOptions();
  if (TakesVideo(profile) && !v.VideoDisable()) {
    const auto& video = info.Stream("video");
    if (!v.EncoderVideoCodecName().empty()) {
      EXPECT_EQ(video.codec, CodecOf(v.EncoderVideoCodecName()));
    }
    EXPECT_EQ(video.width, v.FrameWidth() != 0 ? v.FrameWidth() : 320);
    EXPECT_EQ(video.height, v.FrameHeight() != 0 ? v.FrameHeight() : 240);
    if (!numbered) {
      const double rate = v.CustomFrameRate()
                              ? static_cast<double>(v.FrameRate().num()) / v.FrameRate().den()
                              : 25.0;
      const double measured = MeasuredRate(video);
      EXPECT_TRUE(std::abs(video.frame_rate - rate) < 0.01 * rate ||
                  std::abs(measured - rate) < 0.06 * rate)
          << "frame rate " << video.frame_rate << ", measured " << measured << ", wanted " << rate;
    }
  }
  if (!numbered && !a.AudioDisable()) {
    const auto& audio = info.Stream("audio");
    if (!a.EncoderAudioCodecName().empty()) {
      EXPECT_EQ(audio.codec, CodecOf(a.EncoderAudioCodecName()));
    }
    if (a.AudioSampleRate() != 0) {
      EXPECT_EQ(audio.sample_rate, a.AudioSampleRate());
    }
    if (a.AudioChannels() != 0) {
      EXPECT_EQ(audio.channels, a.AudioChannels());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllProfiles, CatalogueConversion,
                         ::testing::Range(0, kCatalogueProfileCount),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return Catalogue().Profiles(info.param)->Name();
                         });

}  // namespace
}  // namespace veltrano
