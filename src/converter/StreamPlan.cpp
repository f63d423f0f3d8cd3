#include "converter/StreamPlan.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace veltrano {
namespace {

int SubtitleNature(int codec_id) {
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(static_cast<AVCodecID>(codec_id));
  return descriptor != nullptr
             ? descriptor->props & (AV_CODEC_PROP_TEXT_SUB | AV_CODEC_PROP_BITMAP_SUB)
             : 0;
}

bool AnyDefaultSubtitleEncoderFits(const AVOutputFormat* format, const TProbedMedia& source) {
  for (const TProbedStream& stream : source.streams) {
    if (stream.kind == "subtitle" && DefaultSubtitleEncoderWrites(format, stream)) return true;
  }
  return false;
}

}  // namespace

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

bool DefaultSubtitleEncoderWrites(const AVOutputFormat* format, const TProbedStream& stream) {
  const AVCodec* encoder = avcodec_find_encoder(format->subtitle_codec);
  return encoder != nullptr && (SubtitleNature(stream.codec_id) & SubtitleNature(encoder->id)) != 0;
}

bool FormatCanHold(const AVOutputFormat* format, const TProbedStream& stream) {
  return avformat_query_codec(format, static_cast<AVCodecID>(stream.codec_id),
                              FF_COMPLIANCE_NORMAL) == 1;
}

TOutputStreamPlan PlanOutputStreams(const TAVConvertOptions& options, const std::string& target,
                                    const TProbedMedia& source) {
  TOutputStreamPlan plan;
  const AVOutputFormat* format = PlannedOutputFormat(options, target);
  if (format == nullptr) return plan;
  const TAudioOptions& a = options.AudioOptions();
  const TVideoOptions& v = options.VideoOptions();
  const TSubtitleOptions& s = options.SubtitleOptions();
  plan.video = (format->video_codec != AV_CODEC_ID_NONE || v.VideoStreamCopy() ||
                !v.EncoderVideoCodecName().empty()) &&
               source.TrackCount("video") > 0 && !v.VideoDisable();
  plan.audio = (format->audio_codec != AV_CODEC_ID_NONE || a.AudioStreamCopy() ||
                !a.EncoderAudioCodecName().empty()) &&
               source.TrackCount("audio") > 0 && !a.AudioDisable();
  plan.subtitle = (s.SubtitleStreamCopy() || !s.SubtitleCodecName().empty() ||
                   AnyDefaultSubtitleEncoderFits(format, source)) &&
                  source.TrackCount("subtitle") > 0 && !s.SubtitleDisable();
  return plan;
}

}  // namespace veltrano
