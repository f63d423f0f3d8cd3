// What every output path shares (its record, its output file, the packet it
// writes), and the copy path: the source's packets re-timed as they are.
#include "engine/OutputPath.h"

#include "converter/AVError.h"

namespace veltrano {

TTranscodeState::TTranscodeState() = default;
TTranscodeState::~TTranscodeState() = default;

TOutputPath::TOutputPath(std::unique_ptr<TOutputStreamState> stream, TOutputFile& file,
                         const TRunContext& context)
    : stream_(std::move(stream)),
      ost_(*stream_),
      file_(file),
      context_(context),
      packet_(av_packet_alloc()) {
  if (!packet_) throw EAVError("Out of memory");
}

TOutputPath::~TOutputPath() = default;

void TOutputPath::SendPacket(const TInputStreamState&, const AVPacket*) {}

void TOutputPath::SendFrame(TInputStreamState&, TDecoded&) {}

void TOutputPath::Finish() {
  if (ost_.finished) return;
  ost_.finished = true;
  Flush();
}

double TOutputPath::Position() const {
  return file_.muxed[ost_.index].position;
}

void TOutputPath::Write(AVPacket* pkt) {
  file_.WritePacket(ost_.index, pkt, ost_.packet_time_base);
}

void TOutputPath::EncodingFailed(const char* kind, int error) const {
  throw EAVError(
      WithReason(std::string(kind) + " encoding failed for", file_.name, AvErrorText(error)));
}

double TOutputPath::SyncInputSeconds() const {
  return static_cast<double>(ost_.sync_ist->pts) / 1000000.0;
}

void TCopyPath::SendPacket(const TInputStreamState& ist, const AVPacket* in) {
  const AVRational tb = ost_.packet_time_base;
  if (ost_.finished) return;
  if (ost_.frame_number == 0 && !(in->flags & AV_PKT_FLAG_KEY) &&
      !context_.Options().CopyInitialNonkeyframes()) {
    return;
  }
  if (ost_.enc->codec_type == AVMEDIA_TYPE_AUDIO) context_.Figures().audio_size += in->size;
  AVPacket* out = packet_.get();
  if (av_packet_ref(out, in) < 0) throw EAVError("Out of memory");
  out->stream_index = ost_.index;
  out->pts =
      in->pts != AV_NOPTS_VALUE ? av_rescale_q(in->pts, ist.st->time_base, tb) : AV_NOPTS_VALUE;
  out->dts = in->dts != AV_NOPTS_VALUE ? av_rescale_q(in->dts, ist.st->time_base, tb)
                                       : av_rescale_q(ist.pts, AV_TIME_BASE_Q, tb);
  out->duration = av_rescale_q(in->duration, ist.st->time_base, tb);
  out->time_base = tb;
  if (out->dts != AV_NOPTS_VALUE && out->dts >= context_.RecordingLimit(tb)) {
    av_packet_unref(out);
    ost_.finished = true;  // copied packets come in decode order: the span is written
    return;
  }
  Write(out);
  ++ost_.frame_number;
}

}  // namespace veltrano
