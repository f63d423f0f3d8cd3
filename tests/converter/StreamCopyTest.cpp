// Stream copy end to end and the main loop's limits, judged by reading the
// outputs with libavformat.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
using test::SharedClip;
using test::TClip;
using test::TMediaInfo;

void CopyAll(TAVConverter& c) {
  c.ConvertOptions().VideoOptions().SetVideoStreamCopy(true);
  c.ConvertOptions().AudioOptions().SetAudioStreamCopy(true);
}

// H.264 + AAC with a key frame every 5 frames, 4 seconds.
fs::path H264Clip() {
  TClip clip = test::AvClipSpec("libx264", "aac");
  clip.seconds = 4;
  clip.size = "320x240";
  clip.extra_output_args = {"-g", "5"};
  return SharedClip("h264-aac.mp4", clip);
}

void ExpectSamePackets(const TMediaInfo& a, const TMediaInfo& b) {
  ASSERT_TRUE(a.opened && b.opened);
  ASSERT_EQ(a.streams.size(), b.streams.size());
  for (size_t i = 0; i < a.streams.size(); ++i) {
    EXPECT_EQ(a.streams[i].codec, b.streams[i].codec);
    EXPECT_EQ(a.streams[i].packets, b.streams[i].packets) << "stream " << i;
    EXPECT_EQ(a.streams[i].data_md5, b.streams[i].data_md5) << "stream " << i;
    EXPECT_NEAR(a.streams[i].duration, b.streams[i].duration, 0.05) << "stream " << i;
  }
}

TEST(StreamCopy, Mp4ToMatroskaAndBackKeepsEveryPacket) {
  const fs::path folder = MakeTempFolder("copy-mp4");
  const fs::path mkv = folder / "copy.mkv";
  const fs::path back = folder / "back.mp4";
  ASSERT_TRUE(ConvertFiles({H264Clip().string()}, {mkv.string()}, CopyAll).Ok());
  ASSERT_TRUE(ConvertFiles({mkv.string()}, {back.string()}, CopyAll).Ok());
  const TMediaInfo source = ProbeMedia(H264Clip());
  ExpectSamePackets(source, ProbeMedia(mkv));
  ExpectSamePackets(source, ProbeMedia(back));
  EXPECT_NEAR(ProbeMedia(back).duration, source.duration, 0.05);
}

TEST(StreamCopy, ProgramStreamToTransportStreamKeepsTheData) {
  const fs::path folder = MakeTempFolder("copy-ps");
  TClip clip = test::AvClipSpec("mpeg2video", "mp2");
  clip.extra_output_args = {"-f", "vob"};
  const fs::path ps = MakeClip(folder / "source.mpg", clip);
  const fs::path ts = folder / "copy.ts";
  const auto result = ConvertFiles({ps.string()}, {ts.string()}, CopyAll);
  ASSERT_TRUE(result.Ok()) << result.error;
  const TMediaInfo in = ProbeMedia(ps);
  const TMediaInfo out = ProbeMedia(ts);
  ASSERT_EQ(out.format, "mpegts");
  ASSERT_EQ(out.streams.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(in.streams[i].data_md5, out.streams[i].data_md5);
    EXPECT_NEAR(in.streams[i].duration, out.streams[i].duration, 0.05);
  }
}

TEST(StreamCopy, StartAndRecordingTimeCutTheCopy) {
  const fs::path out = MakeTempFolder("copy-cut") / "cut.mkv";
  const auto result = ConvertFiles({H264Clip().string()}, {out.string()}, [](TAVConverter& c) {
    CopyAll(c);
    c.ConvertOptions().SetStartTime(1'000'000);
    c.ConvertOptions().SetRecordingTime(2'000'000);
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  const TMediaInfo info = ProbeMedia(out);
  // The copy starts at the key frame before 1 s (a key frame every 0.2 s).
  EXPECT_GT(info.streams.at(0).duration, 1.9);
  EXPECT_LT(info.streams.at(0).duration, 2.35);
  EXPECT_LT(info.streams.at(0).packets, 60);
}

TEST(StreamCopy, LimitFileSizeEndsTheConversionSoonAfterTheLimit) {
  const fs::path out = MakeTempFolder("copy-limit") / "limited.mkv";
  const auto full_size = fs::file_size(H264Clip());
  ASSERT_GT(full_size, 200000u);
  const auto result = ConvertFiles({H264Clip().string()}, {out.string()}, [](TAVConverter& c) {
    CopyAll(c);
    c.ConvertOptions().SetLimitFileSize(60000);
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_GT(fs::file_size(out), 60000u);
  EXPECT_LT(fs::file_size(out), 110000u);
}

TEST(StreamCopy, ShortTestEndsWithTheFirstInputToEnd) {
  const fs::path folder = MakeTempFolder("short");
  TClip video = test::VideoClipSpec("libx264");
  video.seconds = 1;
  TClip audio;
  audio.video = false;
  audio.seconds = 4;
  audio.audio_codec = "aac";
  const fs::path v = MakeClip(folder / "video.mp4", video);
  const fs::path a = MakeClip(folder / "audio.m4a", audio);
  auto run = [&](bool short_test, const std::string& name) {
    const fs::path out = folder / name;
    const auto result = ConvertFiles({v.string(), a.string()}, {out.string()}, [&](TAVConverter& c) {
      CopyAll(c);
      c.ConvertOptions().SetShortTest(short_test);
    });
    EXPECT_TRUE(result.Ok()) << result.error;
    return ProbeMedia(out);
  };
  const TMediaInfo full = run(false, "full.mkv");
  const TMediaInfo cut = run(true, "short.mkv");
  ASSERT_EQ(full.streams.size(), 2u);
  EXPECT_NEAR(full.streams[1].duration, 4.0, 0.1);
  EXPECT_LT(cut.streams.at(1).duration, 1.6);
}

TEST(StreamCopy, TimestampJumpsOfDiscontinuousFormatsAreClosed) {
  const fs::path folder = MakeTempFolder("discont");
  TClip clip = test::AvClipSpec("mpeg2video", "mp2");
  clip.extra_output_args = {"-f", "mpegts"};
  const fs::path first = MakeClip(folder / "a.ts", clip);
  clip.extra_output_args = {"-f", "mpegts", "-output_ts_offset", "30"};
  const fs::path second = MakeClip(folder / "b.ts", clip);
  const fs::path joined = folder / "joined.ts";
  {
    std::ofstream out(joined, std::ios::binary);
    out << std::ifstream(first, std::ios::binary).rdbuf() << std::ifstream(second, std::ios::binary).rdbuf();
  }
  auto run = [&](bool copy_ts, const std::string& name) {
    const fs::path out = folder / name;
    const auto result = ConvertFiles({joined.string()}, {out.string()}, [&](TAVConverter& c) {
      CopyAll(c);
      c.ConvertOptions().SetCopyTS(copy_ts);
    });
    EXPECT_TRUE(result.Ok()) << result.error;
    return ProbeMedia(out);
  };
  const TMediaInfo corrected = run(false, "corrected.mkv");
  EXPECT_NEAR(corrected.streams.at(0).duration, 4.0, 0.3);
  const TMediaInfo kept = run(true, "kept.mkv");
  EXPECT_GT(kept.streams.at(0).duration, 25.0);
}

TEST(StreamCopy, ChaptersAreCopied) {
  const fs::path folder = MakeTempFolder("chapters");
  const fs::path meta = folder / "chapters.txt";
  std::ofstream(meta) << ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=One\n"
                         "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=Two\n";
  const fs::path source = folder / "source.mkv";
  const auto made = test::RunCommand(
      "ffmpeg -nostdin -loglevel error -y -i " + test::ShellQuote(H264Clip().string()) + " -i " +
      test::ShellQuote(meta.string()) + " -map_metadata 1 -map_chapters 1 -c copy " +
      test::ShellQuote(source.string()));
  ASSERT_EQ(made.exit_code, 0) << made.output;
  const fs::path out = folder / "copy.mkv";
  ASSERT_TRUE(ConvertFiles({source.string()}, {out.string()}, CopyAll).Ok());
  EXPECT_EQ(ProbeMedia(out).chapters, 2);
}

TEST(StreamCopy, MetadataLinesBecomeTagsOfTheOutput) {
  const fs::path out = MakeTempFolder("metadata") / "tagged.mkv";
  const auto result = ConvertFiles({H264Clip().string()}, {out.string()}, [](TAVConverter& c) {
    CopyAll(c);
    c.ConvertOptions().SetMetaData({"title=假期 2026", "comment=a=b"});
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  const auto tags = test::RunCommand("ffprobe -v error -show_entries format_tags -of "
                                     "default=nw=1 " + test::ShellQuote(out.string()));
  EXPECT_NE(tags.output.find("TAG:title=假期 2026"), std::string::npos) << tags.output;
  EXPECT_NE(tags.output.find("=a=b"), std::string::npos) << tags.output;
}

TEST(StreamCopy, CopiedAudioRefusesAVolumeChange) {
  const fs::path out = MakeTempFolder("copy-volume") / "out.mkv";
  const auto result = ConvertFiles({H264Clip().string()}, {out.string()}, [](TAVConverter& c) {
    CopyAll(c);
    c.ConvertOptions().AudioOptions().SetAudioVolume(512);
  });
  EXPECT_EQ(result.error, "-acodec copy and -vol are incompatible (frames are not decoded) (" +
                              H264Clip().string() + " → " + out.string() + ")");
  EXPECT_EQ(result.completed, 1);
  EXPECT_EQ(result.errors.size(), 1u);
}

}  // namespace
}  // namespace veltrano
