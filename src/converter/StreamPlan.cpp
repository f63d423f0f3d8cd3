#include "converter/StreamPlan.h"

#include <algorithm>
#include <array>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace veltrano {
namespace {

TSourceStreams SourceStreamsOf(const TProbedMedia& source) {
  TSourceStreams streams;
  for (const TProbedStream& stream : source.streams) {
    streams.video |= stream.kind == "video";
    streams.audio |= stream.kind == "audio";
    if (stream.kind == "subtitle") streams.subtitle_codecs.push_back(stream.codec_id);
  }
  return streams;
}

}  // namespace

int SubtitleNature(int codec_id) {
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(static_cast<AVCodecID>(codec_id));
  return descriptor != nullptr
             ? descriptor->props & (AV_CODEC_PROP_TEXT_SUB | AV_CODEC_PROP_BITMAP_SUB)
             : 0;
}

const AVOutputFormat* PlannedOutputFormat(const TAVConvertOptions& options,
                                          const std::string& target) {
  if (!options.OutputFormat().empty()) {
    return av_guess_format(options.OutputFormat().c_str(), nullptr, nullptr);
  }
  const AVOutputFormat* format = av_guess_format(nullptr, target.c_str(), nullptr);
  if (format != nullptr && av_filename_number_test(target.c_str()) &&
      !(format->flags & AVFMT_NOFILE)) {
    format = av_guess_format("image2", nullptr, nullptr);
  }
  return format;
}

bool DefaultSubtitleEncoderWrites(const AVOutputFormat* format, int codec_id) {
  const AVCodec* encoder = avcodec_find_encoder(format->subtitle_codec);
  return encoder != nullptr && (SubtitleNature(codec_id) & SubtitleNature(encoder->id)) != 0;
}

bool FormatCanHold(const AVOutputFormat* format, const TProbedStream& stream) {
  return avformat_query_codec(format, static_cast<AVCodecID>(stream.codec_id),
                              FF_COMPLIANCE_NORMAL) == 1;
}

bool FormatHoldsSeveralAudioTracks(const AVOutputFormat* format) {
  // Checked with real muxers: PSP files take one audio stream, and a streamed
  // ASF cannot be read back to see what it holds.
  static constexpr std::array<std::string_view, 17> kFilmContainers = {
      "matroska", "webm", "mp4", "mov", "ipod", "3gp",    "3g2", "avi", "asf",
      "mpeg",     "vob",  "dvd", "svcd", "vcd", "mpegts", "nut", "ogg"};
  return format != nullptr && std::find(kFilmContainers.begin(), kFilmContainers.end(),
                                        std::string_view(format->name)) != kFilmContainers.end();
}

TOutputStreamPlan PlanOutputStreams(const TAVConvertOptions& options, const AVOutputFormat* format,
                                    const TSourceStreams& source) {
  TOutputStreamPlan plan;
  if (format == nullptr) return plan;
  const TAudioOptions& a = options.AudioOptions();
  const TVideoOptions& v = options.VideoOptions();
  const TSubtitleOptions& s = options.SubtitleOptions();
  const bool subtitles_go =
      std::any_of(source.subtitle_codecs.begin(), source.subtitle_codecs.end(),
                  [&](int codec) { return SubtitleCanGoOut(options, format, codec); });
  plan.video = (format->video_codec != AV_CODEC_ID_NONE || v.VideoStreamCopy() ||
                !v.EncoderVideoCodecName().empty()) &&
               source.video && !v.VideoDisable();
  plan.audio = (format->audio_codec != AV_CODEC_ID_NONE || a.AudioStreamCopy() ||
                !a.EncoderAudioCodecName().empty()) &&
               source.audio && !a.AudioDisable();
  plan.subtitle = subtitles_go && !s.SubtitleDisable();
  return plan;
}

bool SubtitleCanGoOut(const TAVConvertOptions& options, const AVOutputFormat* format,
                      int codec_id) {
  const TSubtitleOptions& s = options.SubtitleOptions();
  if (s.SubtitleStreamCopy() || !s.SubtitleCodecName().empty()) return true;
  if (DefaultSubtitleEncoderWrites(format, codec_id)) return true;
  return options.CopyFittingStreams() && !options.Device().empty() &&
         avformat_query_codec(format, static_cast<AVCodecID>(codec_id), FF_COMPLIANCE_NORMAL) == 1;
}

std::vector<TSourceStreamEntry> KeptTrackStreams(const TAVConvertOptions& options,
                                                 const AVOutputFormat* format,
                                                 const std::vector<TSourceStreamEntry>& streams) {
  TSourceStreams kinds;
  for (const TSourceStreamEntry& stream : streams) {
    if (stream.discarded) continue;
    kinds.video |= stream.kind == AVMEDIA_TYPE_VIDEO;
    kinds.audio |= stream.kind == AVMEDIA_TYPE_AUDIO;
    if (stream.kind == AVMEDIA_TYPE_SUBTITLE) kinds.subtitle_codecs.push_back(stream.codec_id);
  }
  const TOutputStreamPlan plan = PlanOutputStreams(options, format, kinds);
  std::vector<TSourceStreamEntry> kept;
  const TSourceStreamEntry* busiest = nullptr;
  for (const TSourceStreamEntry& stream : streams) {
    if (stream.discarded || stream.kind != AVMEDIA_TYPE_VIDEO) continue;
    if (busiest == nullptr || stream.frames > busiest->frames) busiest = &stream;
  }
  if (plan.video && busiest != nullptr) kept.push_back(*busiest);
  for (const TSourceStreamEntry& stream : streams) {
    if (plan.audio && !stream.discarded && stream.kind == AVMEDIA_TYPE_AUDIO) {
      kept.push_back(stream);
    }
  }
  for (const TSourceStreamEntry& stream : streams) {
    if (plan.subtitle && !stream.discarded && stream.kind == AVMEDIA_TYPE_SUBTITLE &&
        SubtitleCanGoOut(options, format, stream.codec_id)) {
      kept.push_back(stream);
    }
  }
  return kept;
}

TNeededStreams NeededStreams(const AVOutputFormat* format) {
  TNeededStreams needed;
  if (format == nullptr) return needed;
  const std::string_view name = format->name;
  needed.video = name == "psp" || name == "dv" || name == "image2";
  needed.audio = name == "psp";
  return needed;
}

std::string MissingStreamReason(const AVOutputFormat* format, const TOutputStreamPlan& plan,
                                const TAVConvertOptions& options, const TSourceStreams& source,
                                const std::string& source_name, bool silence_ok) {
  if (format == nullptr) return {};
  const TNeededStreams needed = NeededStreams(format);
  const std::string name = format->name;
  if (needed.video && !plan.video) {
    return source.video ? name + " 格式需要一条视频流, 而视频被关掉了"
                        : name + " 格式需要一条视频流, 源文件 " + source_name + " 没有视频流";
  }
  if (needed.audio && !plan.audio && !silence_ok) {
    return source.audio ? name + " 格式需要一条音频流, 而音频被关掉了"
                        : name + " 格式需要一条音频流, 源文件 " + source_name + " 没有音频流";
  }
  if (plan.video || plan.audio || plan.subtitle || (needed.audio && silence_ok)) return {};
  // Nothing to write: say what the options would have written.
  const bool wants_audio = !options.AudioOptions().AudioDisable();
  const bool wants_video = !options.VideoOptions().VideoDisable();
  if (!wants_audio && !wants_video) return "视频和音频都被关掉了";
  if (wants_audio && !source.audio && !(wants_video && source.video)) {
    return "源文件 " + source_name + " 没有音频流";
  }
  if (wants_video && !source.video) return "源文件 " + source_name + " 没有视频流";
  return "源文件 " + source_name + " 没有目标格式能写的流";
}

TOutputStreamPlan PlanOutputStreams(const TAVConvertOptions& options, const std::string& target,
                                    const TProbedMedia& source) {
  return PlanOutputStreams(options, PlannedOutputFormat(options, target), SourceStreamsOf(source));
}

}  // namespace veltrano
