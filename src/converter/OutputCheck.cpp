// The check after every completed conversion: each output is read back with
// libavformat and compared with what was asked. What differs is logged as a
// warning ("输出检查: ..."); the conversion still counts as completed, since
// its data is there, but the user learns of it.
#include <fmt/format.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "converter/AVConverter.h"
#include "converter/FFmpegPtr.h"
#include "converter/RunState.h"

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

}  // namespace

// What the output should last (seconds): the time span when one was asked
// for, else what the source has from the start on; 0 when unknown.
static double AskedSeconds(const TAVConvertOptions& options, double source_seconds) {
  if (options.RecordingTime() != MaxInt64)
    return static_cast<double>(options.RecordingTime()) / 1e6;
  if (source_seconds <= 0) return 0;
  return source_seconds - static_cast<double>(options.StartTime()) / 1e6;
}

void TAVConverter::CheckCompletedOutputs() {
  const double asked = AskedSeconds(FConvertOptions, FDuration);
  for (const TOutputFile& file : run_->output_files) {
    if (file.sequence || file.work_name == file.name) continue;  // pictures, devices, addresses
    std::vector<std::string> problems;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, file.name.c_str(), nullptr, nullptr) < 0) {
      DoLog(AV_LOG_WARNING, "输出检查: " + file.name + " 无法读取\n");
      continue;
    }
    InputFormatPtr probe(raw);
    if (avformat_find_stream_info(probe.get(), nullptr) < 0) {
      DoLog(AV_LOG_WARNING, "输出检查: " + file.name + " 无法读取\n");
      continue;
    }
    if (asked > 0 && probe->duration != AV_NOPTS_VALUE) {
      const double seconds = static_cast<double>(probe->duration) / AV_TIME_BASE;
      if (std::fabs(seconds - asked) > kDurationToleranceSeconds) {
        problems.push_back(fmt::format("时长 {:.1f} 秒, 要求 {:.1f} 秒", seconds, asked));
      }
    }
    const std::map<AVMediaType, double> starts = StartTimes(probe.get());
    for (unsigned i = 0; i < file.ctx->nb_streams; ++i) {
      const AVMediaType wanted = file.ctx->streams[i]->codecpar->codec_type;
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
    for (const std::string& problem : problems) {
      DoLog(AV_LOG_WARNING, "输出检查: " + file.name + ": " + problem + "\n");
    }
  }
  CheckDevicePlayback();
}

}  // namespace veltrano
