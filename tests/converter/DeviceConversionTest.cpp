// Today's profiles end to end: streams that already fit their device are
// copied packet for packet, others re-encoded with the reason logged;
// bounded sizes and capped rates; every track kept; remuxing; and the
// warning when an output may not play on its device. Outputs are judged by
// reading them with libavformat.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "converter/AVConverter.h"
#include "converter/DeviceCatalogue.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"
#include "support/TrackFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::ConvertFiles;
using test::MakeTempFolder;
using test::ProbeMedia;
using test::SharedClip;
using test::TClip;
using test::TConversionResult;
using test::TMediaInfo;

// A 2 s H.264 High + AAC stereo clip at `rate` frames/s and `sample_rate`, in Matroska.
fs::path H264Clip(const std::string& rate, int sample_rate) {
  TClip clip = test::AvClipSpec("libx264", "aac");
  clip.size = "320x240";
  clip.rate = rate;
  clip.sample_rate = sample_rate;
  clip.extra_output_args = {"-profile:v", "high", "-pix_fmt", "yuv420p",
                            "-g",         "25",   "-b:a",     "128k"};
  return SharedClip("device-h264-" + rate + "-" + std::to_string(sample_rate) + ".mkv", clip);
}

std::unique_ptr<TAVProfile> DeviceProfile(const std::string& name) {
  for (std::unique_ptr<TAVProfile>& profile : DeviceCatalogueProfiles()) {
    if (profile->Name() == name) return std::move(profile);
  }
  ADD_FAILURE() << "no profile " << name;
  return nullptr;
}

TConversionResult ConvertWith(const fs::path& source, const fs::path& target,
                              const TAVProfile& profile,
                              const std::function<void(TAVConvertOptions&)>& adjust = {}) {
  return ConvertFiles({source.string()}, {target.string()}, [&](TAVConverter& c) {
    c.ConvertOptions().SetThreadCount(2);
    profile.ApplyProfile(c.ConvertOptions());
    if (adjust) adjust(c.ConvertOptions());
  });
}

bool Logged(const TConversionResult& result, const std::string& text) {
  return std::any_of(result.logs.begin(), result.logs.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

std::string AllLogs(const TConversionResult& result) {
  std::string all;
  for (const std::string& line : result.logs) all += line;
  return all;
}

TEST(CopyWhatFits, AFittingSourceIsCopiedPacketForPacketUnlessCopyingIsOff) {
  const fs::path folder = MakeTempFolder("fits");
  const fs::path source = H264Clip("25", 48000);
  const auto phone = DeviceProfile("pfPhone1080");
  const TConversionResult copied = ConvertWith(source, folder / "copied.mp4", *phone);
  ASSERT_TRUE(copied.Ok()) << copied.error;
  EXPECT_TRUE(copied.errors.empty()) << copied.errors.front();
  EXPECT_TRUE(Logged(copied, "视频: 直接复制 (已符合)")) << AllLogs(copied);
  EXPECT_TRUE(Logged(copied, "音频: 直接复制 (已符合)")) << AllLogs(copied);
  EXPECT_FALSE(Logged(copied, "设备可能无法播放")) << AllLogs(copied);
  EXPECT_FALSE(Logged(copied, "was not taken by any encoder")) << AllLogs(copied);

  const TMediaInfo in = ProbeMedia(source);
  const TMediaInfo out = ProbeMedia(folder / "copied.mp4");
  ASSERT_TRUE(out.opened);
  EXPECT_NE(out.format.find("mp4"), std::string::npos);
  for (const char* kind : {"video", "audio"}) {
    EXPECT_EQ(out.Stream(kind).packets, in.Stream(kind).packets) << kind;
    EXPECT_EQ(out.Stream(kind).data_md5, in.Stream(kind).data_md5) << kind;
  }

  // Copying turned off: both re-encoded, at the source's size (nothing is
  // upscaled to the profile's 1080p bound), and nothing said about copies.
  const TConversionResult encoded =
      ConvertWith(source, folder / "encoded.mp4", *phone,
                  [](TAVConvertOptions& o) { o.SetCopyFittingStreams(false); });
  ASSERT_TRUE(encoded.Ok()) << encoded.error;
  EXPECT_FALSE(Logged(encoded, "直接复制"));
  const TMediaInfo again = ProbeMedia(folder / "encoded.mp4");
  EXPECT_NE(again.Stream("video").data_md5, in.Stream("video").data_md5);
  EXPECT_NE(again.Stream("audio").data_md5, in.Stream("audio").data_md5);
  EXPECT_EQ(again.Stream("video").width, 320);
  EXPECT_EQ(again.Stream("video").height, 240);
}

TEST(CopyWhatFits, WhatDoesNotFitIsReEncodedToTheBoundRateAndSampleRateWithTheReasonLogged) {
  const fs::path folder = MakeTempFolder("not-fits");
  auto phone = DeviceProfile("pfPhone1080");
  auto& video = dynamic_cast<TAVCustomVideoProfile&>(*phone);
  video.SetMaxFrameWidth(160);
  video.SetMaxFrameHeight(160);
  video.SetSampleRate(48000);
  const TConversionResult result = ConvertWith(H264Clip("50", 44100), folder / "out.mp4", *phone);
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_TRUE(result.errors.empty()) << result.errors.front();
  EXPECT_TRUE(Logged(result, "视频: 重新编码 (尺寸 320x240 ≠ 160x120, 帧率 50 > 25)"))
      << AllLogs(result);
  EXPECT_TRUE(Logged(result, "音频: 重新编码 (采样率 44100 ≠ 48000)")) << AllLogs(result);

  const TMediaInfo out = ProbeMedia(folder / "out.mp4");
  const test::TStreamInfo& v = out.Stream("video");
  EXPECT_EQ(v.codec, "h264");
  EXPECT_EQ(v.profile, "High");
  EXPECT_LE(v.level, 41);
  EXPECT_EQ(v.width, 160);
  EXPECT_EQ(v.height, 120);
  EXPECT_NEAR(v.frame_rate, 25, 0.1);
  EXPECT_NEAR(v.packets, 50, 2);  // 2 s at 25 frames/s: every other picture dropped
  EXPECT_EQ(out.Stream("audio").sample_rate, 48000);
  EXPECT_FALSE(Logged(result, "设备可能无法播放")) << AllLogs(result);
}

TEST(KeepAllTracks, TheArchiveEncodesThePictureAndCopiesEverySoundAndSubtitleTrack) {
  const fs::path folder = MakeTempFolder("archive");
  const fs::path target = folder / "archive.mkv";
  const TConversionResult result =
      ConvertWith(test::MultiTrackClip(), target, *DeviceProfile("pfArchiveHevc"));
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_TRUE(Logged(result, "视频: 重新编码 (编码 H.264 ≠ H.265)")) << AllLogs(result);
  EXPECT_TRUE(Logged(result, "音频 2: 直接复制 (已符合)")) << AllLogs(result);
  EXPECT_TRUE(Logged(result, "字幕: 直接复制 (已符合)")) << AllLogs(result);

  const TMediaInfo in = ProbeMedia(test::MultiTrackClip());
  const TMediaInfo out = ProbeMedia(target);
  ASSERT_EQ(out.streams.size(), 4u);
  EXPECT_EQ(out.streams[0].codec, "hevc");
  for (size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(out.streams[i].codec, in.streams[i].codec) << i;
    EXPECT_EQ(out.streams[i].data_md5, in.streams[i].data_md5) << i;
    EXPECT_EQ(out.streams[i].language, in.streams[i].language) << i;
  }
}

TEST(Remux, EveryStreamIsCopiedAndAContainerThatCannotHoldOneRefusesByName) {
  const fs::path folder = MakeTempFolder("remux");
  const TMediaInfo in = ProbeMedia(test::MultiTrackClip());
  const TConversionResult mkv =
      ConvertWith(test::MultiTrackClip(), folder / "all.mkv", *DeviceProfile("pfRemuxMkv"));
  ASSERT_TRUE(mkv.Ok()) << mkv.error;
  const TMediaInfo out = ProbeMedia(folder / "all.mkv");
  ASSERT_EQ(out.streams.size(), in.streams.size());
  for (size_t i = 0; i < in.streams.size(); ++i) {
    EXPECT_EQ(out.streams[i].kind, in.streams[i].kind) << i;
    EXPECT_EQ(out.streams[i].data_md5, in.streams[i].data_md5) << i;
  }

  // MP4 holds no SubRip text: refused before anything is written.
  const fs::path refused = folder / "refused.mp4";
  const TConversionResult mp4 =
      ConvertWith(test::MultiTrackClip(), refused, *DeviceProfile("pfRemuxMp4"));
  EXPECT_FALSE(mp4.Ok());
  EXPECT_NE(mp4.error.find(refused.string() + ": mp4 容器不能容纳源的字幕流 #0:3 (subrip)"),
            std::string::npos)
      << mp4.error;
  EXPECT_FALSE(fs::exists(refused));
  EXPECT_FALSE(fs::exists(refused.string() + ".part"));

  const fs::path source = H264Clip("25", 48000);
  const TConversionResult plain =
      ConvertWith(source, folder / "plain.mp4", *DeviceProfile("pfRemuxMp4"));
  ASSERT_TRUE(plain.Ok()) << plain.error;
  EXPECT_EQ(ProbeMedia(folder / "plain.mp4").Stream("video").data_md5,
            ProbeMedia(source).Stream("video").data_md5);
}

TEST(WillItPlay, WarnsOfAnOutputItsDeviceCannotTake) {
  const fs::path folder = MakeTempFolder("will-it-play");
  const fs::path target = folder / "level51.mp4";
  // Made for the phone, but at level 5.1 which its decoder does not take.
  const TConversionResult result = ConvertWith(
      H264Clip("25", 48000), target, *DeviceProfile("pfPhone1080"), [](TAVConvertOptions& o) {
        o.SetCopyFittingStreams(false);
        o.SetAdvancedOption("level", "51");
      });
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_EQ(ProbeMedia(target).Stream("video").level, 51);
  EXPECT_TRUE(Logged(result, "输出检查: 设备可能无法播放: H.264 level 5.1 > 4.1"))
      << AllLogs(result);
}

}  // namespace
}  // namespace veltrano
