#include "common/SizeEstimate.h"

#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "converter/StreamFit.h"
#include "converter/StreamPlan.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace veltrano {
namespace {

// A stream's rate in bit/s: one figure or a range.
struct TRate {
  double low = 0;
  double high = 0;
  bool known = false;
};

TRate Exactly(double rate) {
  return {rate, rate, true};
}

TRate Between(double low, double high) {
  return {low, high, true};
}

int EncoderId(const std::string& name, AVCodecID format_default) {
  if (name.empty()) return format_default;
  const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
  return codec != nullptr ? codec->id : AV_CODEC_ID_NONE;
}

// The output picture's size: the options' own, else the source's fitted into
// the bounding box (either way round) without growing.
void OutputFrameSize(const TVideoOptions& video, const TProbedStream& source, int& width,
                     int& height) {
  width = video.FrameWidth() > 0 ? video.FrameWidth() : source.width;
  height = video.FrameHeight() > 0 ? video.FrameHeight() : source.height;
  const int box_w = video.MaxFrameWidth();
  const int box_h = video.MaxFrameHeight();
  if (box_w <= 0 || box_h <= 0 || width <= 0 || height <= 0) return;
  const double long_side = std::max(box_w, box_h);
  const double short_side = std::min(box_w, box_h);
  const double fit =
      std::min({1.0, long_side / std::max(width, height), short_side / std::min(width, height)});
  width = static_cast<int>(width * fit);
  height = static_cast<int>(height * fit);
}

double OutputFrameRate(const TVideoOptions& video, const TProbedStream& source) {
  if (video.CustomFrameRate() && video.FrameRate().den() > 0) {
    return static_cast<double>(video.FrameRate().num()) / video.FrameRate().den();
  }
  double rate = source.frame_rate;
  if (video.MaxFrameRate() > 0) {
    // A rate above the limit is halved until it fits (60 → 30, 50 → 25).
    while (rate > video.MaxFrameRate()) rate /= 2;
  }
  return rate;
}

// Half to one and a half times the source stream's rate.
TRate AroundSource(const TProbedStream& source) {
  if (source.bit_rate <= 0) return {};
  return Between(source.bit_rate * 0.5, source.bit_rate * 1.5);
}

TRate VideoRate(const TVideoOptions& video, const TProbedStream& source,
                const AVOutputFormat* format) {
  if (video.VideoStreamCopy()) return source.bit_rate > 0 ? Exactly(source.bit_rate) : TRate{};
  if (video.VideoQuality() <= 0 && video.Bitrate() > 0) return Exactly(video.Bitrate());
  if (video.VideoQuality() > 0) {
    int width = 0;
    int height = 0;
    OutputFrameSize(video, source, width, height);
    const int codec = EncoderId(video.EncoderVideoCodecName(), format->video_codec);
    const int64_t ceiling = VideoQualityClassBitRate(codec, video.VideoQuality(), width, height,
                                                     OutputFrameRate(video, source));
    if (ceiling > 0) return Between(ceiling / 4.0, static_cast<double>(ceiling));
  }
  return AroundSource(source);
}

TRate AudioRate(const TAudioOptions& audio, const TProbedStream& source,
                const AVOutputFormat* format) {
  if (audio.AudioStreamCopy()) return source.bit_rate > 0 ? Exactly(source.bit_rate) : TRate{};
  const int channels = audio.AudioChannels() > 0 ? audio.AudioChannels() : source.channels;
  const int sample_rate =
      audio.AudioSampleRate() > 0 ? audio.AudioSampleRate() : source.sample_rate;
  const int codec = EncoderId(audio.EncoderAudioCodecName(), format->audio_codec);
  const int bits = av_get_bits_per_sample(static_cast<AVCodecID>(codec));
  if (bits > 0) return Exactly(static_cast<double>(bits) * channels * sample_rate);  // PCM
  if (codec == AV_CODEC_ID_FLAC || codec == AV_CODEC_ID_ALAC) {
    const double pcm = 16.0 * channels * sample_rate;
    return Between(pcm * 0.4, pcm * 0.7);
  }
  if (audio.AudioQScale() != kNoAudioQScale) {
    const int64_t ceiling = AudioQualityClassBitRate(codec, audio.AudioQScale(), channels);
    if (ceiling > 0) return Between(ceiling / 4.0, static_cast<double>(ceiling));
  } else if (audio.Bitrate() > 0) {
    return Exactly(audio.Bitrate());
  }
  const TRate around = AroundSource(source);
  return around.known ? around : Between(64000, 192000);
}

// The source's audio streams that go out, by the options' stream maps ("0=INDEX"),
// every one when all tracks are kept, else the first.
std::vector<const TProbedStream*> OutputAudioStreams(const TAVConvertOptions& options,
                                                     const TProbedMedia& source) {
  std::vector<const TProbedStream*> streams;
  for (const std::string& map : options.StreamMaps()) {
    const size_t eq = map.find('=');
    const int index = std::atoi(map.c_str() + (eq == std::string::npos ? 0 : eq + 1));
    for (const TProbedStream& stream : source.streams) {
      if (stream.index == index && stream.kind == "audio") streams.push_back(&stream);
    }
  }
  if (!options.StreamMaps().empty()) return streams;
  for (const TProbedStream& stream : source.streams) {
    if (stream.kind != "audio") continue;
    streams.push_back(&stream);
    if (!options.KeepAllTracks()) break;
  }
  return streams;
}

const TProbedStream* FirstOfKind(const TProbedMedia& source, const std::string& kind) {
  return source.Track(kind, 1);
}

std::string Signed(double percent) {
  return fmt::format("{:+.0f}%", percent);
}

}  // namespace

TSizeEstimate& TSizeEstimate::operator+=(const TSizeEstimate& other) {
  low += other.low;
  high += other.high;
  known = known || other.known;
  return *this;
}

double ConvertedSeconds(const TAVConvertOptions& options, double source_duration) {
  if (source_duration <= 0) return 0;
  const double start = static_cast<double>(options.StartTime()) / 1e6;
  double seconds = std::max(0.0, source_duration - start);
  if (options.RecordingTime() > 0 && options.RecordingTime() < MaxInt64) {
    seconds = std::min(seconds, static_cast<double>(options.RecordingTime()) / 1e6);
  }
  return seconds;
}

TSizeEstimate EstimateOutputSize(const TAVConvertOptions& options, const TProbedMedia& source,
                                 const std::string& target) {
  const double seconds = ConvertedSeconds(options, source.duration);
  const AVOutputFormat* format = PlannedOutputFormat(options, target);
  if (seconds <= 0 || format == nullptr) return {};
  const TOutputStreamPlan plan = PlanOutputStreams(options, target, source);
  TRate total{0, 0, true};
  auto add = [&](const TRate& rate) {
    total.low += rate.low;
    total.high += rate.high;
    total.known = total.known && rate.known;
  };
  if (plan.video) add(VideoRate(options.VideoOptions(), *FirstOfKind(source, "video"), format));
  if (plan.audio) {
    for (const TProbedStream* stream : OutputAudioStreams(options, source)) {
      add(AudioRate(options.AudioOptions(), *stream, format));
    }
  }
  if (!total.known || total.high <= 0) return {};
  return {static_cast<int64_t>(total.low * seconds / 8),
          static_cast<int64_t>(total.high * seconds / 8), true};
}

std::string ByteSizeText(int64_t bytes) {
  constexpr double kKilo = 1024.0;
  const double value = static_cast<double>(bytes);
  if (value < kKilo * kKilo) return fmt::format("{:.0f} KB", std::ceil(value / kKilo));
  if (value < kKilo * kKilo * kKilo) return fmt::format("{:.1f} MB", value / (kKilo * kKilo));
  return fmt::format("{:.2f} GB", value / (kKilo * kKilo * kKilo));
}

std::string EstimateText(const TSizeEstimate& estimate) {
  if (!estimate.known) return "?";
  if (!estimate.IsRange()) return ByteSizeText(estimate.high);
  return ByteSizeText(estimate.low) + " – " + ByteSizeText(estimate.high);
}

std::string EstimateAgainstRealText(const TSizeEstimate& estimate, int64_t real) {
  const std::string head =
      fmt::format("大小: 预计 {}, 实际 {}", EstimateText(estimate), ByteSizeText(real));
  if (!estimate.known || real <= 0) return head;
  if (!estimate.IsRange()) {
    return fmt::format("{} ({})", head, Signed(100.0 * (real - estimate.high) / estimate.high));
  }
  if (real < estimate.low) {
    return fmt::format("{} (低于预计 {})", head,
                       Signed(100.0 * (real - estimate.low) / estimate.low));
  }
  if (real > estimate.high) {
    return fmt::format("{} (高于预计 {})", head,
                       Signed(100.0 * (real - estimate.high) / estimate.high));
  }
  return head + " (在预计范围内)";
}

}  // namespace veltrano
