// Re-encoding: codecs, sizes, rates and timing of the outputs, the audio
// volume and sync rules, the video frame-rate sync, two passes and subtitles.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "converter/AVConverter.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"
#include "support/SubtitleFixture.h"
#include "support/WorkFiles.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::ConvertFiles;
using test::MakeClip;
using test::MakeTempFolder;
using test::ProbeMedia;
using test::SharedClip;
using test::TClip;
using test::TMediaInfo;

fs::path Source() {
  TClip clip = test::AvClipSpec("libx264", "aac");
  clip.seconds = 3;
  clip.size = "320x240";
  return SharedClip("reencode.mp4", clip);
}

struct TTarget {
  std::string file;
  std::string video_encoder;
  std::string audio_encoder;
  int width, height;
  int sample_rate, channels;
  std::string expect_video, expect_audio;
};

TEST(ReEncode, OutputsHaveTheRequestedCodecsSizesAndRates) {
  const fs::path folder = MakeTempFolder("targets");
  const std::vector<TTarget> targets{
      {"a.mp4", "libx264", "aac", 160, 120, 22050, 1, "h264", "aac"},
      {"b.avi", "libxvid", "libmp3lame", 176, 144, 44100, 2, "mpeg4", "mp3"},
      {"c.mpg", "mpeg1video", "mp2", 352, 288, 44100, 2, "mpeg1video", "mp2"},
      {"d.3gp", "h263", "libopencore_amrnb", 176, 144, 8000, 1, "h263", "amr_nb"},
      {"e.flv", "flv", "libmp3lame", 320, 240, 22050, 2, "flv1", "mp3"},
      {"f.wmv", "wmv2", "wmav2", 320, 240, 44100, 2, "wmv2", "wmav2"},
  };
  for (const TTarget& t : targets) {
    const fs::path out = folder / t.file;
    const auto result = ConvertFiles({Source().string()}, {out.string()}, [&](TAVConverter& c) {
      TAVConvertOptions& o = c.ConvertOptions();
      o.VideoOptions().SetEncoderVideoCodecName(t.video_encoder);
      o.AudioOptions().SetEncoderAudioCodecName(t.audio_encoder);
      o.VideoOptions().SetFrameWidth(t.width);
      o.VideoOptions().SetFrameHeight(t.height);
      o.AudioOptions().SetAudioSampleRate(t.sample_rate);
      o.AudioOptions().SetAudioChannels(t.channels);
      o.SetThreadCount(2);
    });
    ASSERT_TRUE(result.Ok()) << t.file << ": " << result.error;
    const TMediaInfo info = ProbeMedia(out);
    ASSERT_EQ(info.streams.size(), 2u) << t.file;
    const auto& v = info.Stream("video");
    const auto& a = info.Stream("audio");
    EXPECT_EQ(v.codec, t.expect_video) << t.file;
    EXPECT_EQ(v.width, t.width) << t.file;
    EXPECT_EQ(v.height, t.height) << t.file;
    EXPECT_NEAR(v.frame_rate, 25.0, 0.01) << t.file;
    EXPECT_NEAR(v.duration, 3.0, 0.041) << t.file;  // within one frame
    EXPECT_EQ(a.codec, t.expect_audio) << t.file;
    EXPECT_EQ(a.sample_rate, t.sample_rate) << t.file;
    EXPECT_EQ(a.channels, t.channels) << t.file;
    EXPECT_NEAR(a.duration, 3.0, 0.1) << t.file;
    EXPECT_NEAR(a.start, v.start, 0.05) << t.file;  // audio and video start together
  }
}

// The AMR encoders list no rates but take only one: a source at another rate
// is resampled to it instead of failing the encoder's opening.
TEST(ReEncode, SpeechEncodersRunAtTheirOnlyRate) {
  const fs::path folder = MakeTempFolder("speech");
  for (const auto& [encoder, codec, rate] : {std::tuple{"", "amr_nb", 8000},
                                              std::tuple{"libvo_amrwbenc", "amr_wb", 16000}}) {
    const fs::path out = folder / (std::string(codec) + ".3gp");
    const auto result = ConvertFiles({Source().string()}, {out.string()}, [&](TAVConverter& c) {
      c.ConvertOptions().VideoOptions().SetVideoDisable(true);
      c.ConvertOptions().AudioOptions().SetEncoderAudioCodecName(encoder);
      c.ConvertOptions().AudioOptions().SetAudioChannels(1);
    });
    ASSERT_TRUE(result.Ok()) << codec << ": " << result.error;
    const TMediaInfo info = ProbeMedia(out);
    const auto& audio = info.Stream("audio");
    EXPECT_EQ(audio.codec, codec);
    EXPECT_EQ(audio.sample_rate, rate) << codec;
    EXPECT_NEAR(audio.duration, 3.0, 0.1) << codec;
  }
}

TEST(ReEncode, AStartTimeCutsBothStreamsAtTheSamePlace) {
  const fs::path out = MakeTempFolder("start") / "cut.mkv";
  const auto result = ConvertFiles({Source().string()}, {out.string()}, [](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    c.ConvertOptions().SetStartTime(1'000'000);
    c.ConvertOptions().SetRecordingTime(1'500'000);
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  const TMediaInfo info = ProbeMedia(out);
  ASSERT_EQ(info.streams.size(), 2u);
  EXPECT_NEAR(info.streams[0].duration, 1.5, 0.081);
  EXPECT_NEAR(info.streams[1].duration, 1.5, 0.1);
  EXPECT_NEAR(info.streams[0].start, info.streams[1].start, 0.05);
}

// All 16-bit samples of the first audio stream of a WAV file.
std::vector<int16_t> ReadSamples(const fs::path& wav) {
  std::vector<int16_t> samples;
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, wav.c_str(), nullptr, nullptr) < 0) return samples;
  AVPacket* pkt = av_packet_alloc();
  while (av_read_frame(ctx, pkt) >= 0) {
    const auto* data = reinterpret_cast<const int16_t*>(pkt->data);
    samples.insert(samples.end(), data, data + pkt->size / 2);
    av_packet_unref(pkt);
  }
  av_packet_free(&pkt);
  avformat_close_input(&ctx);
  return samples;
}

TEST(ReEncode, VolumeScalesSamplesRoundingDownAndLimits) {
  const fs::path folder = MakeTempFolder("volume");
  TClip clip;
  clip.video = false;
  clip.seconds = 1;
  clip.audio_codec = "pcm_s16le";
  clip.extra_output_args = {"-af", "volume=6.5"};  // peaks near 26600
  const fs::path source = MakeClip(folder / "tone.wav", clip);
  const std::vector<int16_t> in = ReadSamples(source);
  ASSERT_GT(in.size(), 40000u);
  for (int volume : {512, 128, 77}) {
    const fs::path out = folder / ("v" + std::to_string(volume) + ".wav");
    const auto result = ConvertFiles({source.string()}, {out.string()}, [&](TAVConverter& c) {
      c.ConvertOptions().AudioOptions().SetAudioVolume(volume);
    });
    ASSERT_TRUE(result.Ok()) << result.error;
    const std::vector<int16_t> got = ReadSamples(out);
    ASSERT_EQ(got.size(), in.size());
    size_t clipped = 0;
    for (size_t i = 0; i < in.size(); ++i) {
      const int scaled = static_cast<int>(std::floor((in[i] * volume + 128) / 256.0));
      const int expected = std::clamp(scaled, -32768, 32767);
      clipped += expected != scaled;
      ASSERT_EQ(got[i], expected) << "sample " << i << " of volume " << volume;
    }
    if (volume == 512) {
      EXPECT_GT(clipped, 1000u);
    }
  }
}

TEST(ReEncode, ResamplingAndChannelChangesKeepTheDuration) {
  const fs::path folder = MakeTempFolder("resample");
  TClip clip;
  clip.video = false;
  clip.seconds = 2;
  clip.sample_rate = 48000;
  const fs::path source = MakeClip(folder / "tone.wav", clip);
  for (const auto& [rate, channels] : std::vector<std::pair<int, int>>{{22050, 1}, {44100, 2}, {8000, 1}}) {
    const fs::path out = folder / ("out" + std::to_string(rate) + ".mp3");
    const auto result = ConvertFiles({source.string()}, {out.string()}, [&](TAVConverter& c) {
      c.ConvertOptions().AudioOptions().SetAudioSampleRate(rate);
      c.ConvertOptions().AudioOptions().SetAudioChannels(channels);
      c.ConvertOptions().AudioOptions().SetAudioSyncMethod(rate == 44100 ? 2 : 0);
    });
    ASSERT_TRUE(result.Ok()) << result.error;
    const TMediaInfo info = ProbeMedia(out);
    EXPECT_EQ(info.streams.at(0).sample_rate, rate);
    EXPECT_EQ(info.streams.at(0).channels, channels);
    // MP3 pads its last frame (at 8 kHz as the ffmpeg command line does: 2.16 s).
    EXPECT_NEAR(info.duration, 2.0, 0.17) << rate;
  }
}

int64_t VideoPackets(const fs::path& path) { return ProbeMedia(path).streams.at(0).packets; }

TEST(ReEncode, TheFrameRateSyncDuplicatesDropsAndStopsAtMaxFrames) {
  const fs::path folder = MakeTempFolder("vsync");
  auto convert = [&](const std::string& name, int num, int method, int max_frames) {
    const fs::path out = folder / name;
    const auto result = ConvertFiles({Source().string()}, {out.string()}, [&](TAVConverter& c) {
      TVideoOptions& v = c.ConvertOptions().VideoOptions();
      v.SetEncoderVideoCodecName("mpeg4");
      v.FrameRate().Setnum(num);
      v.FrameRate().Setden(1);
      v.SetCustomFrameRate(true);
      v.SetVideoSyncMethod(method);
      v.SetMaxFrames(max_frames);
      c.ConvertOptions().AudioOptions().SetAudioDisable(true);
    });
    EXPECT_TRUE(result.Ok()) << result.error;
    return out;
  };
  EXPECT_NEAR(VideoPackets(convert("double.avi", 50, -1, MaxInt)), 150, 2);
  EXPECT_NEAR(VideoPackets(convert("fewer.avi", 10, -1, MaxInt)), 30, 2);
  EXPECT_NEAR(VideoPackets(convert("variable.avi", 50, 2, MaxInt)), 75, 2);  // no duplicates
  EXPECT_EQ(VideoPackets(convert("limited.avi", 50, -1, 40)), 40);
  EXPECT_NEAR(ProbeMedia(folder / "double.avi").streams[0].frame_rate, 50, 0.01);
}

// The statistics folders in the temp folder that belong to outputs called `name`.
std::vector<fs::path> TwoPassFolders(const std::string& name) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
    if (entry.path().filename().string().rfind("veltrano-2pass-" + name + "-", 0) == 0) {
      found.push_back(entry.path());
    }
  }
  return found;
}

TEST(ReEncode, TwoPassesMeetInTheirStatisticsFolderWhichPassTwoRemoves) {
  const fs::path folder = MakeTempFolder("twopass");
  // Output names of this test program alone: other runs may use the temp folder too.
  const std::string run = test::TestFolder().filename().string();
  for (const std::string encoder : {"mpeg4", "libx264"}) {
    const std::string name = "twopass-" + encoder + "-" + run + ".mkv";
    const fs::path out = folder / name;
    for (int pass : {1, 2}) {
      const auto result = ConvertFiles({Source().string()}, {out.string()}, [&](TAVConverter& c) {
        c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName(encoder);
        c.ConvertOptions().VideoOptions().SetBitrate(300000);
        c.ConvertOptions().VideoOptions().SetPass(pass);
        c.SetOverwrite(true);  // pass 2 replaces what pass 1 wrote
      });
      ASSERT_TRUE(result.Ok()) << encoder << " pass " << pass << ": " << result.error;
      EXPECT_EQ(TwoPassFolders(name).size(), pass == 1 ? 1u : 0u) << encoder << " pass " << pass;
    }
    EXPECT_EQ(ProbeMedia(out).streams.at(0).packets, 75);
  }
  // A second pass without a first one cannot find its statistics, and
  // leaves no folder behind.
  const std::string orphan_name = "twopass-orphan-" + run + ".mkv";
  const auto orphan =
      ConvertFiles({Source().string()}, {(folder / orphan_name).string()}, [](TAVConverter& c) {
        c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
        c.ConvertOptions().VideoOptions().SetPass(2);
      });
  EXPECT_NE(orphan.error.find("for pass 2"), std::string::npos) << orphan.error;
  EXPECT_TRUE(TwoPassFolders(orphan_name).empty());
  EXPECT_FALSE(fs::exists(folder / orphan_name));
  EXPECT_TRUE(test::WorkFilesOf(folder / orphan_name).empty());

  // A second pass that fails after reading its statistics (the encoder
  // refuses an odd size) frees them: the leak checker of the sanitizer build
  // sees to that.
  const std::string failing_name = "twopass-failing-" + run + ".mkv";
  const fs::path failing = folder / failing_name;
  for (int pass : {1, 2}) {
    const auto result = ConvertFiles({Source().string()}, {failing.string()}, [&](TAVConverter& c) {
      c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("libx264");
      c.ConvertOptions().VideoOptions().SetPass(pass);
      if (pass == 2) c.ConvertOptions().VideoOptions().SetFrameWidth(161);
      c.SetOverwrite(true);
    });
    EXPECT_EQ(result.error.empty(), pass == 1) << result.error;
  }
  EXPECT_TRUE(test::WorkFilesOf(failing).empty());
  // A failed second pass keeps the statistics for another try; the test
  // leaves nothing behind.
  const std::vector<fs::path> kept = TwoPassFolders(failing_name);
  EXPECT_EQ(kept.size(), 1u);
  for (const fs::path& folder_left : kept) fs::remove_all(folder_left);
}

// One pass of an mpeg4 two-pass conversion of Source() into `out`.
test::TConversionResult ConvertPass(const fs::path& out, int pass) {
  return ConvertFiles({Source().string()}, {out.string()}, [&](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    c.ConvertOptions().VideoOptions().SetPass(pass);
    c.SetOverwrite(true);
  });
}

std::string FileText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The statistics folder's name is easy to predict, and it lies in the temp
// folder everyone shares: whatever stands under that name without being this
// program's own is refused by both passes and left exactly as it was.
TEST(ReEncode, TwoPassesTouchNothingButTheirOwnStatistics) {
  const fs::path folder = MakeTempFolder("twopass-foreign");
  const std::string name = "foreign-" + test::TestFolder().filename().string() + ".avi";
  const fs::path out = folder / name;
  ASSERT_TRUE(ConvertPass(out, 1).Ok());
  const std::vector<fs::path> made = TwoPassFolders(name);
  ASSERT_EQ(made.size(), 1u);
  const fs::path stats_folder = made[0];
  EXPECT_EQ(fs::status(stats_folder).permissions() & fs::perms::all, fs::perms::owner_all);
  ASSERT_TRUE(ConvertPass(out, 2).Ok());
  ASSERT_FALSE(fs::exists(stats_folder));

  // A folder of someone else's files, and a link to one, where ours belongs.
  const fs::path elsewhere = folder / "elsewhere";
  fs::create_directory(elsewhere);
  std::ofstream(elsewhere / "ffmpeg2pass-0.log") << "not statistics";
  std::ofstream(elsewhere / "notes.txt") << "kept";
  for (const bool as_link : {false, true}) {
    if (as_link) {
      fs::create_directory_symlink(elsewhere, stats_folder);
    } else {
      fs::copy(elsewhere, stats_folder, fs::copy_options::recursive);
    }
    for (int pass : {1, 2}) {
      const auto result = ConvertPass(out, pass);
      EXPECT_NE(result.error.find(stats_folder.string()), std::string::npos) << result.error;
      EXPECT_NE(result.error.find("not made by this program"), std::string::npos) << result.error;
    }
    EXPECT_EQ(fs::is_symlink(stats_folder), as_link);
    EXPECT_EQ(FileText(stats_folder / "ffmpeg2pass-0.log"), "not statistics");
    EXPECT_EQ(FileText(stats_folder / "notes.txt"), "kept");
    fs::remove_all(stats_folder);
  }
  EXPECT_EQ(FileText(elsewhere / "ffmpeg2pass-0.log"), "not statistics");

  // A file that appeared in our folder between the passes stays, and with it
  // the folder, still ours for another try.
  ASSERT_TRUE(ConvertPass(out, 1).Ok());
  std::ofstream(stats_folder / "notes.txt") << "kept";
  ASSERT_TRUE(ConvertPass(out, 2).Ok());
  EXPECT_EQ(FileText(stats_folder / "notes.txt"), "kept");
  EXPECT_FALSE(fs::exists(stats_folder / "ffmpeg2pass-0.log"));
  EXPECT_TRUE(ConvertPass(out, 1).Ok());
  fs::remove_all(stats_folder);
}

// A transport stream of video with `count` DVB picture subtitles.
fs::path DvbSubtitleSource(const fs::path& folder, int count) {
  TClip clip = test::VideoClipSpec("mpeg2video");
  clip.extra_output_args = {"-f", "mpegts"};
  const fs::path video = MakeClip(folder / "video.ts", clip);
  const fs::path source = folder / "subs.ts";
  EXPECT_TRUE(test::MakeDvbSubtitleClip(video, source, count, 500));
  return source;
}

TEST(ReEncode, DvbSubtitlesAreWrittenAsTwoPacketsEach) {
  const fs::path folder = MakeTempFolder("dvbsub");
  const fs::path source = DvbSubtitleSource(folder, 2);
  ASSERT_EQ(ProbeMedia(source).streams.at(1).codec, "dvb_subtitle");
  const fs::path out = folder / "out.ts";
  const auto result = ConvertFiles({source.string()}, {out.string()}, [](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetVideoStreamCopy(true);
    c.ConvertOptions().SubtitleOptions().SetSubtitleCodecName("dvbsub");
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  const TMediaInfo info = ProbeMedia(out);
  ASSERT_EQ(info.streams.size(), 2u);
  const auto& subs = info.streams[1];
  EXPECT_EQ(subs.codec, "dvb_subtitle");
  ASSERT_EQ(subs.packet_times.size(), 4u);
  // The second packet of each pair clears the picture when its time is up
  // (the encoder gives pictures a 30 s time-out, which the decoder reports).
  EXPECT_NEAR(subs.packet_times[1] - subs.packet_times[0], 30.0, 0.01);
  EXPECT_NEAR(subs.packet_times[3] - subs.packet_times[2], 30.0, 0.01);
  EXPECT_NEAR(subs.packet_times[2] - subs.packet_times[0], 0.7, 0.01);
}

TEST(ReEncode, PictureSubtitlesAreLeftOutOfFormatsThatOnlyTakeText) {
  const fs::path folder = MakeTempFolder("subtext");
  const fs::path source = DvbSubtitleSource(folder, 1);
  const fs::path out = folder / "out.mkv";
  const auto result = ConvertFiles({source.string()}, {out.string()});
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_EQ(ProbeMedia(out).streams.size(), 1u);
}

}  // namespace
}  // namespace veltrano

namespace veltrano {
namespace {

// Two MPEG-2 clips of different sizes, one after the other in one stream.
fs::path SizeChangingClip(const fs::path& folder) {
  const fs::path joined = folder / "joined.ts";
  std::ofstream out(joined, std::ios::binary);
  for (const std::string size : {"160x120", "320x240"}) {
    TClip clip = test::VideoClipSpec("mpeg2video", size);
    clip.extra_output_args = {"-f", "mpegts"};
    out << std::ifstream(MakeClip(folder / (size + ".ts"), clip), std::ios::binary).rdbuf();
  }
  return joined;
}

TEST(ReEncode, APictureSizeChangeNeedsTheScaler) {
  const fs::path folder = MakeTempFolder("size-change");
  const fs::path source = SizeChangingClip(folder);
  const auto refused = ConvertFiles({source.string()}, {(folder / "refused.mkv").string()},
                                    [](TAVConverter& c) {
                                      c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
                                    });
  EXPECT_EQ(refused.error, "Input Stream #0.0 frame size changed to 320x240, yuv420p (" +
                               source.string() + " → " + (folder / "refused.mkv").string() + ")");

  const fs::path scaled = folder / "scaled.mkv";
  const auto accepted = ConvertFiles({source.string()}, {scaled.string()}, [](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    c.ConvertOptions().VideoOptions().SetFrameWidth(176);
    c.ConvertOptions().VideoOptions().SetFrameHeight(144);
  });
  ASSERT_TRUE(accepted.Ok()) << accepted.error;
  const auto video = ProbeMedia(scaled).Stream("video");
  EXPECT_EQ(video.width, 176);
  EXPECT_NEAR(video.duration, 4.0, 0.3);
}

TEST(ReEncode, AStartBeyondTheEndIsAFailureNotAnEmptySuccess) {
  const fs::path out = MakeTempFolder("beyond") / "out.mkv";
  const auto result = ConvertFiles({Source().string()}, {out.string()}, [](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    c.ConvertOptions().SetStartTime(60'000'000);
  });
  EXPECT_EQ(result.error, "The source gave nothing to convert (" + Source().string() + " → " +
                              out.string() + ")");
  EXPECT_EQ(result.errors.size(), 1u);
}

TEST(ReEncode, DeinterlacingKeepsEveryPicture) {
  const fs::path out = MakeTempFolder("deinterlace") / "out.mkv";
  const auto result = ConvertFiles({Source().string()}, {out.string()}, [](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    c.ConvertOptions().VideoOptions().SetDeinterlace(true);
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_EQ(ProbeMedia(out).Stream("video").packets, 75);
}

}  // namespace
}  // namespace veltrano
