// The reading side of the packet path: the next packet of an input, its
// timestamps corrected, the clock of its stream, and decoding (with the
// volume of the decoded samples).
#include "engine/InputFile.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "converter/AVError.h"
#include "engine/RunContext.h"

namespace veltrano {
namespace {

template <class T, class Wide>
void ScaleSamples(uint8_t* data, int count, int volume) {
  T* samples = reinterpret_cast<T*>(data);
  constexpr Wide lowest = std::numeric_limits<T>::min();
  constexpr Wide highest = std::numeric_limits<T>::max();
  for (int i = 0; i < count; ++i) {
    // (s * volume + 128) / 256, rounded towards minus infinity, then limited.
    const Wide scaled = (static_cast<Wide>(samples[i]) * volume + 128) >> 8;
    samples[i] = static_cast<T>(std::clamp(scaled, lowest, highest));
  }
}

template <class T>
void ScaleFloatSamples(uint8_t* data, int count, int volume) {
  T* samples = reinterpret_cast<T*>(data);
  const T gain = static_cast<T>(volume) / 256;
  for (int i = 0; i < count; ++i) samples[i] = std::clamp(samples[i] * gain, T(-1), T(1));
}

void ScaleUnsigned8(uint8_t* data, int count, int volume) {
  for (int i = 0; i < count; ++i) {
    const int scaled = (((data[i] - 128) * volume + 128) >> 8) + 128;
    data[i] = static_cast<uint8_t>(std::clamp(scaled, 0, 255));
  }
}

// Sends `pkt` (nullptr: end of input) to `dec` and hands every decoded frame
// to `use`. -1 when decoding failed.
template <class F>
int DecodeFrames(AVCodecContext* dec, const AVPacket* pkt, AVFrame* frame, F use) {
  int ret = avcodec_send_packet(dec, pkt);
  if (ret < 0 && ret != AVERROR_EOF && ret != AVERROR(EAGAIN)) return -1;
  while (true) {
    ret = avcodec_receive_frame(dec, frame);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return 0;
    if (ret < 0) return -1;
    use(frame);
    av_frame_unref(frame);
  }
}

// The stream's clock at the start of a packet: its decode time when it has one.
void StartPacket(TInputStreamState& ist, const AVPacket* pkt) {
  if (ist.next_pts == AV_NOPTS_VALUE) ist.next_pts = ist.pts;
  if (pkt != nullptr && pkt->dts != AV_NOPTS_VALUE) {
    ist.next_pts = ist.pts = av_rescale_q(pkt->dts, ist.st->time_base, AV_TIME_BASE_Q);
  }
}

}  // namespace

void ApplyVolume(AVFrame* frame, int volume) {
  if (volume == 256 || frame->nb_samples == 0) return;
  if (av_frame_make_writable(frame) < 0) throw EAVError("Out of memory in do_audio_out");
  const auto format = static_cast<AVSampleFormat>(frame->format);
  const bool planar = av_sample_fmt_is_planar(format);
  const int channels = frame->ch_layout.nb_channels;
  const int planes = planar ? channels : 1;
  const int count = planar ? frame->nb_samples : frame->nb_samples * channels;
  for (int p = 0; p < planes; ++p) {
    uint8_t* data = frame->extended_data[p];
    switch (av_get_packed_sample_fmt(format)) {
      case AV_SAMPLE_FMT_U8:
        ScaleUnsigned8(data, count, volume);
        break;
      case AV_SAMPLE_FMT_S16:
        ScaleSamples<int16_t, int32_t>(data, count, volume);
        break;
      case AV_SAMPLE_FMT_S32:
        ScaleSamples<int32_t, int64_t>(data, count, volume);
        break;
      case AV_SAMPLE_FMT_S64:
        ScaleSamples<int64_t, int64_t>(data, count, volume);
        break;
      case AV_SAMPLE_FMT_FLT:
        ScaleFloatSamples<float>(data, count, volume);
        break;
      case AV_SAMPLE_FMT_DBL:
        ScaleFloatSamples<double>(data, count, volume);
        break;
      default:
        break;
    }
  }
}

int64_t VideoFrameDuration(const TInputStreamState& ist, const AVPacket* pkt) {
  if (pkt != nullptr && pkt->duration > 0) {
    return av_rescale_q(pkt->duration, ist.st->time_base, AV_TIME_BASE_Q);
  }
  AVRational rate = ist.st->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = ist.st->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) return 0;
  return av_rescale_q(1, av_inv_q(rate), AV_TIME_BASE_Q);
}

TInputFile::TRead TInputFile::ReadPacket(AVPacket* pkt) {
  int error = av_read_frame(ctx.get(), pkt);
  if (error == AVERROR(EAGAIN)) {
    no_packet = true;
    return TRead::NotYet;
  }
  if (error >= 0) return TRead::Packet;
  AVIOContext* pb = ctx->pb;
  if (error == AVERROR_EOF && pb != nullptr && pb->error < 0) error = pb->error;
  if (error != AVERROR_EOF) {
    throw EAVError(WithReason("Error while reading input", name, AvErrorText(error)));
  }
  if (size_at_open > 0 && pb != nullptr) {
    const int64_t size_now = avio_size(pb);
    if (size_now >= 0 && size_now < size_at_open) {
      throw EAVError(
          WithReason("Error while reading input", name,
                     fmt::format("the file was cut short while it was read ({} of {} bytes)",
                                 size_now, size_at_open)));
    }
  }
  eof_reached = true;
  return TRead::Ended;
}

TInputStreamState* TInputFile::StreamOf(const AVPacket* pkt) const {
  if (pkt->stream_index >= static_cast<int>(streams.size())) return nullptr;
  TInputStreamState* ist = streams[pkt->stream_index].get();
  return ist->discard ? nullptr : ist;
}

void TInputFile::CorrectTimestamps(TInputStreamState& ist, AVPacket* pkt,
                                   const TAVConvertOptions& options) {
  const AVRational tb = ist.st->time_base;
  const int64_t shift = av_rescale_q(ts_offset, AV_TIME_BASE_Q, tb);
  if (pkt->dts != AV_NOPTS_VALUE) pkt->dts += shift;
  if (pkt->pts != AV_NOPTS_VALUE) pkt->pts += shift;
  const double scale = ts_scale[ist.index];
  if (scale != 0) {
    if (pkt->dts != AV_NOPTS_VALUE) pkt->dts = std::llround(static_cast<double>(pkt->dts) * scale);
    if (pkt->pts != AV_NOPTS_VALUE) pkt->pts = std::llround(static_cast<double>(pkt->pts) * scale);
  }
  if (pkt->dts == AV_NOPTS_VALUE || ist.next_pts == AV_NOPTS_VALUE ||
      !(ctx->iformat->flags & AVFMT_TS_DISCONT) || options.CopyTS()) {
    return;
  }
  const int64_t dts_us = av_rescale_q(pkt->dts, tb, AV_TIME_BASE_Q);
  const int64_t delta = dts_us - ist.next_pts;
  const double threshold = options.DtsDeltaThreshold() * 1000000.0;
  if (std::fabs(static_cast<double>(delta)) > threshold || dts_us + 1 < ist.pts) {
    ts_offset -= delta;
    const int64_t delta_tb = av_rescale_q(delta, AV_TIME_BASE_Q, tb);
    pkt->dts -= delta_tb;
    if (pkt->pts != AV_NOPTS_VALUE) pkt->pts -= delta_tb;
  }
}

void TInputFile::AdvanceCopied(TInputStreamState& ist, const AVPacket* pkt) const {
  StartPacket(ist, pkt);
  ist.pts = ist.next_pts;
  const AVCodecParameters* par = ist.st->codecpar;
  if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0) {
    ist.next_pts += static_cast<int64_t>(1000000) * par->frame_size / par->sample_rate;
  } else if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    ist.next_pts += VideoFrameDuration(ist, pkt);
  }
}

int TInputFile::Decode(TInputStreamState& ist, const AVPacket* pkt, const TRunContext& context,
                       const std::function<void(TDecoded&)>& use) const {
  StartPacket(ist, pkt);
  switch (ist.dec->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      return DecodeAudio(ist, pkt, context, use);
    case AVMEDIA_TYPE_VIDEO:
      return DecodeVideo(ist, pkt, context, use);
    case AVMEDIA_TYPE_SUBTITLE:
      return DecodeSubtitle(ist, pkt, use);
    default:
      return 0;
  }
}

int TInputFile::DecodeVideo(TInputStreamState& ist, const AVPacket* pkt, const TRunContext& context,
                            const std::function<void(TDecoded&)>& use) const {
  return DecodeFrames(ist.dec, pkt, ist.frame.get(), [&](AVFrame* frame) {
    ++context.Figures().frames_decoded;
    if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
      ist.pts = av_rescale_q(frame->best_effort_timestamp, ist.st->time_base, AV_TIME_BASE_Q);
    } else {
      ist.pts = ist.next_pts;
    }
    const int64_t duration =
        frame->pkt_duration > 0
            ? av_rescale_q(frame->pkt_duration, ist.st->time_base, AV_TIME_BASE_Q)
            : VideoFrameDuration(ist, nullptr);
    ist.next_pts = ist.pts + duration;
    ist.quality = static_cast<float>(frame->quality);
    TDecoded decoded{frame};
    use(decoded);
  });
}

int TInputFile::DecodeAudio(TInputStreamState& ist, const AVPacket* pkt, const TRunContext& context,
                            const std::function<void(TDecoded&)>& use) const {
  return DecodeFrames(ist.dec, pkt, ist.frame.get(), [&](AVFrame* frame) {
    ist.pts = ist.next_pts;
    if (frame->sample_rate > 0) {
      ist.next_pts += static_cast<int64_t>(1000000) * frame->nb_samples / frame->sample_rate;
    }
    ApplyVolume(frame, context.Options().AudioOptions().AudioVolume());
    TDecoded decoded{frame};
    use(decoded);
  });
}

int TInputFile::DecodeSubtitle(TInputStreamState& ist, const AVPacket* pkt,
                               const std::function<void(TDecoded&)>& use) const {
  AVPacket empty{};
  const AVPacket* input = pkt;
  if (input == nullptr) {
    if (!(ist.dec->codec->capabilities & AV_CODEC_CAP_DELAY)) return 0;
    input = &empty;
  }
  AVSubtitle subtitle{};
  int got = 0;
  if (avcodec_decode_subtitle2(ist.dec, &subtitle, &got, const_cast<AVPacket*>(input)) < 0) {
    return -1;
  }
  if (!got) return 0;
  struct TSubtitleFree {
    AVSubtitle* s;
    ~TSubtitleFree() { avsubtitle_free(s); }
  } release{&subtitle};
  TDecoded decoded{nullptr, &subtitle, pkt != nullptr ? pkt->pts : AV_NOPTS_VALUE};
  use(decoded);
  return 0;
}

}  // namespace veltrano
