// The audio path: conversion of the decoded samples to the encoder's rate,
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
#include "engine/OutputPath.h"

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

TAudioPath::TAudioPath(std::unique_ptr<TOutputStreamState> stream, TOutputFile& file,
                       const TRunContext& context, bool resampling)
    : TOutputPath(std::move(stream), file, context) {
  audio_.resampling = resampling;
  audio_.frame.reset(av_frame_alloc());
  if (!audio_.frame) throw EAVError("Out of memory");
}

void TAudioPath::EncoderOpened() {
  audio_.fifo.reset(
      av_audio_fifo_alloc(ost_.enc->sample_fmt, ost_.enc->ch_layout.nb_channels, 1024));
  if (!audio_.fifo) throw EAVError("no memory");
}

// Creates (or rebuilds, when the decoder's output changed) the converter
// from the decoded samples to the encoder's rate, layout and format.
void TAudioPath::PrepareConverter(const AVFrame* frame) {
  AVCodecContext* enc = ost_.enc;
  const int in_rate = frame->sample_rate;
  const int in_channels = frame->ch_layout.nb_channels;
  if (enc->ch_layout.nb_channels != in_channels) audio_.resampling = true;
  const bool needed = audio_.resampling || frame->format != enc->sample_fmt ||
                      in_rate != enc->sample_rate || !SameLayout(frame->ch_layout, enc->ch_layout);
  if (!needed) {
    audio_.resampler.reset();
    return;
  }
  if (audio_.resampler && audio_.in_format == frame->format && audio_.in_rate == in_rate &&
      audio_.in_channels == in_channels) {
    return;
  }
  SwrContext* swr = nullptr;
  int ret = swr_alloc_set_opts2(&swr, &enc->ch_layout, enc->sample_fmt, enc->sample_rate,
                                const_cast<AVChannelLayout*>(&frame->ch_layout),
                                static_cast<AVSampleFormat>(frame->format), in_rate, 0, nullptr);
  SwrContextPtr owner(swr);
  if (ret >= 0) {
    av_opt_set_int(swr, "filter_size", 16, 0);
    av_opt_set_int(swr, "phase_shift", 10, 0);
    av_opt_set_int(swr, "linear_interp", 0, 0);
    av_opt_set_double(swr, "cutoff", 0.8, 0);
    ret = swr_init(swr);
  }
  if (ret < 0) {
    if (audio_.resampling) {
      throw EAVError(fmt::sprintf("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                                  in_channels, in_rate, enc->ch_layout.nb_channels,
                                  enc->sample_rate));
    }
    throw EAVError(fmt::sprintf("Cannot convert %s sample format to %s sample format",
                                av_get_sample_fmt_name(static_cast<AVSampleFormat>(frame->format)),
                                av_get_sample_fmt_name(enc->sample_fmt)));
  }
  audio_.resampler = std::move(owner);
  audio_.in_format = frame->format;
  audio_.in_rate = in_rate;
  audio_.in_channels = in_channels;
}

// Converts `count` samples (nullptr: what the converter still holds) and
// appends them to the stream's FIFO.
void TAudioPath::Queue(const uint8_t* const* data, int count) {
  AVAudioFifo* fifo = audio_.fifo.get();
  if (!audio_.resampler) {
    if (count > 0 &&
        av_audio_fifo_write(fifo, reinterpret_cast<void**>(const_cast<uint8_t**>(data)), count) <
            count) {
      throw EAVError("Could not queue audio samples: out of memory");
    }
    return;
  }
  const int capacity = swr_get_out_samples(audio_.resampler.get(), count);
  if (capacity <= 0) return;
  uint8_t** planes = nullptr;
  if (av_samples_alloc_array_and_samples(&planes, nullptr, ost_.enc->ch_layout.nb_channels,
                                         capacity, ost_.enc->sample_fmt, 0) < 0) {
    throw EAVError("Out of memory in do_audio_out");
  }
  const SampleArrayPtr converted(planes);
  const int produced = swr_convert(audio_.resampler.get(), converted.get(), capacity,
                                   const_cast<const uint8_t**>(data), count);
  if (produced < 0) throw EAVError("Audio conversion failed: " + AvErrorText(produced));
  if (produced > 0 &&
      av_audio_fifo_write(fifo, reinterpret_cast<void**>(converted.get()), produced) < produced) {
    throw EAVError("Could not queue audio samples: out of memory");
  }
}

// Queues `silence` samples of nothing in the format of `frame`.
void TAudioPath::QueueSilence(const AVFrame* frame, int64_t silence) {
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
  Queue(zeros.get(), static_cast<int>(silence));
}

void TAudioPath::SendFrame(TInputStreamState& ist, TDecoded& decoded) {
  const AVFrame* frame = decoded.frame;
  if (frame == nullptr) return;
  AVCodecContext* enc = ost_.enc;
  const TAudioOptions& audio = context_.Options().AudioOptions();
  PrepareConverter(frame);

  int count = frame->nb_samples;
  int drop = 0;
  int64_t silence = 0;
  const int fifo_samples = av_audio_fifo_size(audio_.fifo.get());
  const double sync_seconds = SyncInputSeconds();
  if (audio.AudioSyncMethod() != 0) {
    const double delta = sync_seconds * enc->sample_rate - static_cast<double>(ost_.sync_opts) -
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
      } else if (audio.AudioSyncMethod() > 1 && audio_.resampler) {
        const int limit = audio.AudioSyncMethod();
        const int comp = static_cast<int>(std::clamp<int64_t>(std::llrint(delta), -limit, limit));
        swr_set_compensation(audio_.resampler.get(), comp, enc->sample_rate);
      }
    }
  } else {
    ost_.sync_opts = std::llrint(sync_seconds * enc->sample_rate) - fifo_samples;
  }

  if (silence > 0) QueueSilence(frame, silence);
  const std::vector<const uint8_t*> planes = SamplePointers(frame, drop);
  Queue(const_cast<uint8_t* const*>(planes.data()), count);
  EncodeQueued(false);
}

// Encodes what the FIFO holds: whole encoder frames, or everything for
// encoders that take any number of samples (and at the end of input).
void TAudioPath::EncodeQueued(bool last) {
  const int frame_size = ost_.enc->frame_size;
  AVAudioFifo* fifo = audio_.fifo.get();
  if (frame_size > 1) {
    while (av_audio_fifo_size(fifo) >= frame_size) EncodeSamples(frame_size);
    if (last && av_audio_fifo_size(fifo) > 0) EncodeSamples(av_audio_fifo_size(fifo));
  } else if (av_audio_fifo_size(fifo) > 0) {
    EncodeSamples(av_audio_fifo_size(fifo));
  }
}

void TAudioPath::EncodeSamples(int count) {
  AVCodecContext* enc = ost_.enc;
  // Samples beyond the requested span are read and left out; the stream
  // ends with the last sample inside it.
  const int64_t limit = context_.RecordingLimit(enc->time_base);
  const int64_t room = limit == INT64_MAX ? INT64_MAX : limit - ost_.sync_opts;
  if (room < count) {
    const int keep = static_cast<int>(std::max<int64_t>(room, 0));
    if (keep > 0) EncodeSamples(keep);
    av_audio_fifo_drain(audio_.fifo.get(), count - keep);
    ost_.sync_opts += count - keep;
    Finish();
    return;
  }
  AVFrame* frame = audio_.frame.get();
  frame->nb_samples = count;
  frame->format = enc->sample_fmt;
  frame->sample_rate = enc->sample_rate;
  if (av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout) < 0 ||
      av_frame_get_buffer(frame, 0) < 0) {
    av_frame_unref(frame);
    throw EAVError("Out of memory in do_audio_out");
  }
  av_audio_fifo_read(audio_.fifo.get(), reinterpret_cast<void**>(frame->data), count);
  frame->pts = ost_.sync_opts;
  ost_.sync_opts += count;
  const int sent = EncodeCall(ost_.encode_lock, [&] { return avcodec_send_frame(enc, frame); });
  av_frame_unref(frame);
  if (sent < 0) EncodingFailed("Audio", sent);
  ReceivePackets();
}

void TAudioPath::ReceivePackets() {
  AVPacket* pkt = packet_.get();
  while (true) {
    const int ret =
        EncodeCall(ost_.encode_lock, [&] { return avcodec_receive_packet(ost_.enc, pkt); });
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    if (ret < 0) EncodingFailed("Audio", ret);
    context_.Figures().audio_size += pkt->size;
    pkt->flags |= AV_PKT_FLAG_KEY;
    Write(pkt);
    ++ost_.frame_number;
  }
}

// Ends the stream's audio: what the resampler and the FIFO still hold (up to
// the end of the span), then the encoder's delayed packets.
void TAudioPath::Flush() {
  if (audio_.fifo) {
    if (audio_.resampler) Queue(nullptr, 0);
    EncodeQueued(true);
  }
  if (EncodeCall(ost_.encode_lock, [&] { return avcodec_send_frame(ost_.enc, nullptr); }) < 0) {
    return;
  }
  ReceivePackets();
}

}  // namespace veltrano
