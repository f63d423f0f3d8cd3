// The rules behind today's profiles, without the engine: bounded sizes and
// capped frame rates, what a device plays, and when a source stream already
// fits and is copied.
#include <gtest/gtest.h>

#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "converter/DeviceProfiles.h"
#include "converter/StreamFit.h"

namespace veltrano {
namespace {

std::pair<int, int> Bounded(int width, int height, int max_width, int max_height) {
  BoundFrameSize(width, height, max_width, max_height);
  return {width, height};
}

TEST(BoundedSizeTest, ScalesDownKeepingTheShapeNeverUpAndTurnsTheBoxForPortraits) {
  EXPECT_EQ(Bounded(3840, 2160, 1920, 1080), std::make_pair(1920, 1080));
  // Cinema scope into 720p: the width bounds it; the height is rounded to even.
  EXPECT_EQ(Bounded(1920, 800, 1280, 720), std::make_pair(1280, 534));
  // 4:3 into a 16:9 box: the height bounds it.
  EXPECT_EQ(Bounded(1440, 1080, 1280, 720), std::make_pair(960, 720));
  // A phone's portrait video fits the 1080p box turned; a larger one is scaled.
  EXPECT_EQ(Bounded(1080, 1920, 1920, 1080), std::make_pair(1080, 1920));
  EXPECT_EQ(Bounded(2160, 3840, 1920, 1080), std::make_pair(1080, 1920));
  // Smaller pictures, odd sizes included, keep their size: nothing is upscaled.
  EXPECT_EQ(Bounded(853, 480, 1920, 1080), std::make_pair(853, 480));
  // 0 leaves a side of the box unbounded; no box at all changes nothing.
  EXPECT_EQ(Bounded(3840, 2160, 0, 1080), std::make_pair(1920, 1080));
  EXPECT_EQ(Bounded(3840, 2160, 0, 0), std::make_pair(3840, 2160));
  // Rounding never leaves the box: 1279.6 becomes 1278, not 1280 over a 1279 bound.
  const auto [w, h] = Bounded(1919, 1080, 1279, 720);
  EXPECT_LE(w, 1279);
  EXPECT_LE(h, 720);
  EXPECT_EQ(w % 2, 0);
}

TEST(CappedRateTest, FasterSourcesDropWholeFractionsOrRunAtTheLimit) {
  auto capped = [](int num, int den, int max) {
    const AVRational r = CappedFrameRate(AVRational{num, den}, max);
    return std::make_pair(r.num, r.den);
  };
  EXPECT_EQ(capped(60, 1, 30), std::make_pair(30, 1));
  EXPECT_EQ(capped(50, 1, 30), std::make_pair(25, 1));
  EXPECT_EQ(capped(60000, 1001, 30), std::make_pair(30000, 1001));
  EXPECT_EQ(capped(120, 1, 30), std::make_pair(30, 1));
  // Half of 40 would lose a third of the limit: the limit itself.
  EXPECT_EQ(capped(40, 1, 30), std::make_pair(30, 1));
  EXPECT_EQ(capped(25, 1, 30), std::make_pair(25, 1));
  EXPECT_EQ(capped(60, 1, 0), std::make_pair(60, 1));
}

TStreamFacts H264(int width, int height, double rate, int level,
                  int profile = FF_PROFILE_H264_HIGH) {
  TStreamFacts s;
  s.kind = AVMEDIA_TYPE_VIDEO;
  s.codec_id = AV_CODEC_ID_H264;
  s.profile = profile;
  s.level = level;
  s.pix_fmt = AV_PIX_FMT_YUV420P;
  s.width = width;
  s.height = height;
  s.frame_rate = rate;
  s.bit_rate = 6000000;
  return s;
}

TStreamFacts Audio(int codec_id, int channels, int rate, int64_t bit_rate) {
  TStreamFacts s;
  s.kind = AVMEDIA_TYPE_AUDIO;
  s.codec_id = codec_id;
  s.channels = channels;
  s.sample_rate = rate;
  s.bit_rate = bit_rate;
  return s;
}

TEST(DeviceTableTest, NamesWhatTheDeviceCannotPlay) {
  const TDeviceCapabilities& phone = *FindDevice("phone-1080p");
  EXPECT_TRUE(PlaybackProblems(phone, H264(1920, 1080, 30, 40)).empty());
  EXPECT_TRUE(PlaybackProblems(phone, H264(1080, 1920, 29.97, 41)).empty());  // portrait
  EXPECT_EQ(PlaybackProblems(phone, H264(1920, 1080, 30, 51)),
            std::vector<std::string>{"H.264 level 5.1 > 4.1"});
  EXPECT_EQ(PlaybackProblems(phone, H264(1920, 1080, 30, 40, FF_PROFILE_H264_HIGH_10)),
            std::vector<std::string>{"H.264 profile High 10 不受支持"});
  EXPECT_EQ(PlaybackProblems(phone, H264(3840, 2160, 60, 40)),
            (std::vector<std::string>{"尺寸 3840x2160 > 1920x1080", "帧率 60 > 30"}));
  EXPECT_EQ(PlaybackProblems(phone, Audio(AV_CODEC_ID_AAC, 6, 48000, 384000)),
            (std::vector<std::string>{"AAC 声道 6 > 2", "音频码率 384 kbit/s > 320"}));
  EXPECT_EQ(PlaybackProblems(phone, Audio(AV_CODEC_ID_OPUS, 2, 48000, 96000)),
            std::vector<std::string>{"音频编码 Opus 不受支持"});
  EXPECT_EQ(ContainerProblem(phone, "matroska"), "容器 matroska 不受支持");
  EXPECT_EQ(LevelText(AV_CODEC_ID_HEVC, 153), "5.1");
  // Televisions take E-AC-3 5.1 as films bring it; archives any sound.
  EXPECT_TRUE(
      PlaybackProblems(*FindDevice("tv-4k"), Audio(AV_CODEC_ID_EAC3, 6, 48000, 640000)).empty());
  EXPECT_TRUE(
      PlaybackProblems(*FindDevice("archive-hevc"), Audio(AV_CODEC_ID_DTS, 6, 48000, 1509000))
          .empty());
  EXPECT_EQ(FindDevice("no-such-device"), nullptr);
}

// What the phone profile's encoders would make of a 1080p, 30 fps, stereo
// 48 kHz source: the same, in H.264 and AAC.
TStreamRequest PhoneRequest(const TStreamFacts& asked) {
  TStreamRequest request;
  request.asked = asked;
  request.quality = 22;
  request.format = av_guess_format("mp4", nullptr, nullptr);
  return request;
}

TEST(StreamFitTest, AStreamThatSatisfiesEverythingIsCopiedAndEachShortcomingIsNamed) {
  const TDeviceCapabilities* phone = FindDevice("phone-1080p");
  const TStreamFacts source = H264(1920, 1080, 30, 40);
  EXPECT_TRUE(JudgeStreamFit(phone, source, PhoneRequest(source)).copy);
  EXPECT_FALSE(JudgeStreamFit(nullptr, source, PhoneRequest(source)).copy);

  TStreamFacts hevc = source;
  hevc.codec_id = AV_CODEC_ID_HEVC;
  EXPECT_EQ(JudgeStreamFit(phone, hevc, PhoneRequest(source)).reasons,
            std::vector<std::string>{"编码 H.265 ≠ H.264"});

  // 60 fps at level 4.2: the encoder would make 30 fps; the level is the device's
  // own objection; both are named once.
  TStreamFacts fast = H264(1920, 1080, 60, 42);
  TStreamFacts asked = fast;
  asked.frame_rate = 30;
  EXPECT_EQ(JudgeStreamFit(phone, fast, PhoneRequest(asked)).reasons,
            (std::vector<std::string>{"帧率 60 > 30", "H.264 level 4.2 > 4.1"}));

  // Filters need the frames; a stream far above the quality class is made smaller.
  TStreamRequest filtered = PhoneRequest(source);
  filtered.frames_needed = {"需要滤镜"};
  EXPECT_EQ(JudgeStreamFit(phone, source, filtered).reasons, std::vector<std::string>{"需要滤镜"});
  TStreamFacts heavy = source;
  heavy.bit_rate = 40000000;
  const TFitVerdict verdict = JudgeStreamFit(phone, heavy, PhoneRequest(source));
  ASSERT_EQ(verdict.reasons.size(), 1u);
  EXPECT_EQ(verdict.reasons[0].rfind("码率 40000 kbit/s > ", 0), 0u) << verdict.reasons[0];
  EXPECT_NE(verdict.reasons[0].find("(质量 22)"), std::string::npos);
  // Smaller pictures take more bits per pixel: a sixteenth of the pixels
  // has an eighth of the bits; 6 steps of quality double them.
  const int64_t full = VideoQualityClassBitRate(AV_CODEC_ID_H264, 23, 1920, 1080, 25);
  const int64_t small = VideoQualityClassBitRate(AV_CODEC_ID_H264, 23, 480, 270, 25);
  EXPECT_NEAR(small * 8, full, 8);
  EXPECT_NEAR(VideoQualityClassBitRate(AV_CODEC_ID_H264, 17, 1920, 1080, 25), 2 * full, 2);
  // A bit rate asked for is met up to a tenth above it.
  TStreamRequest by_rate = PhoneRequest(source);
  by_rate.quality.reset();
  by_rate.bit_rate = 5500000;
  EXPECT_TRUE(JudgeStreamFit(phone, source, by_rate).copy);
  by_rate.bit_rate = 5000000;
  EXPECT_FALSE(JudgeStreamFit(phone, source, by_rate).copy);
}

TEST(StreamFitTest, SoundFitsItsAskedRateAndChannelsOrPassesThroughWhatTheDeviceTakes) {
  TStreamRequest opus;
  opus.asked = Audio(AV_CODEC_ID_OPUS, 2, 48000, 0);
  opus.bit_rate = 128000;
  opus.format = av_guess_format("webm", nullptr, nullptr);
  const TDeviceCapabilities* web = FindDevice("web-vp9");
  EXPECT_TRUE(JudgeStreamFit(web, Audio(AV_CODEC_ID_OPUS, 2, 48000, 96000), opus).copy);
  EXPECT_TRUE(JudgeStreamFit(web, Audio(AV_CODEC_ID_OPUS, 1, 48000, 64000), opus).copy);
  // Sound up to twice the asked rate is of its class: 192 kbit/s stays as it is.
  EXPECT_TRUE(JudgeStreamFit(web, Audio(AV_CODEC_ID_OPUS, 2, 48000, 192000), opus).copy);
  EXPECT_EQ(JudgeStreamFit(web, Audio(AV_CODEC_ID_OPUS, 6, 48000, 320000), opus).reasons,
            (std::vector<std::string>{"声道 6 > 2", "码率 320 kbit/s > 256"}));

  TStreamRequest aac;
  aac.asked = Audio(AV_CODEC_ID_AAC, 2, 48000, 0);
  aac.bit_rate = 192000;
  aac.format = av_guess_format("mp4", nullptr, nullptr);
  EXPECT_EQ(
      JudgeStreamFit(FindDevice("tv-4k"), Audio(AV_CODEC_ID_AAC, 2, 44100, 128000), aac).reasons,
      std::vector<std::string>{"采样率 44100 ≠ 48000"});
  // E-AC-3 5.1 goes to the television as it is, not to the phone.
  const TStreamFacts eac3 = Audio(AV_CODEC_ID_EAC3, 6, 48000, 640000);
  EXPECT_TRUE(JudgeStreamFit(FindDevice("tv-4k"), eac3, aac).copy);
  EXPECT_EQ(JudgeStreamFit(FindDevice("phone-1080p"), eac3, aac).reasons,
            std::vector<std::string>{"编码 E-AC-3 ≠ AAC"});
  // MP3 at VBR quality 2 takes sources of that class; lossless formats any.
  TStreamRequest mp3;
  mp3.asked = Audio(AV_CODEC_ID_MP3, 2, 44100, 0);
  mp3.quality = 2;
  EXPECT_TRUE(
      JudgeStreamFit(FindDevice("audio-mp3"), Audio(AV_CODEC_ID_MP3, 2, 44100, 192000), mp3).copy);
  EXPECT_FALSE(
      JudgeStreamFit(FindDevice("audio-mp3"), Audio(AV_CODEC_ID_MP3, 2, 44100, 320000), mp3).copy);
  TStreamRequest flac;
  flac.asked = Audio(AV_CODEC_ID_FLAC, 2, 96000, 0);
  EXPECT_TRUE(
      JudgeStreamFit(FindDevice("audio-flac"), Audio(AV_CODEC_ID_FLAC, 2, 96000, 4000000), flac)
          .copy);
}

TEST(StreamFitTest, TheContainerMustHoldTheStreamAndTheLogLineSaysWhy) {
  TStreamFacts subtitle;
  subtitle.kind = AVMEDIA_TYPE_SUBTITLE;
  subtitle.codec_id = AV_CODEC_ID_SUBRIP;
  TStreamRequest request;
  request.asked = subtitle;
  request.format = av_guess_format("mp4", nullptr, nullptr);
  const TFitVerdict in_mp4 = JudgeStreamFit(FindDevice("archive-hevc"), subtitle, request);
  EXPECT_EQ(in_mp4.reasons, std::vector<std::string>{"容器 mp4 不能容纳 subrip"});
  request.format = av_guess_format("matroska", nullptr, nullptr);
  const TFitVerdict in_mkv = JudgeStreamFit(FindDevice("archive-hevc"), subtitle, request);
  EXPECT_TRUE(in_mkv.copy);

  EXPECT_EQ(FitLogLine(AVMEDIA_TYPE_VIDEO, 1, in_mkv), "视频: 直接复制 (已符合)");
  EXPECT_EQ(
      FitLogLine(AVMEDIA_TYPE_AUDIO, 2, TFitVerdict{false, {"采样率 44100 ≠ 48000", "声道 6 > 2"}}),
      "音频 2: 重新编码 (采样率 44100 ≠ 48000, 声道 6 > 2)");
}

}  // namespace
}  // namespace veltrano
