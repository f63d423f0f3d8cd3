// The check after every completed conversion: each output is read back with
// libavformat, compared with what was asked, and decoded to its end (every
// audio, video and subtitle stream; OutputDecodeCheck.h). What differs and
// what does not decode is logged as a warning ("输出检查: ..."), with the
// time of the first decoding error; the conversion still counts as
// completed, since its data is there, but the user learns of it.
#include "converter/OutputCheck.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "converter/AVLib.h"
#include "converter/FFmpegPtr.h"
#include "engine/ConverterEngine.h"
#include "engine/OutputDecodeCheck.h"
#include "engine/RunState.h"

namespace veltrano {
namespace {

constexpr double kDurationToleranceSeconds = 1.0;
constexpr double kStartToleranceSeconds = 0.1;

const char* KindName(AVMediaType type) {
  switch (type) {
    case AVMEDIA_TYPE_VIDEO:
      return "视频流";
    case AVMEDIA_TYPE_AUDIO:
      return "音频流";
    case AVMEDIA_TYPE_SUBTITLE:
      return "字幕流";
    default:
      return "数据流";
  }
}

// The first start time (seconds) of each stream kind of `ctx`.
std::map<AVMediaType, double> StartTimes(const AVFormatContext* ctx) {
  std::map<AVMediaType, double> starts;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    const AVStream* st = ctx->streams[i];
    if (st->start_time == AV_NOPTS_VALUE || starts.count(st->codecpar->codec_type) != 0) continue;
    starts[st->codecpar->codec_type] = static_cast<double>(st->start_time) * av_q2d(st->time_base);
  }
  return starts;
}

// A decoded frame count is far from the packets written when it differs by
// more than this share (decoders may hold back or drop a frame at the ends).
constexpr double kFrameCountTolerance = 0.05;
constexpr int64_t kFrameCountSlack = 2;

// What decoding the streams found, in the words of the check. `written`
// holds the packets the engine wrote per stream kind, in stream order.
std::vector<std::string> DecodingProblems(
    const TOutputDecoding& decoding,
    const std::vector<std::pair<AVMediaType, int64_t>>& written_streams) {
  std::vector<std::string> problems;
  std::map<AVMediaType, size_t> seen;  // streams of each kind met so far
  for (const TStreamDecoding& stream : decoding.streams) {
    const std::string kind = KindName(stream.kind);
    // The stream the engine wrote that this one is: the same place among its kind.
    int64_t written = -1;
    size_t place = seen[stream.kind]++;
    for (const auto& [type, packets] : written_streams) {
      if (type == stream.kind && place-- == 0) {
        written = packets;
        break;
      }
    }
    if (!stream.failure.empty()) {
      problems.push_back(kind + "无法解码: " + stream.failure);
      continue;
    }
    if (stream.errors > 0) {
      std::string problem = fmt::format("{}解码出错 {} 次, 第一次在 {}", kind, stream.errors,
                                        SecondsToTimeText(stream.first_error));
      if (!stream.first_error_text.empty()) problem += " (" + stream.first_error_text + ")";
      problems.push_back(problem);
    }
    if (stream.packets > 0 && stream.frames == 0) {
      problems.push_back(kind + "解码不出任何内容");
    } else if (stream.kind != AVMEDIA_TYPE_SUBTITLE && written > 0 &&
               std::llabs(stream.frames - written) >
                   std::max<int64_t>(kFrameCountSlack,
                                     static_cast<int64_t>(kFrameCountTolerance * written))) {
      problems.push_back(
          fmt::format("{}解码得 {} 帧, 写入的是 {} 帧", kind, stream.frames, written));
    }
  }
  if (!decoding.read_error.empty()) {
    problems.push_back(fmt::format("读到 {} 时出错: {}", SecondsToTimeText(decoding.read_error_at),
                                   decoding.read_error));
  }
  return problems;
}

// What the output should last (seconds): the time span when one was asked
// for, else what the source has from the start on; 0 when unknown.
double AskedSeconds(const TAVConvertOptions& options, double source_seconds) {
  if (options.RecordingTime() != MaxInt64)
    return static_cast<double>(options.RecordingTime()) / 1e6;
  if (source_seconds <= 0) return 0;
  return source_seconds - static_cast<double>(options.StartTime()) / 1e6;
}

// The benchmark's way to time a conversion without its check, to tell the
// two costs apart: only VELTRANO_BENCH_SKIP_OUTPUT_CHECK=measure-only does it,
// and the log says so. No option of the program reaches it.
bool CheckSkippedForMeasurement() {
  static const char* const value = std::getenv("VELTRANO_BENCH_SKIP_OUTPUT_CHECK");
  return value != nullptr && std::strcmp(value, "measure-only") == 0;
}

}  // namespace

std::vector<std::string> CheckOutputFile(const std::string& path,
                                         const TOutputExpectation& expected,
                                         const std::function<bool()>& keep_going) {
  std::vector<std::string> problems;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return {"无法读取"};
  InputFormatPtr probe(raw);
  if (avformat_find_stream_info(probe.get(), nullptr) < 0) return {"无法读取"};
  if (expected.seconds > 0 && probe->duration != AV_NOPTS_VALUE) {
    const double seconds = static_cast<double>(probe->duration) / AV_TIME_BASE;
    if (std::fabs(seconds - expected.seconds) > kDurationToleranceSeconds) {
      problems.push_back(fmt::format("时长 {:.1f} 秒, 要求 {:.1f} 秒", seconds, expected.seconds));
    }
  }
  const std::map<AVMediaType, double> starts = StartTimes(probe.get());
  for (const auto& [wanted, packets] : expected.streams) {
    bool found = false;
    for (unsigned k = 0; k < probe->nb_streams; ++k) {
      found |= probe->streams[k]->codecpar->codec_type == wanted;
    }
    if (!found) problems.push_back(std::string("缺少") + KindName(wanted));
  }
  const auto video = starts.find(AVMEDIA_TYPE_VIDEO);
  const auto audio = starts.find(AVMEDIA_TYPE_AUDIO);
  if (video != starts.end() && audio != starts.end() &&
      std::fabs(video->second - audio->second) > kStartToleranceSeconds) {
    problems.push_back(
        fmt::format("音频与视频的起点相差 {:.3f} 秒", std::fabs(video->second - audio->second)));
  }
  const TOutputDecoding decoding = DecodeStreams(probe.get(), expected.threads, keep_going);
  for (std::string& problem : DecodingProblems(decoding, expected.streams)) {
    problems.push_back(std::move(problem));
  }
  return problems;
}

void TConverterEngine::CheckCompletedOutputs() {
  if (CheckSkippedForMeasurement()) {
    DoLog(AV_LOG_WARNING, "输出检查: 已跳过 (VELTRANO_BENCH_SKIP_OUTPUT_CHECK, 仅供测速)\n");
    return;
  }
  TOutputExpectation expected;
  expected.seconds = AskedSeconds(FConvertOptions, FDuration);
  expected.threads = FConvertOptions.ThreadCount();
  for (const TOutputFile& file : run_->output_files) {
    if (file.sequence || file.work_name == file.name) continue;  // pictures, devices, addresses
    expected.streams.clear();
    for (unsigned i = 0; i < file.ctx->nb_streams; ++i) {
      expected.streams.emplace_back(file.ctx->streams[i]->codecpar->codec_type,
                                    i < file.packets_written.size() ? file.packets_written[i] : -1);
    }
    const std::vector<std::string> problems =
        CheckOutputFile(file.name, expected, [this] { return !StopRequested(); });
    for (const std::string& problem : problems) {
      DoLog(AV_LOG_WARNING, "输出检查: " + file.name + ": " + problem + "\n");
    }
  }
  CheckDevicePlayback();
}

}  // namespace veltrano
