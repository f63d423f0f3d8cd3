// The estimated output size against what a conversion really writes.
#include "common/SizeEstimate.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "common/Configuration.h"
#include "common/ProfileOptions.h"
#include "common/ProfileStore.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

// 6 s of 352x288 pictures and sound full of noise: no encoder gets them
// below the bit rate it is given.
const fs::path& NoisyClip() {
  static const fs::path clip = [] {
    const fs::path path = test::MakeTempFolder("noisy") / "noisy.mkv";
    const auto result = test::RunCommand(
        "ffmpeg -nostdin -v error -y -f lavfi -i "
        "'testsrc2=size=352x288:rate=25:duration=6,noise=alls=80:allf=t+u' "
        "-f lavfi -i 'anoisesrc=d=6:c=white:a=0.5:r=44100' -c:v libx264 -crf 18 -preset "
        "ultrafast -c:a flac " +
        test::ShellQuote(path.string()));
    EXPECT_EQ(result.exit_code, 0) << result.output;
    return path;
  }();
  return clip;
}

void ProfileOptions(TAVConvertOptions& options, const std::string& description) {
  static const std::unique_ptr<TAVProfileList> profiles = CreateProfileList();
  const TAVProfile* profile = profiles->FindProfile(description);
  ASSERT_NE(profile, nullptr) << description;
  options.SetRecordingTime(std::numeric_limits<int64_t>::max());
  PrepareProfileOptions(options, *profile, AVConfiguration());
}

TEST(SizeEstimate, BitRateProfileIsWithinFifteenPercentOfTheOutput) {
  const fs::path source = NoisyClip();
  const fs::path target = test::MakeTempFolder("estimate") / "out.mov";
  TAVConvertOptions options;
  ProfileOptions(options, "Apple Quicktime Video");
  const TSizeEstimate estimate =
      EstimateOutputSize(options, ListMediaStreams(source.string()), target.string());
  ASSERT_TRUE(estimate.known);
  EXPECT_FALSE(estimate.IsRange());  // 2000 + 192 kbit/s × 6 s

  const auto result = test::ConvertFiles({source.string()}, {target.string()},
                                         [&](TAVConverter& c) { c.SetConvertOptions(options); });
  ASSERT_TRUE(result.Ok()) << result.error;
  const auto real = static_cast<double>(fs::file_size(target));
  EXPECT_NEAR(static_cast<double>(estimate.high), real, real * 0.15)
      << EstimateAgainstRealText(estimate, static_cast<int64_t>(real));
}

TEST(SizeEstimate, SpanTracksAndQualityShapeTheEstimate) {
  const TProbedMedia source = ListMediaStreams(NoisyClip().string());
  const std::string target = (test::MakeTempFolder("estimate") / "out.avi").string();
  TAVConvertOptions options;
  ProfileOptions(options, "音视频交错格式(*.avi)");
  const TSizeEstimate whole = EstimateOutputSize(options, source, target);
  // PCM sound counts exactly: 44100 Hz × 2 channels × 16 bits besides 1200 kbit/s.
  EXPECT_EQ(whole.high, static_cast<int64_t>((1200000.0 + 44100 * 2 * 16) * 6 / 8));

  options.SetStartTime(1'500'000);
  options.SetRecordingTime(3'000'000);
  EXPECT_NEAR(static_cast<double>(EstimateOutputSize(options, source, target).high),
              whole.high / 2.0, 1.0);
  options.SetStartTime(5'000'000);  // the span ends with the source
  EXPECT_NEAR(static_cast<double>(EstimateOutputSize(options, source, target).high),
              whole.high / 6.0, 1.0);
  options.SetStartTime(0);
  options.SetRecordingTime(std::numeric_limits<int64_t>::max());
  options.AudioOptions().SetAudioDisable(true);
  EXPECT_EQ(EstimateOutputSize(options, source, target).high,
            static_cast<int64_t>(1200000.0 * 6 / 8));

  // Constant quality: a range, lower for a coarser quality.
  TAVConvertOptions quality;
  ProfileOptions(quality, "Matroska Video");
  quality.VideoOptions().SetVideoQuality(23);
  const std::string mkv = (test::MakeTempFolder("estimate") / "out.mkv").string();
  const TSizeEstimate fine = EstimateOutputSize(quality, source, mkv);
  ASSERT_TRUE(fine.known);
  EXPECT_TRUE(fine.IsRange());
  EXPECT_LT(fine.low, fine.high);
  quality.VideoOptions().SetVideoQuality(35);
  EXPECT_LT(EstimateOutputSize(quality, source, mkv).high, fine.high);

  // An unknown duration gives no estimate at all.
  TProbedMedia endless = source;
  endless.duration = 0;
  EXPECT_FALSE(EstimateOutputSize(options, endless, target).known);
}

TEST(SizeEstimate, LogLineSaysHowFarTheOutputIsFromTheEstimate) {
  const int64_t mb = 1024 * 1024;
  EXPECT_EQ(EstimateAgainstRealText({10 * mb, 10 * mb, true}, 11 * mb),
            "大小: 预计 10.0 MB, 实际 11.0 MB (+10%)");
  EXPECT_EQ(EstimateAgainstRealText({10 * mb, 20 * mb, true}, 15 * mb),
            "大小: 预计 10.0 MB – 20.0 MB, 实际 15.0 MB (在预计范围内)");
  EXPECT_EQ(EstimateAgainstRealText({10 * mb, 20 * mb, true}, 5 * mb),
            "大小: 预计 10.0 MB – 20.0 MB, 实际 5.0 MB (低于预计 -50%)");
  EXPECT_EQ(ByteSizeText(1000), "1 KB");
  EXPECT_EQ(ByteSizeText(3 * 1024 * mb / 2), "1.50 GB");
}

}  // namespace
}  // namespace veltrano
