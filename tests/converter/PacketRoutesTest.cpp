// How packets and frames find their output streams: a source stream that
// feeds several streams gives each all of it, streams of several inputs
// reach their own outputs, and a copied and an encoded stream of one run
// stop together at the end of the span.
#include <gtest/gtest.h>

#include <filesystem>

#include "converter/AVConverter.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::ConvertFiles;
using test::MakeClip;
using test::MakeTempFolder;
using test::ProbeMedia;
using test::TClip;
using test::TMediaInfo;

TEST(PacketRoutes, EveryStreamFedByOneSourceStreamGetsAllOfIt) {
  const fs::path folder = MakeTempFolder("routes-shared");
  const fs::path source = MakeClip(folder / "src.mkv", test::AvClipSpec("mpeg4", "mp2"));
  const fs::path out = folder / "out.mkv";
  const auto result = ConvertFiles({source.string()}, {out.string()}, [](TAVConverter& c) {
    c.ConvertOptions().SetStreamMaps({"0=0", "0=1", "0=1"});
    c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    c.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("mp2");
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  const TMediaInfo info = ProbeMedia(out);
  ASSERT_EQ(info.streams.size(), 3u);
  EXPECT_EQ(info.streams[1].kind, "audio");
  EXPECT_EQ(info.streams[2].kind, "audio");
  // One encoder's output of the same samples: the same packets.
  EXPECT_EQ(info.streams[1].packets, info.streams[2].packets);
  EXPECT_EQ(info.streams[1].data_md5, info.streams[2].data_md5);
  EXPECT_NEAR(info.streams[2].duration, ProbeMedia(source).Stream("audio").duration, 0.06);
}

TEST(PacketRoutes, StreamsOfSeveralInputsReachTheirOwnOutputStreams) {
  const fs::path folder = MakeTempFolder("routes-inputs");
  TClip pictures = test::VideoClipSpec("mpeg4");
  pictures.seconds = 2;
  TClip sound;
  sound.video = false;
  sound.seconds = 1;
  sound.sample_rate = 22050;
  sound.channels = 1;
  const fs::path video = MakeClip(folder / "pictures.mkv", pictures);
  const fs::path audio = MakeClip(folder / "sound.wav", sound);
  const fs::path out = folder / "out.mkv";
  const auto result =
      ConvertFiles({video.string(), audio.string()}, {out.string()}, [](TAVConverter& c) {
        c.ConvertOptions().SetStreamMaps({"0=0", "1=0"});
        c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
        c.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("mp2");
      });
  ASSERT_TRUE(result.Ok()) << result.error;
  const TMediaInfo info = ProbeMedia(out);
  ASSERT_EQ(info.streams.size(), 2u);
  EXPECT_NEAR(info.Stream("video").duration, 2.0, 0.1);
  EXPECT_EQ(info.Stream("audio").sample_rate, 22050);
  EXPECT_EQ(info.Stream("audio").channels, 1);
  EXPECT_NEAR(info.Stream("audio").duration, 1.0, 0.06);
}

TEST(PacketRoutes, ACopiedAndAnEncodedStreamStopTogetherAtTheEndOfTheSpan) {
  const fs::path folder = MakeTempFolder("routes-mixed");
  TClip clip = test::AvClipSpec("mpeg4", "mp2");
  clip.seconds = 3;
  const fs::path source = MakeClip(folder / "src.mkv", clip);
  const fs::path out = folder / "out.mkv";
  const auto result = ConvertFiles({source.string()}, {out.string()}, [](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetVideoStreamCopy(true);
    c.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("mp2");
    c.ConvertOptions().SetRecordingTime(1'200'000);
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  const TMediaInfo info = ProbeMedia(out);
  ASSERT_EQ(info.streams.size(), 2u);
  EXPECT_EQ(info.Stream("video").codec, "mpeg4");
  EXPECT_NEAR(info.Stream("video").duration, 1.2, 0.08);
  EXPECT_NEAR(info.Stream("audio").duration, 1.2, 0.08);
}

}  // namespace
}  // namespace veltrano
