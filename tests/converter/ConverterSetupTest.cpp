// The converter's figures, its log routing and the stages before transcoding:
// input opening and output setup, read from the plan a run leaves.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

#include <thread>

#include "converter/AVConverter.h"
#include "converter/ConvertThread.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::MakeClip;
using test::MakeTempFolder;
using test::SharedClip;
using test::TClip;
using test::TEventLog;
using test::TMessageRecorder;

// The kinds of the output's streams, in order.
std::vector<int> Kinds(const TPlannedOutput& output) {
  std::vector<int> kinds;
  for (const TPlannedStream& s : output.streams) kinds.push_back(s.kind);
  return kinds;
}

class ConverterSetup : public ::testing::Test {
 protected:
  TEventLoopDispatcher ui;
  TMessageRecorder messages;
  TEventLog events;

  // Runs `converter` on `inputs` into `outputs`; expects a completed run.
  void Run(TAVConverter& converter, const TStrings& inputs, const TStrings& outputs) {
    test::RecordEvents(converter, events, ui);
    converter.SetInputFiles(inputs);
    converter.SetOutputFiles(outputs);
    const int completed_before = events.completed;
    ASSERT_TRUE(test::RunToEnd(converter, ui));
    EXPECT_EQ(events.completed, completed_before + 1);
    EXPECT_EQ(converter.State(), csNone);
  }

  static std::string AvClip() {
    return SharedClip("av.mkv", test::AvClipSpec("mpeg4", "mp2")).string();
  }
  static std::string WavClip() {
    TClip clip;
    clip.video = false;
    return SharedClip("tone.wav", clip).string();
  }
};

TEST(ConverterFigures, ProgressAndRemainingTime) {
  TEventLoopDispatcher ui;
  TAVConverter c(&ui);
  EXPECT_EQ(c.Progress(), 0);  // no duration known
  EXPECT_EQ(c.GetLeftTime(), kUnknownLeftTime);

  TAVConvertOptions options;
  EXPECT_EQ(ProgressPercent(options, 100, 25), 25);
  EXPECT_EQ(LeftSeconds(25, 30), 90);
  EXPECT_EQ(LeftSeconds(0, 30), kUnknownLeftTime);

  options.SetStartTime(10'000'000);
  EXPECT_EQ(ProgressPercent(options, 100, 45), 50);

  options.SetStartTime(0);
  options.SetRecordingTime(20'000'000);  // shorter than the source
  EXPECT_EQ(ProgressPercent(options, 100, 5), 25);
  EXPECT_EQ(ProgressPercent(options, 100, 30), 150);  // not clamped

  options.SetRecordingTime(MaxInt64);
  EXPECT_EQ(ProgressPercent(options, 8, 1), 12);  // 12.5 rounds to even
}

TEST(ConverterFigures, PauseResumeAndStopOnAnIdleConverterDoNothing) {
  TEventLoopDispatcher ui;
  TAVConverter c(&ui);
  c.Pause();
  EXPECT_EQ(c.State(), csNone);
  c.Resume();
  EXPECT_EQ(c.State(), csNone);
  c.Stop();
  EXPECT_EQ(c.State(), csNone);
  EXPECT_FALSE(c.IsRunning());
}

TEST_F(ConverterSetup, LogLinesReachOnlyTheConverterWhoseWorkerRaisedThem) {
  std::atomic<int> ready{0};
  auto make = [&](const std::string& name) {
    auto c = std::make_unique<TAVConverter>(&ui);
    c->SetOnOutput([&ready, name](TAVConverter&, const TOutputRecord& record) {
      if (record.step != TOutputRecord::WorkCreated) return;
      // Both workers log at the same time, interleaved.
      ++ready;
      while (ready < 2) std::this_thread::yield();
      for (int i = 0; i < 50; ++i) {
        av_log(nullptr, AV_LOG_WARNING, "line %d of %s", i, name.c_str());
        av_log(nullptr, AV_LOG_INFO, "info of %s", name.c_str());
      }
      av_log(nullptr, AV_LOG_ERROR, "%s", std::string(3000, 'x').c_str());
    });
    return c;
  };
  auto first = make("first");
  auto second = make("second");
  TEventLog first_log;
  TEventLog second_log;
  test::RecordEvents(*first, first_log, ui);
  test::RecordEvents(*second, second_log, ui);
  const fs::path folder = MakeTempFolder("logs");
  first->SetInputFiles({AvClip()});
  first->SetOutputFiles({(folder / "a.mkv").string()});
  second->SetInputFiles({AvClip()});
  second->SetOutputFiles({(folder / "b.mkv").string()});
  first->Convert();
  second->Convert();
  av_log(nullptr, AV_LOG_ERROR, "from the user-interface thread");
  ASSERT_TRUE(ui.RunUntil([&] { return !first->IsRunning() && !second->IsRunning(); },
                          std::chrono::minutes(1)));
  first->WaitFor();
  second->WaitFor();

  auto count = [](TEventLog& log, const std::string& fragment) {
    int n = 0;
    for (const std::string& text : log.LogTexts()) n += text.find(fragment) != std::string::npos;
    return n;
  };
  EXPECT_EQ(count(first_log, "of first"), 50);
  EXPECT_EQ(count(first_log, "of second"), 0);
  EXPECT_EQ(count(second_log, "of second"), 50);
  EXPECT_EQ(count(second_log, "of first"), 0);
  EXPECT_EQ(count(first_log, "info of"), 0);  // level 32 is above the log level
  EXPECT_EQ(count(first_log, "user-interface"), 0);
  bool found_long = false;
  for (const std::string& text : first_log.LogTexts()) {
    if (text.size() > 1000) {
      found_long = true;
      EXPECT_EQ(text, std::string(1024, 'x'));
    }
  }
  EXPECT_TRUE(found_long);
  EXPECT_EQ(RegisteredConvertThreadCount(), 0);
}

TEST_F(ConverterSetup, StartTimeSeeksPastTheContainerStartAndSetsTheOffset) {
  TClip clip;
  clip.extra_output_args = {"-f", "mpegts"};
  const fs::path ts = SharedClip("start.ts", clip);
  const double container_start = test::ProbeMedia(ts).start_time;
  ASSERT_GT(container_start, 0.5);
  const int64_t start_us = static_cast<int64_t>(std::llround(container_start * 1e6));
  const fs::path folder = MakeTempFolder("seek");

  TAVConverter plain(&ui);
  plain.ConvertOptions().SetStartTime(500'000);
  Run(plain, {ts.string()}, {(folder / "a.mkv").string()});
  ASSERT_TRUE(plain.Plan().Complete());
  EXPECT_NEAR(plain.Plan().inputs.at(0).ts_offset, -(500'000 + start_us), 2);

  TAVConverter copy_ts(&ui);
  copy_ts.ConvertOptions().SetStartTime(500'000);
  copy_ts.ConvertOptions().SetCopyTS(true);
  copy_ts.ConvertOptions().SetInputTSOffset(123);
  Run(copy_ts, {ts.string()}, {(folder / "b.mkv").string()});
  EXPECT_EQ(copy_ts.Plan().inputs.at(0).ts_offset, 123);
}

TEST_F(ConverterSetup, TheSourcesParametersGoToTheRunAndLeaveTheOptionsAlone) {
  const fs::path folder = MakeTempFolder("params");
  TAVConverter c(&ui);
  c.ConvertOptions().VideoOptions().FrameRate().Setnum(15);
  c.ConvertOptions().VideoOptions().SetFrameAspectRatio(4.0f / 3.0f);
  c.SetDuration(42);
  const fs::path wide = MakeClip(folder / "wide.mkv", test::VideoClipSpec("mpeg4", "320x120"));
  const fs::path av = MakeClip(folder / "av.mkv", test::AvClipSpec("mpeg4", "mp2"));
  Run(c, {wide.string()}, {(folder / "out.mkv").string()});
  const TPlannedSource& source = c.Plan().source;
  EXPECT_EQ(source.frame_rate_num, 25);
  EXPECT_EQ(source.frame_rate_den, 1);
  EXPECT_NEAR(source.aspect_ratio, 320.0 / 120.0, 1e-4);
  EXPECT_EQ(source.pixel_format, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(source.width, 320);
  EXPECT_EQ(source.height, 120);
  EXPECT_NEAR(c.Duration(), 2.0, 0.1);  // the container's duration replaced 42
  // The job's options are what the caller set.
  const TVideoOptions& v = c.ConvertOptions().VideoOptions();
  EXPECT_EQ(v.FrameRate().num(), 15);
  EXPECT_NEAR(v.FrameAspectRatio(), 4.0 / 3.0, 1e-4);
  EXPECT_EQ(v.FramePixFormat(), -1);

  // A rate chosen by a profile is the output's.
  TAVConverter custom(&ui);
  custom.ConvertOptions().VideoOptions().FrameRate().Setnum(15);
  custom.ConvertOptions().VideoOptions().SetCustomFrameRate(true);
  Run(custom, {wide.string()}, {(folder / "out2.mkv").string()});
  EXPECT_EQ(custom.Plan().source.frame_rate_num, 15);

  // Audio parameters come from the audio stream; a second run of the same
  // converter on another source starts from nothing.
  Run(c, {av.string()}, {(folder / "out3.mkv").string()});
  EXPECT_EQ(c.Plan().source.sample_rate, 44100);
  EXPECT_EQ(c.Plan().source.channels, 2);
  EXPECT_EQ(c.Plan().source.width, 160);
  EXPECT_EQ(c.ConvertOptions().VideoOptions().FramePixFormat(), -1);
}

TEST_F(ConverterSetup, AnInputWithoutDurationKeepsTheCallersDuration) {
  const fs::path folder = MakeTempFolder("noduration");
  TClip clip = test::VideoClipSpec("libx264");
  clip.extra_output_args = {"-f", "h264"};
  const fs::path raw = MakeClip(folder / "raw.h264", clip);
  TAVConverter c(&ui);
  c.SetDuration(42);
  Run(c, {raw.string()}, {(folder / "out.mkv").string()});
  ASSERT_TRUE(c.Plan().Complete());
  EXPECT_EQ(c.Duration(), 42);
}

TEST_F(ConverterSetup, NonAsciiFileNamesAreOpenedAndCreated) {
  const fs::path folder = MakeTempFolder("名字");
  const fs::path source = MakeClip(folder / "视频 测试'1.mkv", test::AvClipSpec("mpeg4", "mp2"));
  TAVConverter c(&ui);
  const fs::path target = folder / "输出 文件.mkv";
  Run(c, {source.string()}, {target.string()});
  ASSERT_TRUE(c.Plan().Complete());
  EXPECT_TRUE(c.ErrorMsg().empty()) << c.ErrorMsg();
  EXPECT_TRUE(fs::exists(target));
}

TEST_F(ConverterSetup, ProgramSelectionKeepsOnlyThatProgramsStreams) {
  const fs::path folder = MakeTempFolder("programs");
  TClip clip = test::AvClipSpec("mpeg2video", "mp2");
  clip.extra_output_args = {"-map", "0:v", "-map", "1:a", "-program", "program_num=7:st=0",
                            "-program", "program_num=9:st=1", "-f", "mpegts"};
  const fs::path ts = MakeClip(folder / "two.ts", clip);

  TAVConverter c(&ui);
  c.ConvertOptions().SetProgramID(9);
  Run(c, {ts.string()}, {(folder / "out.mkv").string()});
  ASSERT_EQ(c.Plan().inputs.size(), 1u) << c.ErrorMsg();
  EXPECT_EQ(c.Plan().inputs.at(0).read, (std::vector<bool>{false, true}));

  // The whole run: the output holds the chosen program's sound alone.
  TAVConverter whole(&ui);
  const fs::path sound = folder / "sound.mkv";
  whole.SetInputFiles({ts.string()});
  whole.SetOutputFiles({sound.string()});
  whole.ConvertOptions().SetProgramID(9);
  ASSERT_TRUE(test::RunToEnd(whole, ui));
  EXPECT_TRUE(whole.ErrorMsg().empty()) << whole.ErrorMsg();
  const test::TMediaInfo info = test::ProbeMedia(sound);
  ASSERT_EQ(info.streams.size(), 1u);
  EXPECT_EQ(info.streams[0].kind, "audio");

  TAVConverter missing(&ui);
  missing.ConvertOptions().SetProgramID(8);
  Run(missing, {ts.string()}, {(folder / "out2.mkv").string()});
  EXPECT_EQ(missing.ErrorMsg().rfind("Specified program id not found (" + ts.string(), 0), 0u)
      << missing.ErrorMsg();
}

TEST_F(ConverterSetup, FailuresBeforeTranscodingAreReportedAndEndTheRun) {
  const fs::path folder = MakeTempFolder("failures");
  struct TCase {
    std::function<void(TAVConvertOptions&)> setup;
    std::string input;
    std::string message;
  };
  const std::vector<TCase> cases{
      {[](TAVConvertOptions& o) { o.SetOutputFormat("nosuchformat"); }, AvClip(),
       "Unknown input  or Output format nosuchformat"},
      {[](TAVConvertOptions& o) { o.VideoOptions().SetDecoderVideoCodecName("nosuchcodec"); },
       AvClip(), "Unknown Codec Name"},
      {[](TAVConvertOptions& o) { o.VideoOptions().SetDecoderVideoCodecName("mp3"); }, AvClip(),
       "Invalid codec type"},
      {[](TAVConvertOptions& o) { o.VideoOptions().SetEncoderVideoCodecName("aac"); }, AvClip(),
       "Invalid codec type"},
      {[](TAVConvertOptions&) {}, (folder / "missing.mkv").string(),
       "打不开:-2! " + (folder / "missing.mkv").string() + ": No such file or directory"},
      {[](TAVConvertOptions& o) { o.SetStreamMaps({"0=x"}); }, AvClip(),
       "'0=x' is not a valid stream map"},
      {[](TAVConvertOptions&) {}, "stream:999999", "No stream is registered as 'stream:999999'"},
  };
  for (const TCase& c : cases) {
    TAVConverter converter(&ui);
    c.setup(converter.ConvertOptions());
    Run(converter, {c.input}, {(folder / "out.mkv").string()});
    EXPECT_FALSE(converter.Plan().Complete()) << c.message;
    // The message, followed by the conversion's files when it names none.
    EXPECT_EQ(converter.ErrorMsg().rfind(c.message, 0), 0u) << converter.ErrorMsg();
    EXPECT_NE(converter.ErrorMsg().find(c.input), std::string::npos) << converter.ErrorMsg();
  }
  // A job beyond the tables is refused before anything is opened.
  TAVConverter crowded(&ui);
  Run(crowded, TStrings(101, AvClip()), {(folder / "out.mkv").string()});
  EXPECT_EQ(crowded.ErrorMsg().rfind("Too many input files (at most 100) (", 0), 0u);

  // Each failure was shown once, and no worker is left registered.
  EXPECT_EQ(messages.Errors().size(), cases.size() + 1);
  EXPECT_EQ(RegisteredConvertThreadCount(), 0);

  // A known output format with an unknown input format is no failure: the input is probed.
  TAVConverter probed(&ui);
  probed.ConvertOptions().SetOutputFormat("matroska");
  probed.ConvertOptions().SetInputFormat("nosuchformat");
  Run(probed, {AvClip()}, {(folder / "probed.out").string()});
  EXPECT_TRUE(probed.Plan().Complete()) << probed.ErrorMsg();
}

TEST_F(ConverterSetup, StreamsAreCreatedForTheKindsTheSourceHas) {
  const fs::path folder = MakeTempFolder("kinds");
  TAVConverter audio_only(&ui);
  audio_only.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
  audio_only.ConvertOptions().AudioOptions().SetAudioLanguage("chi");
  Run(audio_only, {WavClip()}, {(folder / "a.mkv").string()});
  ASSERT_EQ(audio_only.Plan().outputs.size(), 1u);
  EXPECT_EQ(Kinds(audio_only.Plan().outputs[0]), std::vector<int>{AVMEDIA_TYPE_AUDIO});
  EXPECT_EQ(audio_only.Plan().outputs[0].streams[0].language, "chi");

  TAVConverter no_audio(&ui);
  no_audio.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("mp2");
  no_audio.ConvertOptions().AudioOptions().SetAudioDisable(true);
  no_audio.ConvertOptions().VideoOptions().SetVideoStreamCopy(true);
  Run(no_audio, {AvClip()}, {(folder / "b.avi").string()});
  const TPlannedOutput& out = no_audio.Plan().outputs.at(0);
  EXPECT_EQ(Kinds(out), std::vector<int>{AVMEDIA_TYPE_VIDEO});
  EXPECT_TRUE(out.streams.at(0).copy);
  EXPECT_EQ(out.streams[0].why, "选项要求复制");
  EXPECT_EQ(out.streams[0].input_stream, 0);
  EXPECT_FALSE(no_audio.Plan().inputs.at(0).read.at(1));

  TAVConverter named(&ui);
  named.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("libxvid");
  named.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("libmp3lame");
  Run(named, {AvClip()}, {(folder / "c.avi").string()});
  const TPlannedOutput& encoded = named.Plan().outputs.at(0);
  ASSERT_EQ(encoded.streams.size(), 2u);
  EXPECT_EQ(encoded.streams[0].encoder, "libxvid");
  EXPECT_EQ(encoded.streams[1].encoder, "libmp3lame");
  EXPECT_FALSE(encoded.streams[1].copy);
  EXPECT_EQ(encoded.streams[1].input_stream, 1);
}

TEST_F(ConverterSetup, TheGuessedFormatServesEveryOutputAndFoldersAreCreated) {
  const fs::path folder = MakeTempFolder("outputs");
  const fs::path deep = folder / "new" / "deeper" / "second.avi";
  TAVConverter c(&ui);
  Run(c, {AvClip()}, {(folder / "first.mkv").string(), deep.string()});
  ASSERT_EQ(c.Plan().outputs.size(), 2u);
  EXPECT_EQ(c.Plan().outputs[0].format, "matroska");
  EXPECT_EQ(c.Plan().outputs[1].format, "matroska");
  EXPECT_TRUE(c.Plan().outputs[1].opened);
  EXPECT_TRUE(fs::exists(deep));

  TAVConverter unknown(&ui);
  Run(unknown, {AvClip()}, {(folder / "x.nosuchextension").string()});
  EXPECT_EQ(unknown.ErrorMsg(),
            "Unable to find a suitable output format for " + (folder / "x.nosuchextension").string());

  TAVConverter numbered(&ui);
  Run(numbered, {AvClip()}, {(folder / "frames.jpg").string()});
  EXPECT_TRUE(numbered.Plan().Complete()) << numbered.ErrorMsg();
}

TEST_F(ConverterSetup, BitstreamFilterChainsLeaveOutUnknownNames) {
  const fs::path folder = MakeTempFolder("bsf");
  TAVConverter bad_first(&ui);
  bad_first.ConvertOptions().MuxerOptions().SetVideoBitstreamFilters({"nosuchbsf", "null"});
  Run(bad_first, {AvClip()}, {(folder / "a.mkv").string()});
  EXPECT_EQ(bad_first.Plan().outputs.at(0).streams.at(0).bitstream_filters, 0);
  EXPECT_EQ(messages.Errors(), TStrings{"Invalid BitstreamFilter nosuchbsf"});

  TAVConverter bad_second(&ui);
  bad_second.ConvertOptions().MuxerOptions().SetVideoBitstreamFilters({"null", "nosuch2", "noise"});
  bad_second.ConvertOptions().MuxerOptions().SetAudioBitstreamFilters({"null"});
  Run(bad_second, {AvClip()}, {(folder / "b.mkv").string()});
  const TPlannedOutput& filtered = bad_second.Plan().outputs.at(0);
  ASSERT_EQ(filtered.streams.size(), 2u);
  EXPECT_EQ(filtered.streams[0].bitstream_filters, 2);
  EXPECT_EQ(filtered.streams[1].bitstream_filters, 1);
  EXPECT_EQ(messages.Errors().back(), "Invalid BitstreamFilter nosuch2");
}

TEST_F(ConverterSetup, AnUnsupportedSampleRateBecomesTheNearestWithAWarning) {
  const fs::path folder = MakeTempFolder("rates");
  TAVConverter c(&ui);
  c.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("libspeex");
  Run(c, {WavClip()}, {(folder / "a.ogg").string()});
  ASSERT_EQ(c.Plan().outputs.size(), 1u);
  EXPECT_EQ(c.Plan().outputs[0].streams.at(0).sample_rate, 32000);
  EXPECT_TRUE(events.HasLog("Requested sampling rate unsupported using closest supported (32000)"));

  TAVConverter exact(&ui);
  exact.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("mp2");
  exact.ConvertOptions().AudioOptions().SetAudioSampleRate(22050);
  Run(exact, {WavClip()}, {(folder / "b.mp2").string()});
  EXPECT_EQ(exact.Plan().outputs.at(0).streams.at(0).sample_rate, 22050);
}

TEST_F(ConverterSetup, HeaderFlagsFollowVideoGlobalHeader) {
  const fs::path folder = MakeTempFolder("headers");
  TAVConverter local(&ui);
  local.ConvertOptions().VideoOptions().SetVideoGlobalHeader(2);
  Run(local, {AvClip()}, {(folder / "a.mkv").string()});
  const TPlannedStream& video = local.Plan().outputs.at(0).streams.at(0);
  EXPECT_FALSE(video.flags & AV_CODEC_FLAG_GLOBAL_HEADER);
  EXPECT_TRUE(video.flags2 & AV_CODEC_FLAG2_LOCAL_HEADER);

  TAVConverter automatic(&ui);  // matroska asks for global headers
  Run(automatic, {AvClip()}, {(folder / "b.mkv").string()});
  const TPlannedStream& automatic_video = automatic.Plan().outputs.at(0).streams.at(0);
  EXPECT_TRUE(automatic_video.flags & AV_CODEC_FLAG_GLOBAL_HEADER);
  EXPECT_FALSE(automatic_video.flags2 & AV_CODEC_FLAG2_LOCAL_HEADER);
}

TEST_F(ConverterSetup, ThePlanSaysWhereEachStreamComesFromAndTheLogPrintsIt) {
  const fs::path folder = MakeTempFolder("plan");
  TAVConverter c(&ui);
  c.SetLogLevel(AV_LOG_INFO);
  c.ConvertOptions().VideoOptions().SetVideoStreamCopy(true);
  c.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("mp2");
  c.ConvertOptions().AudioOptions().SetAudioSampleRate(22050);
  const std::string target = (folder / "out.mkv").string();
  Run(c, {AvClip()}, {target});
  const TConversionPlan& plan = c.Plan();
  ASSERT_TRUE(plan.Complete()) << c.ErrorMsg();
  ASSERT_EQ(plan.inputs.size(), 1u);
  EXPECT_EQ(plan.inputs[0].name, AvClip());
  const TPlannedOutput& out = plan.outputs.at(0);
  EXPECT_EQ(out.name, target);
  ASSERT_EQ(out.streams.size(), 2u);
  EXPECT_TRUE(out.streams[0].copy);
  EXPECT_EQ(out.streams[0].codec, "mpeg4");
  EXPECT_EQ(out.streams[0].encoder, "");
  EXPECT_FALSE(out.streams[1].copy);
  EXPECT_EQ(out.streams[1].why, "未要求复制");
  EXPECT_EQ(out.streams[1].channels, 2);
  EXPECT_TRUE(events.HasLog("输出 #0 (matroska): " + target));
  EXPECT_TRUE(events.HasLog("  #0:0 视频 <- #0:0 直接复制 mpeg4 (选项要求复制)"));
  EXPECT_TRUE(events.HasLog("  #0:1 音频 <- #0:1 重新编码 mp2 22050 Hz 2 声道"));

  // A run that fails before its streams are set up leaves no plan, not the last one's.
  c.SetInputFiles({(folder / "missing.mkv").string()});
  ASSERT_TRUE(test::RunToEnd(c, ui));
  EXPECT_FALSE(c.Plan().Complete());
}

}  // namespace
}  // namespace veltrano
