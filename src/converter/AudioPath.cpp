// The audio path: decoding, volume, conversion to the encoder's rate,
// channel layout and sample format, the audio sync (drop, insert silence,
// compensate), encoding frame by frame from the stream's sample FIFO, and
// the flush at the end of the input or of the requested span.
#include <fmt/printf.h>

#include <algorithm>
#include <cmath>
#include <limits>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

#include "converter/AVError.h"
#include "engine/ConverterEngine.h"
#include "engine/RunState.h"
#include "engine/TranscodeState.h"

namespace veltrano {
namespace {

// Pointers to the samples of `frame` starting at sample `offset`.
std::vector<const uint8_t*> SamplePointers(const AVFrame* frame, int offset) {
  const auto format = static_cast<AVSampleFormat>(frame->format);
  const int channels = frame->ch_layout.nb_channels;
  const int bytes = av_get_bytes_per_sample(format);
  std::vector<const uint8_t*> planes;
  if (av_sample_fmt_is_planar(format)) {
    for (int c = 0; c < channels; ++c) planes.push_back(frame->extended_data[c] + offset * bytes);
  } else {
    planes.push_back(frame->extended_data[0] + offset * bytes * channels);
  }
  return planes;
}

bool SameLayout(const AVChannelLayout& a, const AVChannelLayout& b) {
  return av_channel_layout_compare(&a, &b) == 0;
}

}  // namespace

double TConverterEngine::SyncInputSeconds(const TOutputStreamState& ost) const {
  return static_cast<double>(ost.sync_ist->pts) / 1000000.0;
}

// Creates (or rebuilds, when the decoder's output changed) the converter
// from the decoded samples to the encoder's rate, layout and format.
void TConverterEngine::PrepareAudioConverter(TOutputStreamState& ost, const AVFrame* frame) {
  AVCodecContext* enc = ost.enc;
  const int in_rate = frame->sample_rate;
  const int in_channels = frame->ch_layout.nb_channels;
  if (enc->ch_layout.nb_channels != in_channels) ost.audio.resampling = true;
  const bool needed = ost.audio.resampling || frame->format != enc->sample_fmt ||
                      in_rate != enc->sample_rate || !SameLayout(frame->ch_layout, enc->ch_layout);
  if (!needed) {
    ost.audio.resampler.reset();
    return;
  }
  if (ost.audio.resampler && ost.audio.in_format == frame->format && ost.audio.in_rate == in_rate &&
      ost.audio.in_channels == in_channels) {
    return;
  }
  SwrContext* swr = nullptr;
  int ret = swr_alloc_set_opts2(&swr, &enc->ch_layout, enc->sample_fmt, enc->sample_rate,
                                const_cast<AVChannelLayout*>(&frame->ch_layout), static_cast<AVSampleFormat>(frame->format),
                                in_rate, 0, nullptr);
  SwrContextPtr owner(swr);
  if (ret >= 0) {
    av_opt_set_int(swr, "filter_size", 16, 0);
    av_opt_set_int(swr, "phase_shift", 10, 0);
    av_opt_set_int(swr, "linear_interp", 0, 0);
    av_opt_set_double(swr, "cutoff", 0.8, 0);
    ret = swr_init(swr);
  }
  if (ret < 0) {
    if (ost.audio.resampling) {
      throw EAVError(fmt::sprintf("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                                  in_channels, in_rate, enc->ch_layout.nb_channels, enc->sample_rate));
    }
    throw EAVError(fmt::sprintf("Cannot convert %s sample format to %s sample format",
                                av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format)),
                                av_get_sample_fmt_name(enc->sample_fmt)));
  }
  ost.audio.resampler = std::move(owner);
  ost.audio.in_format = frame->format;
  ost.audio.in_rate = in_rate;
  ost.audio.in_channels = in_channels;
}

// Converts `count` samples (nullptr: what the converter still holds) and
// appends them to the stream's FIFO.
void TConverterEngine::QueueAudio(TOutputStreamState& ost, const uint8_t* const* data, int count) {
  AVAudioFifo* fifo = ost.audio.fifo.get();
  if (!ost.audio.resampler) {
    if (count > 0 &&
        av_audio_fifo_write(fifo, reinterpret_cast<void**>(const_cast<uint8_t**>(data)), count) <
            count) {
      throw EAVError("Could not queue audio samples: out of memory");
    }
    return;
  }
  const int capacity = swr_get_out_samples(ost.audio.resampler.get(), count);
  if (capacity <= 0) return;
  uint8_t** planes = nullptr;
  if (av_samples_alloc_array_and_samples(&planes, nullptr, ost.enc->ch_layout.nb_channels, capacity,
                                         ost.enc->sample_fmt, 0) < 0) {
    throw EAVError("Out of memory in do_audio_out");
  }
  const SampleArrayPtr converted(planes);
  const int produced = swr_convert(ost.audio.resampler.get(), converted.get(), capacity,
                                   const_cast<const uint8_t**>(data), count);
  if (produced < 0) throw EAVError("Audio conversion failed: " + AvErrorText(produced));
  if (produced > 0 &&
      av_audio_fifo_write(fifo, reinterpret_cast<void**>(converted.get()), produced) < produced) {
    throw EAVError("Could not queue audio samples: out of memory");
  }
}

void TConverterEngine::DoAudioOut(TOutputStreamState& ost, TInputStreamState& ist,
                                  const AVFrame* frame) {
  AVCodecContext* enc = ost.enc;
  const TAudioOptions& audio = FConvertOptions.AudioOptions();
  PrepareAudioConverter(ost, frame);

  int count = frame->nb_samples;
  int drop = 0;
  int64_t silence = 0;
  const int fifo_samples = av_audio_fifo_size(ost.audio.fifo.get());
  const double sync_seconds = SyncInputSeconds(ost);
  if (audio.AudioSyncMethod() != 0) {
    const double delta = sync_seconds * enc->sample_rate - static_cast<double>(ost.sync_opts) -
                         static_cast<double>(fifo_samples);
    const double idelta = delta * frame->sample_rate / enc->sample_rate;
    const int64_t sample_delta = std::llrint(idelta);
    if (std::fabs(delta) > 50) {
      if (ist.is_start || std::fabs(delta) > enc->sample_rate * audio.AudioDriftThreshold()) {
        if (sample_delta < 0) {
          drop = static_cast<int>(std::min<int64_t>(-sample_delta, count));
          count -= drop;
          if (count == 0) return;
          ist.is_start = false;
        } else {
          silence = sample_delta;
          ist.is_start = false;
        }
      } else if (audio.AudioSyncMethod() > 1 && ost.audio.resampler) {
        const int limit = audio.AudioSyncMethod();
        const int comp = static_cast<int>(std::clamp<int64_t>(std::llrint(delta), -limit, limit));
        swr_set_compensation(ost.audio.resampler.get(), comp, enc->sample_rate);
      }
    }
  } else {
    ost.sync_opts = std::llrint(sync_seconds * enc->sample_rate) - fifo_samples;
  }

  if (silence > 0) {
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const int channels = frame->ch_layout.nb_channels;
    uint8_t** planes = nullptr;
    if (silence > MaxInt ||
        av_samples_alloc_array_and_samples(&planes, nullptr, channels, static_cast<int>(silence),
                                           format, 0) < 0) {
      throw EAVError("Buffer sizes too large");
    }
    const SampleArrayPtr zeros(planes);
    av_samples_set_silence(zeros.get(), 0, static_cast<int>(silence), channels, format);
    QueueAudio(ost, zeros.get(), static_cast<int>(silence));
  }
  const std::vector<const uint8_t*> planes = SamplePointers(frame, drop);
  QueueAudio(ost, const_cast<uint8_t* const*>(planes.data()), count);
  EncodeQueuedAudio(ost, false);
}

// Encodes what the FIFO holds: whole encoder frames, or everything for
// encoders that take any number of samples (and at the end of input).
void TConverterEngine::EncodeQueuedAudio(TOutputStreamState& ost, bool last) {
  const int frame_size = ost.enc->frame_size;
  AVAudioFifo* fifo = ost.audio.fifo.get();
  if (frame_size > 1) {
    while (av_audio_fifo_size(fifo) >= frame_size) EncodeAudioSamples(ost, frame_size);
    if (last && av_audio_fifo_size(fifo) > 0) EncodeAudioSamples(ost, av_audio_fifo_size(fifo));
  } else if (av_audio_fifo_size(fifo) > 0) {
    EncodeAudioSamples(ost, av_audio_fifo_size(fifo));
  }
}

void TConverterEngine::EncodeAudioSamples(TOutputStreamState& ost, int count) {
  AVCodecContext* enc = ost.enc;
  // Samples beyond the requested span are read and left out; the stream
  // ends with the last sample inside it.
  const int64_t limit = context_.RecordingLimit(enc->time_base);
  const int64_t room = limit == INT64_MAX ? INT64_MAX : limit - ost.sync_opts;
  if (room < count) {
    const int keep = static_cast<int>(std::max<int64_t>(room, 0));
    if (keep > 0) EncodeAudioSamples(ost, keep);
    av_audio_fifo_drain(ost.audio.fifo.get(), count - keep);
    ost.sync_opts += count - keep;
    FinishStream(ost);
    return;
  }
  AVFrame* frame = run_->transcode->audio_frame.get();
  frame->nb_samples = count;
  frame->format = enc->sample_fmt;
  frame->sample_rate = enc->sample_rate;
  if (av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout) < 0 ||
      av_frame_get_buffer(frame, 0) < 0) {
    av_frame_unref(frame);
    throw EAVError("Out of memory in do_audio_out");
  }
  av_audio_fifo_read(ost.audio.fifo.get(), reinterpret_cast<void**>(frame->data), count);
  frame->pts = ost.sync_opts;
  ost.sync_opts += count;
  const int sent = EncodeCall(ost.encode_lock, [&] { return avcodec_send_frame(enc, frame); });
  av_frame_unref(frame);
  if (sent < 0) EncodingFailed(ost, "Audio", sent);
  ReceiveAudioPackets(ost);
}

void TConverterEngine::ReceiveAudioPackets(TOutputStreamState& ost) {
  AVPacket* pkt = run_->transcode->out_packet.get();
  while (true) {
    const int ret =
        EncodeCall(ost.encode_lock, [&] { return avcodec_receive_packet(ost.enc, pkt); });
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    if (ret < 0) EncodingFailed(ost, "Audio", ret);
    context_.Figures().audio_size += pkt->size;
    pkt->flags |= AV_PKT_FLAG_KEY;
    WritePacket(ost, pkt);
    ++ost.frame_number;
  }
}

// Ends the stream's audio: what the resampler and the FIFO still hold (up to
// the end of the span), then the encoder's delayed packets.
void TConverterEngine::FlushAudio(TOutputStreamState& ost) {
  if (ost.audio.fifo) {
    if (ost.audio.resampler) QueueAudio(ost, nullptr, 0);
    EncodeQueuedAudio(ost, true);
  }
  if (EncodeCall(ost.encode_lock, [&] { return avcodec_send_frame(ost.enc, nullptr); }) < 0) return;
  ReceiveAudioPackets(ost);
}

}  // namespace veltrano
