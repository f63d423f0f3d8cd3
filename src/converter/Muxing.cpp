// The writing side of the packet path: headers, each stream's bitstream
// filter chain, the repair of decode times that do not increase, the
// interleaving muxer, and the trailers. Write failures name the output and
// the system's reason (a full disk says "No space left on device").
#include <fmt/format.h>

#include <algorithm>

#include "converter/AVError.h"
#include "engine/ConverterEngine.h"
#include "engine/OutputChoices.h"
#include "engine/RunState.h"
#include "engine/TranscodeState.h"

namespace veltrano {

void TConverterEngine::WriteHeaders() {
  for (auto& ost : run_->transcode->output_streams) InitBitstreamFilters(*ost);
  for (TOutputFile& file : run_->output_files) {
    // Options no generic class knows may belong to the muxer (muxrate, ...).
    for (const auto& [name, value] : run_->private_codec_options) {
      if (MuxerHasOption(file.ctx->oformat, name.c_str())) file.muxer_options.Set(name, value);
    }
    Dictionary options = file.muxer_options;
    const int written = avformat_write_header(file.ctx.get(), options.get());
    if (written < 0) {
      throw EAVError(
          WithReason("Could not write header for output file  (incorrect codec parameters ?)",
                     file.name, AvErrorText(written)));
    }
    file.header_written = true;
  }
}

void TConverterEngine::InitBitstreamFilters(TOutputStreamState& ost) {
  AVRational tb = ost.packet_time_base;
  for (BsfContextPtr& bsf : *ost.bitstream_filters) {
    if (avcodec_parameters_copy(bsf->par_in, ost.st->codecpar) < 0) throw EAVError("Out of memory");
    bsf->time_base_in = tb;
    if (av_bsf_init(bsf.get()) < 0) {
      throw EAVError(std::string("Error initializing bitstream filter: ") + bsf->filter->name);
    }
    tb = bsf->time_base_out;
    if (avcodec_parameters_copy(ost.st->codecpar, bsf->par_out) < 0)
      throw EAVError("Out of memory");
  }
  ost.st->time_base = tb;
}

void TConverterEngine::WritePacket(TOutputStreamState& ost, AVPacket* pkt) {
  pkt->stream_index = ost.index;
  FilterAndMux(ost, 0, pkt, ost.packet_time_base);
  av_packet_unref(pkt);
}

// Passes `pkt` (timestamps in `tb`) through the stream's filters from
// `filter` on, then to the muxer. A filter that fails leaves the packet as it was.
void TConverterEngine::FilterAndMux(TOutputStreamState& ost, size_t filter, AVPacket* pkt,
                                    AVRational tb) {
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

void TConverterEngine::Mux(TOutputStreamState& ost, AVPacket* pkt, AVRational tb) {
  av_packet_rescale_ts(pkt, tb, ost.st->time_base);
  KeepDecodeTimesIncreasing(ost, pkt);
  const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
  if (ts != AV_NOPTS_VALUE) {
    const double end =
        static_cast<double>(ts + std::max<int64_t>(pkt->duration, 0)) * av_q2d(ost.st->time_base);
    ost.position = std::max(ost.position, end);
  }
  ++ost.muxed_packets;
  // The muxer takes the packet's reference and leaves it blank.
  TOutputFile& file = run_->output_files[ost.file_index];
  const int written = av_interleaved_write_frame(file.ctx.get(), pkt);
  if (written < 0) {
    throw EAVError(WithReason("av_interleaved_write_frame() ", file.name, AvErrorText(written)));
  }
}

// Sources with a glitch in their timestamps (two packets of one time, a step
// back) would make the muxer refuse the packet and end the conversion; the
// packet is moved just after its predecessor instead, as players expect.
void TConverterEngine::KeepDecodeTimesIncreasing(TOutputStreamState& ost, AVPacket* pkt) {
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
    DoLog(AV_LOG_WARNING,
          fmt::format("Output stream #{}.{}: decode time {} follows {}; moved to {}\n",
                      ost.file_index, ost.index, pkt->dts, ost.last_dts, moved));
    if (pkt->pts != AV_NOPTS_VALUE && pkt->pts >= pkt->dts) pkt->pts += moved - pkt->dts;
    pkt->dts = moved;
  }
  ost.last_dts = pkt->dts;
}

void TConverterEngine::WriteTrailers() {
  for (TOutputFile& file : run_->output_files) {
    if (!file.header_written) continue;
    int written = av_write_trailer(file.ctx.get());
    if (written >= 0 && file.ctx->pb != nullptr) {
      avio_flush(file.ctx->pb);
      written = file.ctx->pb->error;
    }
    if (written < 0) {
      throw EAVError(
          WithReason("Could not write the end of output file", file.name, AvErrorText(written)));
    }
  }
}

}  // namespace veltrano
