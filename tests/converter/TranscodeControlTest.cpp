// Stream mapping, pause and stop, progress hand-over, parallel conversions and
// re-running a converter.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <thread>

#include "converter/AVConverter.h"
#include "converter/ConvertThread.h"
#include "converter/MessageBoxes.h"
#include "converter/StreamPlan.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

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

fs::path ShortClip() {
  return SharedClip("control.mkv", test::AvClipSpec("mpeg4", "mp2"));
}

// Two audio streams: the first is short and sparse, the second long and busy.
fs::path TwoAudioClip() {
  const fs::path folder = MakeTempFolder("two-audio");
  const fs::path path = folder / "two-audio.mkv";
  const auto made = test::RunCommand(
      "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=160x120:duration=3 "
      "-f lavfi -i sine=frequency=300:sample_rate=8000:duration=0.5 "
      "-f lavfi -i sine=frequency=900:sample_rate=48000:duration=3 "
      "-map 0 -map 1 -map 2 -c:v mpeg4 -c:a mp2 " + test::ShellQuote(path.string()));
  EXPECT_EQ(made.exit_code, 0) << made.output;
  return path;
}

TEST(StreamMapping, MapErrorsEndTheRunWithTheirMessages) {
  const fs::path folder = MakeTempFolder("maps");
  const std::string out = (folder / "out.mkv").string();
  struct TCase {
    TStrings maps;
    std::string message;
  };
  const std::vector<TCase> cases{
      {{"0=5", "0=1"}, "Could not find input stream #0.5"},
      {{"0=0", "0=1", "0=0"}, "Number of stream maps must match number of output streams"},
      {{"0=1", "0=0"}, "Codec type mismatch for mapping #0.1 -> #0.0"},
      {{"1=0", "0=1"}, "Could not find input stream #1.0"},
  };
  for (const TCase& c : cases) {
    const auto result = ConvertFiles({ShortClip().string()}, {out}, [&](TAVConverter& conv) {
      conv.ConvertOptions().SetStreamMaps(c.maps);
    });
    // The engine names the conversion's files after a message that has none.
    const std::string named = c.message + " (" + ShortClip().string() + " → " + out + ")";
    EXPECT_EQ(result.error, named);
    EXPECT_EQ(result.errors, TStrings{named});
    EXPECT_EQ(result.completed, 1);
  }
  const auto empty = ConvertFiles({ShortClip().string()}, {out}, [](TAVConverter& conv) {
    conv.ConvertOptions().VideoOptions().SetVideoDisable(true);
    conv.ConvertOptions().AudioOptions().SetAudioDisable(true);
  });
  EXPECT_EQ(empty.error,
            "Output file does not contain any stream " + out + ": 视频和音频都被关掉了");
}

TEST(StreamMapping, ExplicitMapsChooseTheSources) {
  const fs::path two = TwoAudioClip();
  const fs::path out = MakeTempFolder("maps-ok") / "out.mkv";
  const auto result = ConvertFiles({two.string()}, {out.string()}, [](TAVConverter& c) {
    c.ConvertOptions().SetStreamMaps({"0=0", "0=1"});
    c.ConvertOptions().VideoOptions().SetVideoStreamCopy(true);
    c.ConvertOptions().AudioOptions().SetAudioStreamCopy(true);
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_EQ(ProbeMedia(out).streams.at(1).sample_rate, ProbeMedia(two).streams.at(1).sample_rate);
  EXPECT_NE(ProbeMedia(out).streams.at(1).sample_rate, 48000);
}

// Every container said to keep several audio tracks does, with its own
// encoder (AAC where its own, AMR, takes no ordinary rates).
TEST(StreamMapping, EveryContainerThatKeepsSeveralAudioTracksWritesBoth) {
  const fs::path two = TwoAudioClip();
  const fs::path folder = MakeTempFolder("several-audio");
  void* iterator = nullptr;
  int checked = 0;
  while (const AVOutputFormat* format = av_muxer_iterate(&iterator)) {
    if (!FormatHoldsSeveralAudioTracks(format)) continue;
    SCOPED_TRACE(format->name);
    ++checked;
    // Some muxers share a name (Matroska video and audio): one file each.
    const fs::path out = folder / fmt::format("out-{}-{}", checked, format->name);
    const auto result = ConvertFiles({two.string()}, {out.string()}, [&](TAVConverter& c) {
      c.ConvertOptions().SetOutputFormat(format->name);
      c.ConvertOptions().SetStreamMaps({"0=1", "0=2"});
      c.ConvertOptions().VideoOptions().SetVideoDisable(true);
      if (format->audio_codec == AV_CODEC_ID_AMR_NB) {
        c.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("aac");
      }
    });
    ASSERT_TRUE(result.Ok()) << result.error;
    int audio = 0;
    for (const auto& stream : ProbeMedia(out).streams) audio += stream.kind == "audio";
    EXPECT_EQ(audio, 2);
  }
  EXPECT_GE(checked, 10);
}

TEST(StreamMapping, WithoutMapsTheBusiestStreamOfAKindIsTaken) {
  const fs::path two = TwoAudioClip();
  const fs::path out = MakeTempFolder("auto") / "out.mkv";
  const auto result = ConvertFiles({two.string()}, {out.string()}, [](TAVConverter& c) {
    c.ConvertOptions().VideoOptions().SetVideoStreamCopy(true);
    c.ConvertOptions().AudioOptions().SetAudioStreamCopy(true);
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  const auto info = ProbeMedia(out);
  ASSERT_EQ(info.streams.size(), 2u);
  EXPECT_EQ(info.streams[1].sample_rate, 48000);
}

// A long source, converted slowly enough to pause and stop it.
fs::path LongClip() {
  TClip clip = test::AvClipSpec("mpeg4", "mp2");
  clip.seconds = 30;
  return SharedClip("long.mkv", clip);
}

TEST(ConverterControl, StopWhilePausedFinishesTheOutputWithoutCompletion) {
  const fs::path out = MakeTempFolder("stop") / "stopped.mkv";
  TEventLoopDispatcher ui;
  test::TMessageRecorder messages;
  test::TEventLog events;
  TAVConverter converter(&ui);
  test::RecordEvents(converter, events, ui);
  converter.SetInputFiles({LongClip().string()});
  converter.SetOutputFiles({out.string()});
  converter.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
  bool paused = false;
  converter.SetOnProgress([&](TAVConverter& c) {
    if (!paused && c.ConvertedDuration() > 0.5) {
      c.Pause();
      paused = true;
    }
  });
  converter.Convert();
  ASSERT_TRUE(ui.RunUntil([&] { return paused; }, std::chrono::minutes(1)));
  EXPECT_EQ(converter.State(), csPaused);
  // The worker does not wait for the handler: it finishes the packet at hand
  // before it sees the pause.
  ui.RunUntil([] { return false; }, std::chrono::milliseconds(200));
  const double at_pause = converter.ConvertedDuration();
  ui.RunUntil([] { return false; }, std::chrono::milliseconds(300));
  EXPECT_EQ(converter.ConvertedDuration(), at_pause);  // nothing moves while paused
  converter.Resume();  // resume from the paused state only
  EXPECT_EQ(converter.State(), csRunning);
  converter.Pause();
  converter.Stop();
  ASSERT_TRUE(ui.RunUntil([&] { return !converter.IsRunning(); }, std::chrono::minutes(1)));
  converter.WaitFor();
  EXPECT_EQ(events.stopped, 1);
  EXPECT_EQ(events.completed, 0);
  EXPECT_EQ(converter.State(), csNone);
  EXPECT_TRUE(converter.ErrorMsg().empty());
  const auto info = ProbeMedia(out);
  ASSERT_TRUE(info.opened);
  EXPECT_GT(info.duration, 0.3);  // the trailer was written: the duration is known
  EXPECT_LT(info.duration, 20.0);
}

TEST(ConverterControl, ProgressReachesTheUserInterfaceThreadAtMostTenTimesASecond) {
  const fs::path out = MakeTempFolder("progress") / "out.mkv";
  const auto start = std::chrono::steady_clock::now();
  int handovers = 0;
  bool on_ui = true;
  TEventLoopDispatcher ui;
  TAVConverter converter(&ui);
  converter.SetInputFiles({LongClip().string()});
  converter.SetOutputFiles({out.string()});
  converter.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
  converter.SetOnProgress([&](TAVConverter&) {
    ++handovers;
    on_ui &= ui.IsUiThread();
  });
  ASSERT_TRUE(test::RunToEnd(converter, ui));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(on_ui);
  EXPECT_GE(handovers, 2);
  EXPECT_LE(handovers, seconds * 10 + 3);
  EXPECT_NEAR(converter.Progress(), 100, 2);
  EXPECT_GT(converter.TargetFileSize(), 0);
  EXPECT_EQ(converter.SourceFileSize(), static_cast<int64_t>(fs::file_size(LongClip())));
  EXPECT_GT(converter.Bitrate(), 0);
}

// The worker never waits for the user-interface thread: a thread that does
// not dispatch for two seconds finds the conversion gone on, and then
// receives one progress event for all that time, not one per tenth.
TEST(ConverterControl, ABusyUserInterfaceThreadDoesNotHoldTheConversionBack) {
  const fs::path out = MakeTempFolder("busy-ui") / "out.mkv";
  TEventLoopDispatcher ui;
  test::TEventLog events;
  TAVConverter converter(&ui);
  test::RecordEvents(converter, events, ui);
  converter.SetInputFiles({LongClip().string()});
  converter.SetOutputFiles({out.string()});
  converter.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
  converter.Convert();
  ASSERT_TRUE(ui.RunUntil([&] { return converter.FramesDecoded() > 0; }, std::chrono::minutes(1)));
  const int64_t before = converter.FramesDecoded();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const int64_t after = converter.FramesDecoded();
  EXPECT_GT(after - before, 25) << "frames decoded while the thread was busy";
  const int progress_before = events.progress;
  ui.ProcessPending(std::chrono::milliseconds(0));
  EXPECT_LE(events.progress - progress_before, 1);
  converter.Stop();
  converter.WaitFor();
  // Stopped, or completed already: a fast machine may convert the rest of
  // the clip during the block.
  ui.RunUntil([&] { return events.stopped + events.completed > 0; }, std::chrono::seconds(10));
  EXPECT_EQ(events.stopped + events.completed, 1);
}

// A failed run tells its owner first (OnComplete with ErrorMsg set) and shows
// the error box after that, once the run has ended; every log line of the run
// came before.
TEST(ConverterControl, AFailureIsShownAfterTheCompletionOfItsRun) {
  const fs::path out = MakeTempFolder("failure-order") / "out.mkv";
  TEventLoopDispatcher ui;
  std::mutex mutex;
  std::vector<std::string> order;
  auto note = [&](const std::string& what) {
    std::lock_guard lock(mutex);
    order.push_back(what);
  };
  const TErrorBoxHandler previous =
      SetErrorBoxHandler([&](const std::string& text) { note("box " + text); });
  TAVConverter converter(&ui);
  converter.SetOnLog([&](TAVConverter&, int, const std::string&) { note("log"); });
  converter.SetOnComplete([&](TAVConverter& c) {
    EXPECT_EQ(c.State(), csNone);
    note("complete " + c.ErrorMsg());
  });
  converter.SetInputFiles({ShortClip().string()});
  converter.SetOutputFiles({out.string()});
  converter.ConvertOptions().SetStreamMaps({"0=5", "0=1"});
  ASSERT_TRUE(test::RunToEnd(converter, ui));
  SetErrorBoxHandler(previous);
  ASSERT_GE(order.size(), 2u);
  // The message, with the conversion's files added as it names none.
  const std::string message = "Could not find input stream #0.5 (" + ShortClip().string();
  EXPECT_TRUE(order[order.size() - 2].starts_with("complete " + message))
      << order[order.size() - 2];
  EXPECT_TRUE(order.back().starts_with("box " + message)) << order.back();
}

TEST(ConverterControl, TwoConversionsRunAtOnce) {
  const fs::path folder = MakeTempFolder("parallel");
  TEventLoopDispatcher ui;
  std::vector<std::unique_ptr<TAVConverter>> converters;
  std::vector<test::TEventLog> events(2);
  for (int i = 0; i < 2; ++i) {
    auto c = std::make_unique<TAVConverter>(&ui);
    test::RecordEvents(*c, events[i], ui);
    c->SetInputFiles({ShortClip().string()});
    c->SetOutputFiles({(folder / ("out" + std::to_string(i) + ".avi")).string()});
    c->ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    converters.push_back(std::move(c));
  }
  for (auto& c : converters) c->Convert();
  ASSERT_TRUE(ui.RunUntil([&] { return !converters[0]->IsRunning() && !converters[1]->IsRunning(); },
                          std::chrono::minutes(2)));
  for (int i = 0; i < 2; ++i) {
    converters[i]->WaitFor();
    EXPECT_EQ(events[i].completed, 1);
    EXPECT_TRUE(converters[i]->ErrorMsg().empty()) << converters[i]->ErrorMsg();
    const auto info = ProbeMedia(folder / ("out" + std::to_string(i) + ".avi"));
    ASSERT_EQ(info.streams.size(), 2u);
    EXPECT_NEAR(info.duration, 2.0, 0.1);
  }
  EXPECT_EQ(RegisteredConvertThreadCount(), 0);
}

TEST(ConverterControl, AConverterRunsAgainAfterItsRunEnded) {
  const fs::path folder = MakeTempFolder("rerun");
  TEventLoopDispatcher ui;
  test::TEventLog events;
  TAVConverter converter(&ui);
  test::RecordEvents(converter, events, ui);
  converter.SetInputFiles({ShortClip().string()});
  converter.SetOutputFiles({(folder / "a.mkv").string()});
  ASSERT_TRUE(test::RunToEnd(converter, ui));
  converter.SetOutputFiles({(folder / "b.avi").string()});
  ASSERT_TRUE(test::RunToEnd(converter, ui));
  EXPECT_EQ(events.completed, 2);
  EXPECT_EQ(ProbeMedia(folder / "a.mkv").format, "matroska,webm");
  EXPECT_EQ(ProbeMedia(folder / "b.avi").format, "avi");  // not the first run's format
}

TEST(ConverterControl, DestroyingARunningConverterStopsItFirst) {
  const fs::path out = MakeTempFolder("destroy") / "out.mkv";
  TEventLoopDispatcher ui;
  test::TMessageRecorder messages;
  {
    TAVConverter converter(&ui);
    converter.SetInputFiles({LongClip().string()});
    converter.SetOutputFiles({out.string()});
    converter.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
    converter.Convert();
    ui.RunUntil([&] { return converter.ConvertedDuration() > 0.5; }, std::chrono::seconds(30));
  }
  EXPECT_EQ(RegisteredConvertThreadCount(), 0);
  EXPECT_TRUE(messages.Errors().empty());
  const auto info = ProbeMedia(out);
  EXPECT_TRUE(info.opened);
  EXPECT_LT(info.duration, 25.0);
}

}  // namespace
}  // namespace veltrano
