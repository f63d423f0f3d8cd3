#include "converter/StreamFit.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include "converter/FFmpegPtr.h"

namespace veltrano {
namespace {

// `side` scaled by `factor` to the nearest even number within `bound`.
int ScaledSide(int side, double factor, int bound) {
  int scaled = static_cast<int>(std::lround(side * factor / 2.0)) * 2;
  if (scaled > bound) scaled -= 2;
  return std::max(scaled, 2);
}

// A video bit rate asked for is met by a source up to this much above it.
constexpr double kVideoBitRateTolerance = 1.1;
// Sound up to twice the rate asked for is of the same class: encoding lossy
// sound again at a little less would lose quality to save next to nothing.
constexpr double kAudioBitRateClass = 2.0;

std::string Kbits(int64_t bits) {
  return std::to_string((bits + 500) / 1000);
}

std::string PixelFormatName(int pix_fmt) {
  const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(pix_fmt));
  return name != nullptr ? name : "?";
}

bool IsLossless(int codec_id) {
  const AVCodecDescriptor* descriptor = avcodec_descriptor_get(static_cast<AVCodecID>(codec_id));
  return descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_LOSSLESS) &&
         !(descriptor->props & AV_CODEC_PROP_LOSSY);
}

// The bit rate or quality class the request asks for, against the source's.
void BitRateReasons(const TStreamFacts& source, const TStreamRequest& request,
                    std::vector<std::string>& reasons) {
  const bool video = source.kind == AVMEDIA_TYPE_VIDEO;
  if (!video && IsLossless(request.asked.codec_id)) return;  // any sound fits a lossless format
  int64_t ceiling = 0;
  std::string because;
  if (request.bit_rate > 0) {
    ceiling = static_cast<int64_t>(request.bit_rate *
                                   (video ? kVideoBitRateTolerance : kAudioBitRateClass));
  } else if (request.quality) {
    ceiling = video ? VideoQualityClassBitRate(source.codec_id, *request.quality, source.width,
                                               source.height, source.frame_rate)
                    : AudioQualityClassBitRate(source.codec_id, *request.quality, source.channels);
    because = fmt::format(" (质量 {})", RateText(*request.quality));
  }
  if (ceiling <= 0) return;
  if (source.bit_rate <= 0) {
    // Sound is small beside its picture; a picture of unknown size may be huge.
    if (video) reasons.push_back("码率未知");
    return;
  }
  if (source.bit_rate > ceiling) {
    reasons.push_back(
        fmt::format("码率 {} kbit/s > {}{}", Kbits(source.bit_rate), Kbits(ceiling), because));
  }
}

// The reasons against copying a video stream. What they already name is
// blanked in `device_view`, so that the device's own check does not name it twice.
void VideoReasons(const TStreamFacts& source, const TStreamRequest& request,
                  TStreamFacts& device_view, std::vector<std::string>& reasons) {
  const TStreamFacts& asked = request.asked;
  if (source.codec_id != asked.codec_id) {
    reasons.push_back(fmt::format("编码 {} ≠ {}", CodecDisplayName(source.codec_id),
                                  CodecDisplayName(asked.codec_id)));
    device_view = TStreamFacts{};  // another codec: nothing more to say
    return;
  }
  if (source.width != asked.width || source.height != asked.height) {
    reasons.push_back(
        fmt::format("尺寸 {}x{} ≠ {}x{}", source.width, source.height, asked.width, asked.height));
    device_view.width = device_view.height = 0;
  }
  if (asked.frame_rate > 0 && source.frame_rate > asked.frame_rate * 1.01) {
    reasons.push_back(
        fmt::format("帧率 {} > {}", RateText(source.frame_rate), RateText(asked.frame_rate)));
    device_view.frame_rate = 0;
  }
  if (asked.pix_fmt >= 0 && source.pix_fmt >= 0 && source.pix_fmt != asked.pix_fmt) {
    reasons.push_back(fmt::format("像素格式 {} ≠ {}", PixelFormatName(source.pix_fmt),
                                  PixelFormatName(asked.pix_fmt)));
    device_view.pix_fmt = -1;
  }
  BitRateReasons(source, request, reasons);
}

// Whether the device takes `codec_id` as it comes (sound passed through).
bool PassesThrough(const TDeviceCapabilities& device, int codec_id) {
  if (device.audio.empty()) return true;
  for (const TPlayableAudio& audio : device.audio) {
    if (audio.codec_id == codec_id) return true;
  }
  return false;
}

void AudioReasons(const TDeviceCapabilities& device, const TStreamFacts& source,
                  const TStreamRequest& request, TStreamFacts& device_view,
                  std::vector<std::string>& reasons) {
  const TStreamFacts& asked = request.asked;
  if (source.codec_id != asked.codec_id) {
    // Sound the device takes in another codec passes through as it is; the
    // device's own limits are all it has to meet.
    if (!PassesThrough(device, source.codec_id)) {
      reasons.push_back(fmt::format("编码 {} ≠ {}", CodecDisplayName(source.codec_id),
                                    CodecDisplayName(asked.codec_id)));
      device_view = TStreamFacts{};
    }
    return;
  }
  if (asked.channels > 0 && source.channels > asked.channels) {
    reasons.push_back(fmt::format("声道 {} > {}", source.channels, asked.channels));
    device_view.channels = 0;
  }
  if (asked.sample_rate > 0 && source.sample_rate != asked.sample_rate) {
    reasons.push_back(fmt::format("采样率 {} ≠ {}", source.sample_rate, asked.sample_rate));
    device_view.sample_rate = 0;
  }
  BitRateReasons(source, request, reasons);
}

}  // namespace

const char* KindName(int kind) {
  switch (kind) {
    case AVMEDIA_TYPE_VIDEO:
      return "视频";
    case AVMEDIA_TYPE_AUDIO:
      return "音频";
    case AVMEDIA_TYPE_SUBTITLE:
      return "字幕";
    default:
      return "数据";
  }
}

int64_t VideoQualityClassBitRate(int codec_id, double quality, int width, int height,
                                 double frame_rate) {
  struct TScale {
    int codec_id;
    double reference;       // a usual quality value of the codec's encoder
    double bits_per_pixel;  // the class ceiling at that quality, for 1080p
  };
  static constexpr std::array<TScale, 4> kScales{{{AV_CODEC_ID_H264, 23, 0.2},
                                                  {AV_CODEC_ID_HEVC, 28, 0.12},
                                                  {AV_CODEC_ID_VP9, 31, 0.12},
                                                  {AV_CODEC_ID_AV1, 35, 0.09}}};
  if (width <= 0 || height <= 0 || frame_rate <= 0) return 0;
  // Smaller pictures take more bits per pixel at the same quality: the bits
  // of a picture grow as its pixels to the power 3/4, from 1080p on.
  constexpr double kReferencePixels = 1920.0 * 1080.0;
  const double pixels = kReferencePixels * std::pow(width * height / kReferencePixels, 0.75);
  for (const TScale& scale : kScales) {
    if (scale.codec_id != codec_id) continue;
    const double bpp = scale.bits_per_pixel * std::pow(2.0, (scale.reference - quality) / 6.0);
    return static_cast<int64_t>(bpp * pixels * frame_rate);
  }
  return 0;
}

int64_t AudioQualityClassBitRate(int codec_id, double quality, int channels) {
  if (codec_id != AV_CODEC_ID_MP3) return 0;
  // LAME's VBR presets V0 to V9 for stereo (kbit/s), with room above them.
  static constexpr std::array<int, 10> kStereoKbits{245, 225, 190, 175, 165, 130, 115, 100, 85, 65};
  const int preset = static_cast<int>(std::clamp(std::lround(quality), 0L, 9L));
  const double per_stream = kStereoKbits[preset] * 1000.0 * 1.15;
  return static_cast<int64_t>(channels == 1 ? per_stream / 2 : per_stream);
}

TFitVerdict JudgeStreamFit(const TDeviceCapabilities* device, const TStreamFacts& source,
                           const TStreamRequest& request) {
  TFitVerdict verdict;
  std::vector<std::string>& reasons = verdict.reasons;
  if (device == nullptr) {
    reasons.push_back("未指定设备");
    return verdict;
  }
  reasons = request.frames_needed;
  TStreamFacts device_view = source;
  if (source.kind == AVMEDIA_TYPE_VIDEO) VideoReasons(source, request, device_view, reasons);
  if (source.kind == AVMEDIA_TYPE_AUDIO) {
    AudioReasons(*device, source, request, device_view, reasons);
  }
  for (std::string& problem : PlaybackProblems(*device, device_view)) {
    reasons.push_back(std::move(problem));
  }
  // (Only worth saying of a stream with nothing else against it.)
  if (reasons.empty() && request.format != nullptr &&
      avformat_query_codec(request.format, static_cast<AVCodecID>(source.codec_id),
                           FF_COMPLIANCE_NORMAL) == 0) {
    reasons.push_back(fmt::format("容器 {} 不能容纳 {}", request.format->name,
                                  CodecDisplayName(source.codec_id)));
  }
  verdict.copy = reasons.empty();
  return verdict;
}

std::string JoinedReasons(const TFitVerdict& verdict) {
  std::string reasons;
  for (const std::string& reason : verdict.reasons) {
    if (!reasons.empty()) reasons += ", ";
    reasons += reason;
  }
  return reasons;
}

std::string FitLogLine(int kind, int number, const TFitVerdict& verdict) {
  std::string line = KindName(kind);
  if (number > 1) line += " " + std::to_string(number);
  if (verdict.copy) return line + ": 直接复制 (已符合)";
  return line + ": 重新编码 (" + JoinedReasons(verdict) + ")";
}

std::vector<int64_t> MeasureBitRates(const std::string& name, const AVInputFormat* format) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, name.c_str(), format, nullptr) < 0) return {};
  InputFormatPtr input(raw);
  const unsigned count = input->nb_streams;
  std::vector<int64_t> bytes(count, 0);
  std::vector<int64_t> first(count, AV_NOPTS_VALUE);
  std::vector<int64_t> last(count, AV_NOPTS_VALUE);
  PacketPtr pkt(av_packet_alloc());
  // Enough of the start to judge by, little enough to cost nothing beside a copy.
  constexpr int64_t kSeconds = 10;
  constexpr int kPackets = 20000;
  constexpr int64_t kBytes = 64 << 20;
  int64_t read_bytes = 0;
  for (int n = 0; pkt && n < kPackets && read_bytes < kBytes; ++n) {
    if (av_read_frame(input.get(), pkt.get()) < 0) break;
    const unsigned index = static_cast<unsigned>(pkt->stream_index);
    const int64_t ts = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
    if (index < count && ts != AV_NOPTS_VALUE) {
      const int64_t us = av_rescale_q(ts + std::max<int64_t>(pkt->duration, 0),
                                      input->streams[index]->time_base, AV_TIME_BASE_Q);
      bytes[index] += pkt->size;
      if (first[index] == AV_NOPTS_VALUE) {
        first[index] = av_rescale_q(ts, input->streams[index]->time_base, AV_TIME_BASE_Q);
      }
      last[index] = us;
      read_bytes += pkt->size;
      if (us - first[index] > kSeconds * AV_TIME_BASE) {
        av_packet_unref(pkt.get());
        break;
      }
    }
    av_packet_unref(pkt.get());
  }
  std::vector<int64_t> rates(count, 0);
  for (unsigned i = 0; i < count; ++i) {
    const int64_t span = last[i] - first[i];
    if (first[i] != AV_NOPTS_VALUE && span > AV_TIME_BASE / 5) {
      rates[i] = bytes[i] * 8 * AV_TIME_BASE / span;
    }
  }
  return rates;
}

void BoundFrameSize(int& width, int& height, int max_width, int max_height) {
  if (width <= 0 || height <= 0) return;
  constexpr int kUnbounded = std::numeric_limits<int>::max();
  const int box_a = max_width > 0 ? max_width : kUnbounded;
  const int box_b = max_height > 0 ? max_height : kUnbounded;
  const int box_long = std::max(box_a, box_b);
  const int box_short = std::min(box_a, box_b);
  const bool landscape = width >= height;
  const int picture_long = landscape ? width : height;
  const int picture_short = landscape ? height : width;
  const double factor = std::min({1.0, static_cast<double>(box_long) / picture_long,
                                  static_cast<double>(box_short) / picture_short});
  if (factor >= 1.0) return;
  const int scaled_long = ScaledSide(picture_long, factor, box_long);
  const int scaled_short = ScaledSide(picture_short, factor, box_short);
  width = landscape ? scaled_long : scaled_short;
  height = landscape ? scaled_short : scaled_long;
}

AVRational CappedFrameRate(AVRational source, int max_rate) {
  if (max_rate <= 0 || source.num <= 0 || source.den <= 0) return source;
  const double rate = av_q2d(source);
  // A little tolerance, so that 30.0003 (a rate measured by the demuxer) counts as 30.
  if (rate <= max_rate * 1.001) return source;
  const int divisor = static_cast<int>(std::ceil(rate / (max_rate * 1.001)));
  if (rate / divisor >= max_rate * 0.75) {
    AVRational fraction{0, 1};
    av_reduce(&fraction.num, &fraction.den, source.num, static_cast<int64_t>(source.den) * divisor,
              std::numeric_limits<int>::max());
    return fraction;
  }
  if (source.den % 1001 == 0) return AVRational{max_rate * 1000, 1001};
  return AVRational{max_rate, 1};
}

}  // namespace veltrano
