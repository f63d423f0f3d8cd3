// Faults that came from stages sharing state or ignoring conditions: crop
// bands taken twice, a stop during opening, a time span that decoded the
// whole source, a read error taken for the end, endless frame duplication,
// the first audio samples before zero, numbered names of non-picture
// targets, and values of one run reaching the next.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <vector>

#include "converter/AVConverter.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"
#include "support/WorkFiles.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::ConvertFiles;
using test::MakeClip;
using test::MakeTempFolder;
using test::ProbeMedia;
using test::TClip;

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::string PixelFormatOf(const fs::path& file) {
  const auto probe = test::RunCommand(
      "ffprobe -v error -select_streams v:0 -show_entries "
      "stream=pix_fmt -of csv=p=0 " +
      test::ShellQuote(file.string()));
  std::string text = probe.output;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

TEST(RunFaults, CropBandsAreTakenOnceForEveryOutput) {
  const fs::path folder = MakeTempFolder("crop");
  const fs::path source = MakeClip(folder / "src.mkv", test::VideoClipSpec("mpeg4", "320x240"));
  const fs::path a = folder / "a.mkv";
  const fs::path b = folder / "b.mkv";
  const auto result =
      ConvertFiles({source.string()}, {a.string(), b.string()}, [](TAVConverter& c) {
        c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
        c.ConvertOptions().VideoOptions().SetFrameLeftBand(16);
      });
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_EQ(ProbeMedia(a).Stream("video").width, 304);
  EXPECT_EQ(ProbeMedia(b).Stream("video").width, 304);
  EXPECT_EQ(ProbeMedia(b).Stream("video").height, 240);
}

TEST(RunFaults, AStopRightAfterConvertEndsTheRunAsStopped) {
  const fs::path folder = MakeTempFolder("early-stop");
  TClip clip = test::AvClipSpec("mpeg4", "mp2");
  clip.seconds = 10;
  const fs::path source = MakeClip(folder / "src.mkv", clip);
  TEventLoopDispatcher ui;
  test::TMessageRecorder messages;
  test::TEventLog events;
  TAVConverter converter(&ui);
  test::RecordEvents(converter, events, ui);
  converter.SetInputFiles({source.string()});
  converter.SetOutputFiles({(folder / "out.mkv").string()});
  converter.Convert();
  converter.Stop();
  ASSERT_TRUE(ui.RunUntil([&] { return !converter.IsRunning(); }, std::chrono::minutes(1)));
  converter.WaitFor();
  ui.ProcessPending(std::chrono::milliseconds(0));
  EXPECT_EQ(events.stopped, 1);
  EXPECT_EQ(events.completed, 0);
  EXPECT_TRUE(converter.ErrorMsg().empty()) << converter.ErrorMsg();
  EXPECT_TRUE(messages.Errors().empty());
  EXPECT_LT(converter.ConvertedDuration(), 5.0);
  EXPECT_TRUE(test::WorkFilesOf(folder / "out.mkv").empty());
}

// An input that waits for a connection which never comes: opening blocks
// until the interrupt callback gives up.
TEST(RunFaults, AStopEndsAnOpenThatWaits) {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(probe, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t length = sizeof address;
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  close(probe);
  const std::string input =
      "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "?listen=1";

  TEventLoopDispatcher ui;
  test::TMessageRecorder messages;
  test::TEventLog events;
  TAVConverter converter(&ui);
  test::RecordEvents(converter, events, ui);
  converter.SetInputFiles({input});
  converter.SetOutputFiles({(MakeTempFolder("open-stop") / "out.mkv").string()});
  converter.Convert();
  ui.RunUntil([] { return false; }, std::chrono::milliseconds(300));
  ASSERT_TRUE(converter.IsRunning());  // still waiting in the open
  converter.Stop();
  ASSERT_TRUE(ui.RunUntil([&] { return !converter.IsRunning(); }, std::chrono::seconds(20)));
  converter.WaitFor();
  ui.ProcessPending(std::chrono::milliseconds(0));
  EXPECT_EQ(events.stopped, 1);
  EXPECT_EQ(events.completed, 0);
  EXPECT_TRUE(messages.Errors().empty());
}

// The span's cost is measured against the whole file in the same process:
// an encoder with look-ahead must not make the run read on to the end.
TEST(RunFaults, ATimeSpanDecodesOnlyWhatItNeeds) {
  const fs::path folder = MakeTempFolder("span");
  TClip clip = test::VideoClipSpec("libx264", "320x240");
  clip.seconds = 12;
  const fs::path source = MakeClip(folder / "src.mp4", clip);
  auto x264 = [](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("libx264");
  };

  double before = ProcessCpuSeconds();
  const auto whole = ConvertFiles({source.string()}, {(folder / "whole.mp4").string()}, x264);
  const double whole_cpu = ProcessCpuSeconds() - before;
  ASSERT_TRUE(whole.Ok()) << whole.error;

  before = ProcessCpuSeconds();
  const auto span =
      ConvertFiles({source.string()}, {(folder / "span.mp4").string()}, [&](TAVConverter& c) {
        x264(c);
        c.ConvertOptions().SetRecordingTime(400'000);
      });
  const double span_cpu = ProcessCpuSeconds() - before;
  ASSERT_TRUE(span.Ok()) << span.error;
  EXPECT_LT(span_cpu, whole_cpu * 0.4) << "span " << span_cpu << " s, whole " << whole_cpu << " s";
  EXPECT_EQ(ProbeMedia(folder / "span.mp4").Stream("video").packets, 10);
}

TEST(RunFaults, AReadErrorIsAFailureNotTheEnd) {
  const fs::path folder = MakeTempFolder("cut");
  TClip clip = test::AvClipSpec("mpeg4", "mp2");
  clip.seconds = 20;
  const fs::path source = MakeClip(folder / "src.mkv", clip);
  const fs::path out = folder / "out.mkv";
  bool cut = false;
  const auto result = ConvertFiles({source.string()}, {out.string()}, [&](TAVConverter& c) {
    // The worker waits while the progress hand-over runs: the file shrinks
    // between two of its reads.
    c.SetOnProgress([&, size = fs::file_size(source)](TAVConverter& conv) {
      if (!cut && conv.ConvertedDuration() > 1.0) {
        fs::resize_file(source, size / 3);
        cut = true;
      }
    });
  });
  ASSERT_TRUE(cut);
  ASSERT_TRUE(result.ended);
  EXPECT_NE(result.error.find("Error while reading input " + source.string()), std::string::npos)
      << result.error;
  EXPECT_FALSE(fs::exists(out));
  EXPECT_TRUE(test::WorkFilesOf(out).empty());
}

// Sets the timestamp of the `nth` video tag of an FLV file to `ms`.
void SetFlvVideoTimestamp(const fs::path& file, int nth, uint32_t ms) {
  std::fstream flv(file, std::ios::in | std::ios::out | std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(flv)), std::istreambuf_iterator<char>());
  size_t pos = 9 + 4;  // header, first previous-tag size
  int video = 0;
  while (pos + 11 <= bytes.size()) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(bytes[pos + i]); };
    const uint32_t size = (byte(1) << 16) | (byte(2) << 8) | byte(3);
    if ((byte(0) & 0x1f) == 9 && ++video == nth) {
      flv.seekp(static_cast<std::streamoff>(pos + 4));
      const char stamp[4] = {static_cast<char>(ms >> 16), static_cast<char>(ms >> 8),
                             static_cast<char>(ms), static_cast<char>(ms >> 24)};
      flv.write(stamp, 4);
      return;
    }
    pos += 11 + size + 4;
  }
  FAIL() << "the FLV has fewer than " << nth << " video tags";
}

TEST(RunFaults, ATimestampJumpIsADiscontinuityNotHoursOfCopies) {
  const fs::path folder = MakeTempFolder("jump");
  TClip clip = test::AvClipSpec("flv", "libmp3lame");
  clip.seconds = 1.6;
  clip.sample_rate = 22050;
  clip.extra_output_args = {"-f", "flv"};
  const fs::path source = MakeClip(folder / "src.flv", clip);
  SetFlvVideoTimestamp(source, 10, 2 * 3600 * 1000);  // two hours on
  const fs::path out = folder / "out.mp4";
  const auto result = ConvertFiles(
      {source.string()}, {out.string()},
      [](TAVConverter& c) { c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4"); },
      std::chrono::seconds(60));
  ASSERT_TRUE(result.ended) << "the conversion did not end";
  ASSERT_TRUE(result.Ok()) << result.error;
  const auto info = ProbeMedia(out);
  EXPECT_LT(info.Stream("video").duration, 3.0);  // the source lasts 1.6 s
  bool logged = false;
  for (const std::string& line : result.logs)
    logged |= line.find("treated as a discontinuity") != std::string::npos;
  EXPECT_TRUE(logged);
}

// Audio whose first timestamps lie below zero (an FLV of FLV1 and MP3 gives
// such, and so does an input offset) keeps its first samples: the room left
// before the end of an unlimited span must not overflow.
TEST(RunFaults, AudioStartingBelowZeroKeepsItsFirstSamples) {
  const fs::path folder = MakeTempFolder("flv-audio");
  TClip clip = test::AvClipSpec("flv", "libmp3lame");
  clip.extra_output_args = {"-f", "flv"};
  const fs::path source = MakeClip(folder / "src.flv", clip);
  const fs::path out = folder / "out.mp4";
  const auto result = ConvertFiles({source.string()}, {out.string()}, [](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    c.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("aac");
    c.ConvertOptions().SetInputTSOffset(-300'000);
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  const double source_audio = ProbeMedia(source).Stream("audio").duration;
  EXPECT_NEAR(ProbeMedia(out).Stream("audio").duration, source_audio, 0.05);
}

TEST(RunFaults, ANumberSignInANameOnlyNumbersPictures) {
  const fs::path folder = MakeTempFolder("percent");
  const fs::path source = MakeClip(folder / "src.mkv", test::VideoClipSpec("mpeg4"));
  const auto movie = ConvertFiles(
      {source.string()}, {(folder / "out%d.mp4").string()},
      [](TAVConverter& c) { c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4"); });
  ASSERT_TRUE(movie.Ok()) << movie.error;
  EXPECT_EQ(ProbeMedia(folder / "out%d.mp4").Stream("video").packets, 50);
  EXPECT_FALSE(fs::exists(folder / "out1.mp4"));

  const auto pictures =
      ConvertFiles({source.string()}, {(folder / "pic%d.png").string()},
                   [](TAVConverter& c) { c.ConvertOptions().SetRecordingTime(200'000); });
  ASSERT_TRUE(pictures.Ok()) << pictures.error;
  EXPECT_TRUE(fs::exists(folder / "pic1.png"));
  EXPECT_TRUE(fs::exists(folder / "pic5.png"));
  EXPECT_FALSE(fs::exists(folder / "pic6.png"));
  EXPECT_FALSE(fs::exists(folder / "pic%d.png"));
}

TEST(RunFaults, NothingOfOneRunReachesTheNext) {
  const fs::path folder = MakeTempFolder("two-runs");
  const fs::path wide = MakeClip(folder / "wide.mkv", test::VideoClipSpec("mpeg4", "320x240"));
  TClip full = test::VideoClipSpec("libx264", "160x120");
  full.extra_output_args = {"-pix_fmt", "yuv444p"};
  const fs::path rich = MakeClip(folder / "rich.mkv", full);

  TEventLoopDispatcher ui;
  test::TMessageRecorder messages;
  TAVConverter converter(&ui);
  converter.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("ffv1");
  converter.ConvertOptions().VideoOptions().SetFrameLeftBand(16);
  converter.SetInputFiles({wide.string()});
  converter.SetOutputFiles({(folder / "first.mkv").string()});
  ASSERT_TRUE(test::RunToEnd(converter, ui));
  ASSERT_TRUE(converter.ErrorMsg().empty()) << converter.ErrorMsg();
  const int64_t first_video_bytes = converter.VideoSize();
  EXPECT_GT(first_video_bytes, 0);

  converter.ConvertOptions().VideoOptions().SetFrameLeftBand(0);
  converter.SetInputFiles({rich.string()});
  converter.SetOutputFiles({(folder / "second.mkv").string()});
  ASSERT_TRUE(test::RunToEnd(converter, ui));
  ASSERT_TRUE(converter.ErrorMsg().empty()) << converter.ErrorMsg();
  EXPECT_EQ(PixelFormatOf(folder / "first.mkv"), "yuv420p");
  EXPECT_EQ(PixelFormatOf(folder / "second.mkv"), "yuv444p");
  EXPECT_EQ(ProbeMedia(folder / "second.mkv").Stream("video").width, 160);
  EXPECT_EQ(converter.ConvertOptions().VideoOptions().FramePixFormat(), -1);
  EXPECT_NE(converter.VideoSize(), first_video_bytes);  // counted from zero again
}

}  // namespace
}  // namespace veltrano
