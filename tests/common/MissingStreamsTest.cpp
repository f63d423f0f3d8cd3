// Every catalogue profile with a source that has only video and with one
// that has only sound: the conversion either writes what it can (a PSP file,
// which needs both, gets a silent track) or fails with a message that names
// the target and the stream that is missing; never a bare library error.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/Configuration.h"
#include "common/ProfileOptions.h"
#include "converter/AVConverter.h"
#include "converter/ProfileCatalogue.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

const TAVProfileList& Catalogue() {
  static TAVProfileList list;
  if (list.ProfileCount() == 0) BuildCatalogue(list);
  return list;
}

fs::path VideoOnly() {
  test::TClip clip = test::VideoClipSpec("mpeg4", "160x120");
  clip.seconds = 0.6;
  return test::SharedClip("missing-video-only.mp4", clip);
}

fs::path AudioOnly() {
  test::TClip clip;
  clip.video = false;
  clip.seconds = 0.6;
  clip.audio_codec = "aac";
  return test::SharedClip("missing-audio-only.m4a", clip);
}

bool HasKind(const test::TMediaInfo& info, const std::string& kind) {
  for (const auto& stream : info.streams) {
    if (stream.kind == kind) return true;
  }
  return false;
}

class MissingStreams : public ::testing::TestWithParam<int> {};

TEST_P(MissingStreams, AProfileWritesWhatItCanOrSaysWhatIsMissing) {
  const TAVProfile& profile = *Catalogue().Profiles(GetParam());
  SCOPED_TRACE(profile.Name() + " \"" + profile.Description() + "\"");
  TAVConfiguration configuration;
  configuration.PerformanceOptions().SetThreadCount(2);
  const std::string extension = profile.Extension().empty() ? ".png" : profile.Extension();
  const bool numbered = extension.find('%') != std::string::npos;
  for (const auto& [source, kind] : {std::pair{VideoOnly(), std::string("video")},
                                     std::pair{AudioOnly(), std::string("audio")}}) {
    SCOPED_TRACE(kind + " only");
    const fs::path folder = test::MakeTempFolder(profile.Name());
    const fs::path target = folder / ((numbered ? "frame" : "out") + extension);
    const auto result = test::ConvertFiles(
        {source.string()}, {target.string()},
        [&](TAVConverter& c) { PrepareProfileOptions(c, profile, configuration); });
    ASSERT_TRUE(result.ended);
    if (!result.error.empty()) {
      // Refused: the message names the target and the stream the source lacks.
      EXPECT_NE(result.error.find(target.string()), std::string::npos) << result.error;
      EXPECT_NE(result.error.find(kind == "video" ? "没有音频流" : "没有视频流"), std::string::npos)
          << result.error;
      EXPECT_TRUE(fs::is_empty(folder)) << "a refused conversion leaves nothing";
      continue;
    }
    ASSERT_EQ(result.completed, 1);
    if (numbered) continue;
    const auto info = test::ProbeMedia(target);
    ASSERT_TRUE(info.opened);
    EXPECT_TRUE(HasKind(info, kind));
    if (std::string(profile.Name()).rfind("pfPSP", 0) == 0) {
      // A PSP file holds one video and one audio stream: silence stands in.
      EXPECT_TRUE(HasKind(info, "audio"));
      bool said = false;
      for (const std::string& line : result.logs)
        said |= line.find("silent track") != std::string::npos;
      EXPECT_TRUE(said) << ::testing::PrintToString(result.logs);
      EXPECT_NEAR(info.Stream("audio").duration, info.Stream("video").duration, 0.1);
    }
    for (const std::string& line : result.logs) {
      EXPECT_EQ(line.find("输出检查"), std::string::npos) << line;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllProfiles, MissingStreams, ::testing::Range(0, kCatalogueProfileCount),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return Catalogue().Profiles(info.param)->Name();
                         });

}  // namespace
}  // namespace veltrano
