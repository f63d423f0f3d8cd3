// The main loop and the packet path: choosing the input that is furthest
// behind, reading, timestamp correction, decoding (or copying), feeding the
// output streams, writing through the bitstream filters, progress, and the
// flush, trailers and codec closing at the end.
#include <fmt/printf.h>

#include <chrono>
#include <cmath>
#include <thread>

extern "C" {
#include <libavutil/time.h>
}

#include "converter/AVConverter.h"
#include "converter/AVError.h"
#include "converter/MessageBoxes.h"
#include "converter/RunState.h"
#include "converter/TranscodeState.h"

namespace veltrano {

namespace {

constexpr int64_t kProgressHandOverUs = 100000;  // at most ten OnProgress a second
constexpr int64_t kProgressReportUs = 500000;    // figures refreshed twice a second

}  // namespace

void TAVConverter::HandOverProgress(bool force) {
  TTranscodeState& t = *run_->transcode;
  const int64_t now = av_gettime_relative();
  if (!force && now - t.last_progress_handover < kProgressHandOverUs) return;
  t.last_progress_handover = now;
  RunOnUiThread([this] {
    if (!FOnProgress) return;
    try {
      FOnProgress(*this);
    } catch (const std::exception& e) {
      ShowErrorBox(e.what());
    }
  });
}

void TAVConverter::WaitWhilePaused() {
  if (FState != csPaused) return;
  std::unique_lock lock(state_mutex_);
  state_changed_.wait(lock, [this] { return FState != csPaused; });
}

// The input file whose streams are furthest behind, or -1.
int TAVConverter::ChooseInputFile(double& opts_min) {
  TTranscodeState& t = *run_->transcode;
  double ipts_min = 1e100;
  opts_min = 1e100;
  int file = -1;
  const bool input_sync = FConvertOptions.GrabOptions().InputSync();
  for (const auto& ost : t.output_streams) {
    const TInputStreamState& ist = *t.input_streams[ost->source_index];
    if (t.no_packet[ist.file_index]) continue;
    const double opts = ost->position;
    const double ipts = static_cast<double>(ist.pts);
    if (!t.files[ist.file_index].eof_reached) {
      if (ipts < ipts_min) {
        ipts_min = ipts;
        if (input_sync) file = ist.file_index;
      }
      if (opts < opts_min) {
        opts_min = opts;
        if (!input_sync) file = ist.file_index;
      }
    }
    if (ost->frame_number >= OutputFrameLimit(FConvertOptions, ost->enc->codec_type)) return -1;
  }
  return file;
}

void TAVConverter::MainLoop() {
  TTranscodeState& t = *run_->transcode;
  AVPacket* pkt = t.packet.get();
  int no_packet_count = 0;
  while (true) {
    HandOverProgress(false);
    WaitWhilePaused();
    if (FState == csStopped) {
      RunOnUiThread([this] { DoStopped(); });
      break;
    }
    double opts_min = 0;
    const int file = ChooseInputFile(opts_min);
    if (file < 0) {
      if (no_packet_count > 0) {
        no_packet_count = 0;
        t.no_packet.assign(t.no_packet.size(), false);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        continue;
      }
      break;
    }
    FConvertedDuration = opts_min;
    if (static_cast<double>(FConvertOptions.RecordingTime()) / 1000000.0 <= opts_min) break;
    const int64_t limit = FConvertOptions.LimitFileSize();
    AVIOContext* first_output = run_->output_files[0].ctx->pb;
    if (limit != 0 && first_output != nullptr && avio_tell(first_output) > limit) break;

    const int ret = av_read_frame(run_->input_files[file].ctx.get(), pkt);
    if (ret == AVERROR(EAGAIN)) {
      t.no_packet[file] = true;
      ++no_packet_count;
      continue;
    }
    if (ret < 0) {
      t.files[file].eof_reached = true;
      if (FConvertOptions.ShortTest()) break;
      continue;
    }
    no_packet_count = 0;
    t.no_packet.assign(t.no_packet.size(), false);

    if (pkt->stream_index >= t.files[file].nb_streams ||
        t.input_streams[t.files[file].ist_index + pkt->stream_index]->discard) {
      av_packet_unref(pkt);
      continue;
    }
    TInputStreamState& ist = *t.input_streams[t.files[file].ist_index + pkt->stream_index];
    CorrectTimestamps(ist, pkt);
    const int result = ProcessInputPacket(ist, pkt);
    av_packet_unref(pkt);
    if (result >= 0) ReportProgress(false);
  }
}

void TAVConverter::CorrectTimestamps(TInputStreamState& ist, AVPacket* pkt) {
  int64_t& offset = run_->input_files_ts_offset[ist.file_index];
  const AVRational tb = ist.st->time_base;
  const int64_t shift = av_rescale_q(offset, AV_TIME_BASE_Q, tb);
  if (pkt->dts != AV_NOPTS_VALUE) pkt->dts += shift;
  if (pkt->pts != AV_NOPTS_VALUE) pkt->pts += shift;
  const double scale = run_->input_files_ts_scale[ist.file_index][ist.index];
  if (scale != 0) {
    if (pkt->dts != AV_NOPTS_VALUE) pkt->dts = std::llround(static_cast<double>(pkt->dts) * scale);
    if (pkt->pts != AV_NOPTS_VALUE) pkt->pts = std::llround(static_cast<double>(pkt->pts) * scale);
  }
  const AVFormatContext* ctx = run_->input_files[ist.file_index].ctx.get();
  if (pkt->dts == AV_NOPTS_VALUE || ist.next_pts == AV_NOPTS_VALUE ||
      !(ctx->iformat->flags & AVFMT_TS_DISCONT) || FConvertOptions.CopyTS()) {
    return;
  }
  const int64_t dts_us = av_rescale_q(pkt->dts, tb, AV_TIME_BASE_Q);
  const int64_t delta = dts_us - ist.next_pts;
  const double threshold = FConvertOptions.DtsDeltaThreshold() * 1000000.0;
  if (std::fabs(static_cast<double>(delta)) > threshold || dts_us + 1 < ist.pts) {
    offset -= delta;
    const int64_t delta_tb = av_rescale_q(delta, AV_TIME_BASE_Q, tb);
    pkt->dts -= delta_tb;
    if (pkt->pts != AV_NOPTS_VALUE) pkt->pts -= delta_tb;
  }
}

bool TAVConverter::ReachedStartTime(const TInputStreamState& ist) const {
  // The seek to a start time lands on a key frame before it. Timestamps count
  // from the requested start, so decoded data before it lies below zero and
  // is left out; copied packets keep it, as a copy must begin at a key frame.
  if (ist.decoding_needed && FConvertOptions.StartTime() > 0 && !FConvertOptions.CopyTS() &&
      ist.pts < 0) {
    return false;
  }
  return TempStartTime == 0 || ist.pts >= TempStartTime;
}

// The end of the requested span in `time_base` units (INT64_MAX: no end).
// Every stream stops there, not only the loop, so that the streams of an
// output end together however the encoders delay their packets.
int64_t TAVConverter::RecordingLimit(AVRational time_base) const {
  const int64_t recording = FConvertOptions.RecordingTime();
  if (recording == MaxInt64) return INT64_MAX;
  return av_rescale_q(recording, AV_TIME_BASE_Q, time_base);
}

void TAVConverter::EmulateRate(const TInputStreamState& ist) const {
  if (!FConvertOptions.RateEmu()) return;
  const int64_t elapsed = av_gettime() - ist.start;
  if (ist.pts > elapsed) {
    std::this_thread::sleep_for(std::chrono::milliseconds((ist.pts - elapsed) / 1000));
  }
}

// The duration of one frame of a video stream (µs).
static int64_t VideoFrameDuration(const TInputStreamState& ist, const AVPacket* pkt) {
  if (pkt != nullptr && pkt->duration > 0) {
    return av_rescale_q(pkt->duration, ist.st->time_base, AV_TIME_BASE_Q);
  }
  AVRational rate = ist.st->r_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = ist.st->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) return 0;
  return av_rescale_q(1, av_inv_q(rate), AV_TIME_BASE_Q);
}

int TAVConverter::ProcessInputPacket(TInputStreamState& ist, const AVPacket* pkt) {
  if (ist.next_pts == AV_NOPTS_VALUE) ist.next_pts = ist.pts;
  if (pkt != nullptr && pkt->dts != AV_NOPTS_VALUE) {
    ist.next_pts = ist.pts = av_rescale_q(pkt->dts, ist.st->time_base, AV_TIME_BASE_Q);
  }
  if (!ist.decoding_needed) {
    if (pkt == nullptr) return 0;
    ist.pts = ist.next_pts;
    const AVCodecParameters* par = ist.st->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0) {
      ist.next_pts += static_cast<int64_t>(1000000) * par->frame_size / par->sample_rate;
    } else if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      ist.next_pts += VideoFrameDuration(ist, pkt);
    }
    EmulateRate(ist);
    if (!ReachedStartTime(ist)) return 0;
    for (auto& ost : run_->transcode->output_streams) {
      if (ost->source_index == SourceIndex(ist) && !ost->encoding_needed) {
        StreamCopyPacket(*ost, ist, pkt);
      }
    }
    return 0;
  }
  int result = 0;
  switch (ist.dec->codec_type) {
    case AVMEDIA_TYPE_AUDIO: result = DecodeAudio(ist, pkt); break;
    case AVMEDIA_TYPE_VIDEO: result = DecodeVideo(ist, pkt); break;
    case AVMEDIA_TYPE_SUBTITLE: result = DecodeSubtitle(ist, pkt); break;
    default: break;
  }
  if (pkt == nullptr) FlushEncoders(ist);
  return result;
}

int TAVConverter::SourceIndex(const TInputStreamState& ist) const {
  return run_->transcode->files[ist.file_index].ist_index + ist.index;
}

// Sends `pkt` (nullptr: end of input) and hands every decoded frame to `use`.
// -1 when decoding failed.
template <class F>
static int DecodeFrames(AVCodecContext* dec, const AVPacket* pkt, AVFrame* frame, F use) {
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

int TAVConverter::DecodeAudio(TInputStreamState& ist, const AVPacket* pkt) {
  return DecodeFrames(ist.dec, pkt, ist.frame.get(), [&](AVFrame* frame) {
    ist.pts = ist.next_pts;
    if (frame->sample_rate > 0) {
      ist.next_pts += static_cast<int64_t>(1000000) * frame->nb_samples / frame->sample_rate;
    }
    ApplyVolume(frame, FConvertOptions.AudioOptions().AudioVolume());
    EmulateRate(ist);
    if (!ReachedStartTime(ist)) return;
    for (auto& ost : run_->transcode->output_streams) {
      if (ost->source_index == SourceIndex(ist) && ost->encoding_needed) {
        DoAudioOut(*ost, ist, frame);
      }
    }
  });
}

int TAVConverter::DecodeVideo(TInputStreamState& ist, const AVPacket* pkt) {
  const int result = DecodeFrames(ist.dec, pkt, ist.frame.get(), [&](AVFrame* frame) {
    if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
      ist.pts = av_rescale_q(frame->best_effort_timestamp, ist.st->time_base, AV_TIME_BASE_Q);
    } else {
      ist.pts = ist.next_pts;
    }
    const int64_t duration = frame->pkt_duration > 0
                                 ? av_rescale_q(frame->pkt_duration, ist.st->time_base, AV_TIME_BASE_Q)
                                 : VideoFrameDuration(ist, nullptr);
    ist.next_pts = ist.pts + duration;
    ist.quality = static_cast<float>(frame->quality);
    EmulateRate(ist);
    if (!ReachedStartTime(ist)) return;
    for (auto& ost : run_->transcode->output_streams) {
      if (ost->source_index == SourceIndex(ist) && ost->encoding_needed) {
        FilterVideoFrame(*ost, ist, frame);
      }
    }
  });
  if (pkt == nullptr) {
    for (auto& ost : run_->transcode->output_streams) {
      if (ost->source_index == SourceIndex(ist) && ost->encoding_needed) {
        FilterVideoFrame(*ost, ist, nullptr);
      }
    }
  }
  return result;
}

int TAVConverter::DecodeSubtitle(TInputStreamState& ist, const AVPacket* pkt) {
  AVPacket empty{};
  const AVPacket* input = pkt;
  if (input == nullptr) {
    if (!(ist.dec->codec->capabilities & AV_CODEC_CAP_DELAY)) return 0;
    input = &empty;
  }
  AVSubtitle subtitle{};
  int got = 0;
  if (avcodec_decode_subtitle2(ist.dec, &subtitle, &got, const_cast<AVPacket*>(input)) < 0) return -1;
  if (!got) return 0;
  struct TSubtitleFree {
    AVSubtitle* s;
    ~TSubtitleFree() { avsubtitle_free(s); }
  } release{&subtitle};
  const int64_t packet_pts = pkt != nullptr ? pkt->pts : AV_NOPTS_VALUE;
  EmulateRate(ist);
  if (!ReachedStartTime(ist)) return 0;
  for (auto& ost : run_->transcode->output_streams) {
    if (ost->source_index == SourceIndex(ist) && ost->encoding_needed) {
      OutputSubtitle(*ost, ist, subtitle, packet_pts);
    }
  }
  return 0;
}

void TAVConverter::StreamCopyPacket(TOutputStreamState& ost, TInputStreamState& ist,
                                    const AVPacket* in) {
  const AVRational tb = ost.packet_time_base;
  const int64_t start = av_rescale_q(TempStartTime, AV_TIME_BASE_Q, tb);
  if (ost.frame_number == 0 && !(in->flags & AV_PKT_FLAG_KEY) &&
      !FConvertOptions.CopyInitialNonkeyframes()) {
    return;
  }
  if (ost.enc->codec_type == AVMEDIA_TYPE_AUDIO) {
    FConvertOptions.SetAudioSize(FConvertOptions.AudioSize() + in->size);
  }
  AVPacket* out = run_->transcode->out_packet.get();
  if (av_packet_ref(out, in) < 0) throw EAVError("Out of memory");
  out->stream_index = ost.index;
  out->pts = in->pts != AV_NOPTS_VALUE ? av_rescale_q(in->pts, ist.st->time_base, tb) - start
                                       : AV_NOPTS_VALUE;
  out->dts = (in->dts != AV_NOPTS_VALUE ? av_rescale_q(in->dts, ist.st->time_base, tb)
                                        : av_rescale_q(ist.pts, AV_TIME_BASE_Q, tb)) -
             start;
  out->duration = av_rescale_q(in->duration, ist.st->time_base, tb);
  out->time_base = tb;
  if (out->dts != AV_NOPTS_VALUE && out->dts >= RecordingLimit(tb)) {
    av_packet_unref(out);
    return;
  }
  WritePacket(ost, out);
  ++ost.frame_number;
}

void TAVConverter::WritePacket(TOutputStreamState& ost, AVPacket* pkt) {
  pkt->stream_index = ost.index;
  FilterAndMux(ost, 0, pkt, ost.packet_time_base);
  av_packet_unref(pkt);
}

// Passes `pkt` (timestamps in `tb`) through the stream's filters from
// `filter` on, then to the muxer. A filter that fails leaves the packet as it was.
void TAVConverter::FilterAndMux(TOutputStreamState& ost, size_t filter, AVPacket* pkt, AVRational tb) {
  TBitstreamFilterChain& chain = *ost.bitstream_filters;
  if (filter == chain.size()) {
    Mux(ost, pkt, tb);
    return;
  }
  AVBSFContext* bsf = chain[filter].get();
  PacketPtr input(av_packet_alloc());
  if (!input || av_packet_ref(input.get(), pkt) < 0) throw EAVError("Out of memory");
  if (av_bsf_send_packet(bsf, input.get()) < 0) {
    FilterAndMux(ost, filter + 1, pkt, tb);
    return;
  }
  PacketPtr output(av_packet_alloc());
  if (!output) throw EAVError("Out of memory");
  while (av_bsf_receive_packet(bsf, output.get()) == 0) {
    output->stream_index = ost.index;
    FilterAndMux(ost, filter + 1, output.get(), bsf->time_base_out);
    av_packet_unref(output.get());
  }
}

void TAVConverter::Mux(TOutputStreamState& ost, AVPacket* pkt, AVRational tb) {
  av_packet_rescale_ts(pkt, tb, ost.st->time_base);
  KeepDecodeTimesIncreasing(ost, pkt);
  const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
  if (ts != AV_NOPTS_VALUE) {
    const double end = static_cast<double>(ts + std::max<int64_t>(pkt->duration, 0)) *
                       av_q2d(ost.st->time_base);
    ost.position = std::max(ost.position, end);
  }
  ++ost.muxed_packets;
  // The muxer takes the packet's reference and leaves it blank.
  if (av_interleaved_write_frame(run_->output_files[ost.file_index].ctx.get(), pkt) < 0) {
    throw EAVError("av_interleaved_write_frame() ");
  }
}

// Sources with a glitch in their timestamps (two packets of one time, a step
// back) would make the muxer refuse the packet and end the conversion; the
// packet is moved just after its predecessor instead, as players expect.
void TAVConverter::KeepDecodeTimesIncreasing(TOutputStreamState& ost, AVPacket* pkt) {
  const AVFormatContext* ctx = run_->output_files[ost.file_index].ctx.get();
  if (ctx->oformat->flags & AVFMT_NOTIMESTAMPS) return;
  if (pkt->dts == AV_NOPTS_VALUE) {
    if (pkt->pts != AV_NOPTS_VALUE && ost.st->codecpar->video_delay == 0) pkt->dts = pkt->pts;
    if (pkt->dts == AV_NOPTS_VALUE) return;
  }
  const bool strict = !(ctx->oformat->flags & AVFMT_TS_NONSTRICT);
  if (ost.last_dts != AV_NOPTS_VALUE &&
      (pkt->dts < ost.last_dts || (strict && pkt->dts == ost.last_dts))) {
    const int64_t moved = ost.last_dts + (strict ? 1 : 0);
    DoLog(AV_LOG_WARNING, fmt::format("Output stream #{}.{}: decode time {} follows {}; moved to {}\n",
                                      ost.file_index, ost.index, pkt->dts, ost.last_dts, moved));
    if (pkt->pts != AV_NOPTS_VALUE && pkt->pts >= pkt->dts) pkt->pts += moved - pkt->dts;
    pkt->dts = moved;
  }
  ost.last_dts = pkt->dts;
}

void TAVConverter::ReportProgress(bool last) {
  if (!last) {
    const int64_t now = av_gettime();
    if (last_time == 0) {
      last_time = now;
      return;
    }
    if (now - last_time < kProgressReportUs) return;
    last_time = now;
  } else {
    last_time = av_gettime();
  }
  AVIOContext* out = run_->output_files[0].ctx->pb;
  int64_t target = 0;
  if (out != nullptr) {
    target = avio_size(out);
    if (target < 0) target = avio_tell(out);
  }
  FTargetFileSize = target;
  if (!run_->input_files.empty() && run_->input_files[0].ctx->pb != nullptr) {
    FSourceFileSize = std::max<int64_t>(avio_size(run_->input_files[0].ctx->pb), 0);
  }
  double t = 1e10;
  for (const auto& ost : run_->transcode->output_streams) {
    if (ost->position > 0 && ost->position < t) t = ost->position;
  }
  if (t < 0.01) t = 0.01;
  FBitrate = static_cast<double>(target) * 8 / t / 1000;
}

void TAVConverter::FlushEncoders(TInputStreamState& ist) {
  for (auto& ost : run_->transcode->output_streams) {
    if (ost->source_index != SourceIndex(ist) || !ost->encoding_needed) continue;
    switch (ost->enc->codec_type) {
      case AVMEDIA_TYPE_AUDIO: FlushAudio(*ost); break;
      case AVMEDIA_TYPE_VIDEO: EncodeVideoFrame(*ost, nullptr); break;
      default: break;
    }
  }
}

void TAVConverter::FinishTranscode() {
  TTranscodeState& t = *run_->transcode;
  for (auto& ist : t.input_streams) {
    if (ist->decoding_needed) ProcessInputPacket(*ist, nullptr);
  }
  for (TOutputFile& file : run_->output_files) {
    if (av_write_trailer(file.ctx.get()) < 0) {
      throw EAVError("Could not write the end of output file " + std::string(file.ctx->url));
    }
  }
  ReportProgress(true);
  HandOverProgress(true);
  // A run that was not stopped and wrote nothing at all did not convert
  // anything (an unreadable source, a start beyond its end): not a success.
  bool wrote = false;
  for (const auto& ost : t.output_streams) wrote |= ost->muxed_packets > 0;
  if (!wrote && FState != csStopped) throw EAVError("The source gave nothing to convert");
  for (auto& ost : t.output_streams) {
    if (ost->encoding_needed) av_freep(&ost->enc->stats_in);
  }
}

}  // namespace veltrano
