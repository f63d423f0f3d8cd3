#include "converter/AVProbe.h"

#include <gtest/gtest.h>

#include <fstream>

#include "converter/AVError.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

TEST(AVProbe, ReadsTheFirstVideoAndAudioStreams) {
  test::TClip clip;
  clip.size = "176x144";
  clip.video_codec = "mpeg4";
  clip.audio_codec = "mp2";
  clip.sample_rate = 48000;
  clip.extra_output_args = {"-b:v", "300k", "-b:a", "192k"};
  const auto file = test::SharedClip("probe-av.avi", clip);

  TAVProbe probe;
  probe.SetFileName(file.string());
  probe.SetActive(true);
  ASSERT_TRUE(probe.Active());
  EXPECT_TRUE(probe.HasVideo());
  EXPECT_TRUE(probe.HasAudio());
  EXPECT_EQ(probe.VideoEncoderName(), "mpeg4");
  EXPECT_EQ(probe.VideoWidth(), 176);
  EXPECT_EQ(probe.VideoHeight(), 144);
  EXPECT_DOUBLE_EQ(probe.VideoFrameRate(), 25.0);
  EXPECT_GT(probe.VideoBitrate(), 0);
  EXPECT_EQ(probe.AudioEncoderName(), "mp2");
  EXPECT_EQ(probe.SampleRate(), 48000);
  EXPECT_EQ(probe.Channels(), 2);
  EXPECT_EQ(probe.AudioBitrate(), 192000);  // no fixed sample size: the stream's bit rate

  // Activating again opens nothing new; deactivating keeps the parameters.
  probe.SetActive(true);
  probe.SetActive(false);
  EXPECT_FALSE(probe.Active());
  EXPECT_EQ(probe.VideoWidth(), 176);
  EXPECT_TRUE(probe.HasAudio());
}

TEST(AVProbe, PcmAudioRateComesFromTheSampleSize) {
  test::TClip clip;
  clip.video = false;
  clip.audio_codec = "pcm_s16le";
  clip.sample_rate = 22050;
  clip.channels = 1;
  const auto file = test::SharedClip("probe-tone.wav", clip);

  TAVProbe probe;
  probe.SetFileName(file.string());
  probe.SetActive(true);
  ASSERT_TRUE(probe.Active());
  EXPECT_FALSE(probe.HasVideo());
  EXPECT_TRUE(probe.HasAudio());
  EXPECT_EQ(probe.AudioEncoderName(), "pcm_s16le");
  EXPECT_EQ(probe.SampleRate(), 22050);
  EXPECT_EQ(probe.Channels(), 1);
  EXPECT_EQ(probe.AudioBitrate(), 22050 * 1 * 16);
}

TEST(AVProbe, MissingAndInvalidFiles) {
  TAVProbe probe;
  probe.SetFileName("/nonexistent/clip.mp4");
  probe.SetActive(true);  // no file: nothing happens, nothing raised
  EXPECT_FALSE(probe.Active());
  EXPECT_FALSE(probe.HasVideo());
  EXPECT_FALSE(probe.HasAudio());

  const auto garbage = test::MakeTempFolder("probe") / "notes.txt";
  std::ofstream(garbage) << "These are not the pictures you are looking for.\n";
  probe.SetFileName(garbage.string());
  try {
    probe.SetActive(true);
    ADD_FAILURE() << "no error";
  } catch (const EAVError& e) {
    EXPECT_STREQ(e.what(), "Error Opening File!");
  }
  EXPECT_FALSE(probe.Active());

  // The probe is usable again after a failure.
  test::TClip clip;
  clip.video = false;
  clip.audio_codec = "pcm_s16le";
  probe.SetFileName(test::SharedClip("probe-tone2.wav", clip).string());
  probe.SetActive(true);
  EXPECT_TRUE(probe.Active());
  EXPECT_TRUE(probe.HasAudio());
}

// A look at the header alone tells the same streams apart as a full probe,
// and reads on when the container declares its streams nowhere (MPEG-PS).
TEST(AVProbe, HeaderDepthListsTheDeclaredStreamsAndReadsOnWithoutAHeader) {
  const auto described = [](const TProbedMedia& media) {
    std::vector<std::string> lines;
    for (const TProbedStream& s : media.streams) {
      lines.push_back(s.kind + " " + s.codec + " " + std::to_string(s.width) + "x" +
                      std::to_string(s.height) + " " + std::to_string(s.sample_rate) + "/" +
                      std::to_string(s.channels));
    }
    return lines;
  };
  test::TClip clip = test::AvClipSpec("libx264", "aac");
  clip.sample_rate = 48000;
  const std::string mkv = test::SharedClip("probe-header.mkv", clip).string();
  const TProbedMedia full = ListMediaStreams(mkv);
  const TProbedMedia header = ListMediaStreams(mkv, TProbeDepth::Header);
  EXPECT_EQ(header.container, "matroska,webm");
  EXPECT_EQ(described(header), described(full));
  EXPECT_EQ(described(full),
            (std::vector<std::string>{"video h264 160x120 0/0", "audio aac 0x0 48000/2"}));

  const std::string mpg =
      test::SharedClip("probe-header.mpg", test::AvClipSpec("mpeg1video", "mp2")).string();
  const TProbedMedia program = ListMediaStreams(mpg, TProbeDepth::Header);
  EXPECT_EQ(program.TrackCount("video"), 1);
  EXPECT_EQ(program.TrackCount("audio"), 1);
  EXPECT_EQ(described(program), described(ListMediaStreams(mpg)));
}

TEST(AVProbe, DeactivatesWhenTheFileIsGone) {
  test::TClip clip;
  clip.video = false;
  clip.audio_codec = "pcm_s16le";
  const auto file = test::MakeClip(test::MakeTempFolder("probe-gone") / "tone.wav", clip);
  TAVProbe probe;
  probe.SetFileName(file.string());
  probe.SetActive(true);
  ASSERT_TRUE(probe.Active());
  test::fs::remove(file);
  probe.SetActive(false);
  EXPECT_FALSE(probe.Active());
}

}  // namespace
}  // namespace veltrano
