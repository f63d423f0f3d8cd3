// The writing side of the packet path: headers, each stream's bitstream
// filter chain, the repair of decode times that do not increase, the
// interleaving muxer, and the trailers. Write failures name the output and
// the system's reason (a full disk says "No space left on device").
#include "engine/OutputFile.h"

#include <fmt/format.h>

#include <algorithm>

#include "converter/AVError.h"
#include "engine/OutputChoices.h"
#include "engine/RunContext.h"

namespace veltrano {

void TOutputFile::InitBitstreamFilters(int stream, AVRational packet_time_base) {
  AVStream* st = ctx->streams[stream];
  AVRational tb = packet_time_base;
  for (BsfContextPtr& bsf : muxed[stream].filters) {
    if (avcodec_parameters_copy(bsf->par_in, st->codecpar) < 0) throw EAVError("Out of memory");
    bsf->time_base_in = tb;
    if (av_bsf_init(bsf.get()) < 0) {
      throw EAVError(std::string("Error initializing bitstream filter: ") + bsf->filter->name);
    }
    tb = bsf->time_base_out;
    if (avcodec_parameters_copy(st->codecpar, bsf->par_out) < 0) throw EAVError("Out of memory");
  }
  st->time_base = tb;
}

void TOutputFile::WriteHeader(
    const std::vector<std::pair<std::string, std::string>>& private_options) {
  // Options no generic class knows may belong to the muxer (muxrate, ...).
  for (const auto& [option, value] : private_options) {
    if (MuxerHasOption(ctx->oformat, option.c_str())) muxer_options.Set(option, value);
  }
  Dictionary options = muxer_options;
  const int written = avformat_write_header(ctx.get(), options.get());
  if (written < 0) {
    throw EAVError(
        WithReason("Could not write header for output file  (incorrect codec parameters ?)", name,
                   AvErrorText(written)));
  }
  header_written = true;
}

void TOutputFile::WritePacket(int stream, AVPacket* pkt, AVRational time_base) {
  pkt->stream_index = stream;
  FilterAndMux(stream, 0, pkt, time_base);
  av_packet_unref(pkt);
}

// Passes `pkt` (timestamps in `tb`) through the stream's filters from
// `filter` on, then to the muxer. A filter that fails leaves the packet as it was.
void TOutputFile::FilterAndMux(int stream, size_t filter, AVPacket* pkt, AVRational tb) {
  TBitstreamFilterChain& chain = muxed[stream].filters;
  if (filter == chain.size()) {
    Mux(stream, pkt, tb);
    return;
  }
  AVBSFContext* bsf = chain[filter].get();
  PacketPtr input(av_packet_alloc());
  if (!input || av_packet_ref(input.get(), pkt) < 0) throw EAVError("Out of memory");
  if (av_bsf_send_packet(bsf, input.get()) < 0) {
    FilterAndMux(stream, filter + 1, pkt, tb);
    return;
  }
  PacketPtr output(av_packet_alloc());
  if (!output) throw EAVError("Out of memory");
  while (av_bsf_receive_packet(bsf, output.get()) == 0) {
    output->stream_index = stream;
    FilterAndMux(stream, filter + 1, output.get(), bsf->time_base_out);
    av_packet_unref(output.get());
  }
}

void TOutputFile::Mux(int stream, AVPacket* pkt, AVRational tb) {
  const AVStream* st = ctx->streams[stream];
  TMuxedStream& record = muxed[stream];
  av_packet_rescale_ts(pkt, tb, st->time_base);
  KeepDecodeTimesIncreasing(stream, pkt);
  const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
  if (ts != AV_NOPTS_VALUE) {
    const double end =
        static_cast<double>(ts + std::max<int64_t>(pkt->duration, 0)) * av_q2d(st->time_base);
    record.position = std::max(record.position, end);
  }
  ++record.packets;
  // The muxer takes the packet's reference and leaves it blank.
  const int written = av_interleaved_write_frame(ctx.get(), pkt);
  if (written < 0) {
    throw EAVError(WithReason("av_interleaved_write_frame() ", name, AvErrorText(written)));
  }
}

// Sources with a glitch in their timestamps (two packets of one time, a step
// back) would make the muxer refuse the packet and end the conversion; the
// packet is moved just after its predecessor instead, as players expect.
void TOutputFile::KeepDecodeTimesIncreasing(int stream, AVPacket* pkt) {
  if (ctx->oformat->flags & AVFMT_NOTIMESTAMPS) return;
  if (pkt->dts == AV_NOPTS_VALUE) {
    if (pkt->pts != AV_NOPTS_VALUE && ctx->streams[stream]->codecpar->video_delay == 0) {
      pkt->dts = pkt->pts;
    }
    if (pkt->dts == AV_NOPTS_VALUE) return;
  }
  int64_t& last_dts = muxed[stream].last_dts;
  const bool strict = !(ctx->oformat->flags & AVFMT_TS_NONSTRICT);
  if (last_dts != AV_NOPTS_VALUE && (pkt->dts < last_dts || (strict && pkt->dts == last_dts))) {
    const int64_t moved = last_dts + (strict ? 1 : 0);
    if (context != nullptr) {
      context->Log(AV_LOG_WARNING,
                   fmt::format("Output stream #{}.{}: decode time {} follows {}; moved to {}\n",
                               index, stream, pkt->dts, last_dts, moved));
    }
    if (pkt->pts != AV_NOPTS_VALUE && pkt->pts >= pkt->dts) pkt->pts += moved - pkt->dts;
    pkt->dts = moved;
  }
  last_dts = pkt->dts;
}

void TOutputFile::WriteTrailer() {
  if (!header_written) return;
  int written = av_write_trailer(ctx.get());
  if (written >= 0 && ctx->pb != nullptr) {
    avio_flush(ctx->pb);
    written = ctx->pb->error;
  }
  if (written < 0) {
    throw EAVError(
        WithReason("Could not write the end of output file", name, AvErrorText(written)));
  }
}

}  // namespace veltrano
