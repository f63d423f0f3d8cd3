// The main loop: choosing the input that is furthest behind, reading,
// timestamp correction, handing each packet to its stream's decoding path
// (AudioPath.cpp, VideoPath.cpp, SubtitlePath.cpp) or copying it, progress,
// and draining the decoders at the end.
#include <fmt/printf.h>

#include <chrono>
#include <cmath>
#include <thread>

extern "C" {
#include <libavutil/time.h>
}

#include "converter/AVError.h"
#include "converter/MessageBoxes.h"
#include "engine/ConverterEngine.h"
#include "engine/RunState.h"
#include "engine/TranscodeState.h"

namespace veltrano {

namespace {

constexpr int64_t kProgressHandOverUs = 100000;  // at most ten OnProgress a second
constexpr int64_t kProgressReportUs = 500000;    // figures refreshed twice a second

}  // namespace

void TConverterEngine::HandOverProgress(bool force) {
  TTranscodeState& t = *run_->transcode;
  const int64_t now = av_gettime_relative();
  if (!force && now - t.last_progress_handover < kProgressHandOverUs) return;
  t.last_progress_handover = now;
  // One at a time: the handler reads the figures as they are when it runs.
  if (progress_queued_.exchange(true)) return;
  PostToUiThread([this] {
    progress_queued_ = false;
    if (!FOnProgress) return;
    try {
      FOnProgress(owner_);
    } catch (const std::exception& e) {
      ShowErrorBox(e.what());
    }
  });
}

void TConverterEngine::WaitWhilePaused() {
  if (FState != csPaused) return;
  std::unique_lock lock(state_mutex_);
  state_changed_.wait(lock, [this] { return FState != csPaused; });
}

// The input file whose streams are furthest behind, or -1 when there is
// nothing more to read: every stream is finished (subtitles, which may never
// come again, do not keep the loop going once the others are).
int TConverterEngine::ChooseInputFile(double& opts_min) {
  TTranscodeState& t = *run_->transcode;
  EndGeneratedInputs();
  double ipts_min = 1e100;
  opts_min = 1e100;
  int file = -1;
  const bool input_sync = FConvertOptions.GrabOptions().InputSync();
  bool pictures_or_sound = false;
  bool pictures_or_sound_left = false;
  for (const auto& ost : t.output_streams) {
    if (ost->enc->codec_type != AVMEDIA_TYPE_SUBTITLE) {
      pictures_or_sound = true;
      pictures_or_sound_left |= !ost->finished;
    }
  }
  if (pictures_or_sound && !pictures_or_sound_left) return -1;
  for (const auto& ost : t.output_streams) {
    const TInputStreamState& ist = *t.input_streams[ost->source_index];
    if (ost->finished || t.no_packet[ist.file_index]) continue;
    const double opts = Position(*ost);
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

// True when every output stream that `ist` feeds is finished: its packets
// need neither decoding nor copying any more.
bool TConverterEngine::AllOutputsFinished(const TInputStreamState& ist) const {
  bool fed = false;
  for (const auto& ost : run_->transcode->output_streams) {
    if (ost->source_index != SourceIndex(ist)) continue;
    fed = true;
    if (!ost->finished) return false;
  }
  return fed;
}

// Handles a failed read of input `file`: the real end of the input ends it
// (true: the loop goes on); any other error, or an end that comes before the
// bytes the file had when it was opened, ends the run with the reason.
bool TConverterEngine::ReadFailed(int file, int error) {
  TInputFile& input = run_->input_files[file];
  const std::string& name = FInputFiles[file];
  AVIOContext* pb = input.ctx->pb;
  if (error == AVERROR_EOF && pb != nullptr && pb->error < 0) error = pb->error;
  if (error != AVERROR_EOF) {
    throw EAVError(WithReason("Error while reading input", name, AvErrorText(error)));
  }
  if (input.size_at_open > 0 && pb != nullptr) {
    const int64_t size_now = avio_size(pb);
    if (size_now >= 0 && size_now < input.size_at_open) {
      throw EAVError(
          WithReason("Error while reading input", name,
                     fmt::format("the file was cut short while it was read ({} of {} bytes)",
                                 size_now, input.size_at_open)));
    }
  }
  run_->transcode->files[file].eof_reached = true;
  return !FConvertOptions.ShortTest();
}

void TConverterEngine::MainLoop() {
  TTranscodeState& t = *run_->transcode;
  AVPacket* pkt = t.packet.get();
  int no_packet_count = 0;
  while (true) {
    HandOverProgress(false);
    if (StopRequested()) break;
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
      if (!ReadFailed(file, ret)) break;
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
    if (AllOutputsFinished(ist)) {
      av_packet_unref(pkt);
      continue;
    }
    CorrectTimestamps(ist, pkt);
    const int result = ProcessInputPacket(ist, pkt);
    av_packet_unref(pkt);
    if (result >= 0) ReportProgress(false);
  }
}

void TConverterEngine::CorrectTimestamps(TInputStreamState& ist, AVPacket* pkt) {
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

bool TConverterEngine::ReachedStartTime(const TInputStreamState& ist) const {
  // The seek to a start time lands on a key frame before it. Timestamps count
  // from the requested start, so decoded data before it lies below zero and
  // is left out; copied packets keep it, as a copy must begin at a key frame.
  if (ist.decoding_needed && FConvertOptions.StartTime() > 0 && !FConvertOptions.CopyTS() &&
      ist.pts < 0) {
    return false;
  }
  return true;
}

void TConverterEngine::WritePacket(TOutputStreamState& ost, AVPacket* pkt) {
  run_->output_files[ost.file_index].WritePacket(ost.index, pkt, ost.packet_time_base);
}

double TConverterEngine::Position(const TOutputStreamState& ost) const {
  return run_->output_files[ost.file_index].muxed[ost.index].position;
}

void TConverterEngine::EmulateRate(const TInputStreamState& ist) const {
  if (!FConvertOptions.RateEmu()) return;
  const int64_t elapsed = av_gettime() - ist.start;
  if (ist.pts > elapsed) {
    std::this_thread::sleep_for(std::chrono::milliseconds((ist.pts - elapsed) / 1000));
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

int TConverterEngine::ProcessInputPacket(TInputStreamState& ist, const AVPacket* pkt) {
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
  if (pkt == nullptr) {
    for (auto& ost : run_->transcode->output_streams) {
      if (ost->source_index == SourceIndex(ist) && ost->encoding_needed) FinishStream(*ost);
    }
  }
  return result;
}

int TConverterEngine::SourceIndex(const TInputStreamState& ist) const {
  return run_->transcode->files[ist.file_index].ist_index + ist.index;
}

void TConverterEngine::StreamCopyPacket(TOutputStreamState& ost, TInputStreamState& ist,
                                        const AVPacket* in) {
  const AVRational tb = ost.packet_time_base;
  if (ost.finished) return;
  if (ost.frame_number == 0 && !(in->flags & AV_PKT_FLAG_KEY) &&
      !FConvertOptions.CopyInitialNonkeyframes()) {
    return;
  }
  if (ost.enc->codec_type == AVMEDIA_TYPE_AUDIO) {
    context_.Figures().audio_size += in->size;
  }
  AVPacket* out = run_->transcode->out_packet.get();
  if (av_packet_ref(out, in) < 0) throw EAVError("Out of memory");
  out->stream_index = ost.index;
  out->pts =
      in->pts != AV_NOPTS_VALUE ? av_rescale_q(in->pts, ist.st->time_base, tb) : AV_NOPTS_VALUE;
  out->dts = in->dts != AV_NOPTS_VALUE ? av_rescale_q(in->dts, ist.st->time_base, tb)
                                       : av_rescale_q(ist.pts, AV_TIME_BASE_Q, tb);
  out->duration = av_rescale_q(in->duration, ist.st->time_base, tb);
  out->time_base = tb;
  if (out->dts != AV_NOPTS_VALUE && out->dts >= context_.RecordingLimit(tb)) {
    av_packet_unref(out);
    ost.finished = true;  // copied packets come in decode order: the span is written
    return;
  }
  WritePacket(ost, out);
  ++ost.frame_number;
}

void TConverterEngine::ReportProgress(bool last) {
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
    if (Position(*ost) > 0 && Position(*ost) < t) t = Position(*ost);
  }
  if (t < 0.01) t = 0.01;
  FBitrate = static_cast<double>(target) * 8 / t / 1000;
}

void TConverterEngine::FlushDecoders() {
  for (auto& ist : run_->transcode->input_streams) {
    if (StopRequested()) break;
    if (ist->decoding_needed) ProcessInputPacket(*ist, nullptr);
  }
  // A stop leaves streams unflushed above: their encoders still give what they hold.
  for (auto& ost : run_->transcode->output_streams) {
    if (ost->encoding_needed) FinishStream(*ost);
  }
}

void TConverterEngine::FinishStream(TOutputStreamState& ost) {
  if (ost.finished) return;
  ost.finished = true;
  switch (ost.enc->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      FlushAudio(ost);
      break;
    case AVMEDIA_TYPE_VIDEO:
      FlushVideo(ost);
      break;
    default:
      break;
  }
}

}  // namespace veltrano
