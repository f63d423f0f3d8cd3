// The video path: decoding, the per-stream filter graph (deinterlace, crop,
// scale, the user's filters, conversion to the encoder's pixel format), the
// frame-rate sync that drops or duplicates pictures, video encoding with
// two-pass statistics, and the flush at the end of the input or the span.
#include <fmt/format.h>
#include <fmt/printf.h>

#include <cmath>
#include <cstring>
#include <limits>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "converter/AVError.h"
#include "converter/FilterEntries.h"
#include "engine/ConverterEngine.h"
#include "engine/RunState.h"
#include "engine/TranscodeState.h"

namespace veltrano {

namespace {

// Links `from` output 0 to `to` input 0 and returns `to`; nullptr on failure.
AVFilterContext* Link(AVFilterContext* from, AVFilterContext* to) {
  if (from == nullptr || to == nullptr) return nullptr;
  return avfilter_link(from, 0, to, 0) < 0 ? nullptr : to;
}

AVFilterContext* AddFilter(AVFilterGraph* graph, const char* name, const std::string& args) {
  AVFilterContext* ctx = nullptr;
  if (avfilter_graph_create_filter(&ctx, avfilter_get_by_name(name), nullptr, args.c_str(),
                                   nullptr, graph) < 0) {
    return nullptr;
  }
  return ctx;
}

// Frees the in/out label lists of a graph description.
struct TInOutFree {
  AVFilterInOut* list = nullptr;
  ~TInOutFree() { avfilter_inout_free(&list); }
};

}  // namespace

// The graph's two ends: a buffer source taking the decoder's pictures and a
// sink giving the encoder's pixel format.
int TConverterEngine::CreateVideoGraphEnds(const AVCodecContext* dec, TOutputStreamState& ost) {
  AVFilterGraph* graph = ost.video.graph.get();
  const AVRational sar = dec->sample_aspect_ratio.num != 0 ? dec->sample_aspect_ratio : AVRational{0, 1};
  const std::string source_args =
      fmt::format("video_size={}x{}:pix_fmt={}:time_base=1/{}:pixel_aspect={}/{}", dec->width,
                  dec->height, static_cast<int>(dec->pix_fmt), AV_TIME_BASE, sar.num,
                  std::max(sar.den, 1));
  if (avfilter_graph_create_filter(&ost.video.buffer_source, avfilter_get_by_name("buffer"), "src",
                                   source_args.c_str(), nullptr, graph) < 0 ||
      avfilter_graph_create_filter(&ost.video.buffer_sink, avfilter_get_by_name("buffersink"),
                                   "out", nullptr, nullptr, graph) < 0) {
    return -1;
  }
  const AVPixelFormat sink_formats[] = {ost.enc->pix_fmt, AV_PIX_FMT_NONE};
  if (av_opt_set_int_list(ost.video.buffer_sink, "pix_fmts", sink_formats, AV_PIX_FMT_NONE,
                          AV_OPT_SEARCH_CHILDREN) < 0) {
    return -1;
  }
  return 0;
}

// Deinterlacing, cropping and scaling after the source; the last filter of
// the chain, nullptr when one could not be made.
AVFilterContext* TConverterEngine::LinkVideoFilterChain(const AVCodecContext* dec,
                                                        TOutputStreamState& ost) {
  AVFilterGraph* graph = ost.video.graph.get();
  const AVCodecContext* enc = ost.enc;
  const TVideoOptions& video = FConvertOptions.VideoOptions();
  const int flags = run_->sws_flags;
  graph->scale_sws_opts = av_strdup(fmt::format("flags={}", flags).c_str());

  AVFilterContext* last = ost.video.buffer_source;
  if (video.Deinterlace()) last = Link(last, AddFilter(graph, "yadif", ""));
  const int left = video.FrameLeftBand(), right = video.FrameRightBand();
  const int top = video.FrameTopBand(), bottom = video.FrameBottomBand();
  const int cropped_width = dec->width - left - right;
  const int cropped_height = dec->height - top - bottom;
  if (ost.video.crop) {
    last = Link(last, AddFilter(graph, "crop",
                                fmt::format("w={}:h={}:x={}:y={}", cropped_width, cropped_height,
                                            left, top)));
  }
  if (cropped_width != enc->width || cropped_height != enc->height) {
    last = Link(last, AddFilter(graph, "scale",
                                fmt::format("w={}:h={}:flags={}", enc->width, enc->height, flags)));
  }
  return last;
}

// The user's filters between `last` and the sink, or a plain link.
int TConverterEngine::LinkUserVideoFilters(AVFilterContext* last, TOutputStreamState& ost) {
  AVFilterGraph* graph = ost.video.graph.get();
  const std::string& filters = FConvertOptions.FilterOptions().VideoFilters();
  if (!filters.empty()) {
    // A missing file or an unknown entry fails with its own message.
    const std::string description = TranslateVideoFilters(filters);
    TInOutFree outputs{avfilter_inout_alloc()};
    TInOutFree inputs{avfilter_inout_alloc()};
    if (outputs.list == nullptr || inputs.list == nullptr) return -1;
    outputs.list->name = av_strdup("in");
    outputs.list->filter_ctx = last;
    outputs.list->pad_idx = 0;
    inputs.list->name = av_strdup("out");
    inputs.list->filter_ctx = ost.video.buffer_sink;
    inputs.list->pad_idx = 0;
    if (avfilter_graph_parse_ptr(graph, description.c_str(), &inputs.list, &outputs.list,
                                 nullptr) < 0) {
      return -1;
    }
  } else if (Link(last, ost.video.buffer_sink) == nullptr) {
    return -1;
  }
  return 0;
}

int TConverterEngine::ConfigureVideoFilters(TInputStreamState& ist, TOutputStreamState& ost) {
  const AVCodecContext* dec = ist.dec;
  AVCodecContext* enc = ost.enc;
  ost.video.graph.reset(avfilter_graph_alloc());
  AVFilterGraph* graph = ost.video.graph.get();
  if (graph == nullptr) return -1;
  ost.video.graph_width = dec->width;
  ost.video.graph_height = dec->height;
  ost.video.graph_pix_fmt = dec->pix_fmt;
  if (CreateVideoGraphEnds(dec, ost) < 0) return -1;
  AVFilterContext* last = LinkVideoFilterChain(dec, ost);
  if (last == nullptr || LinkUserVideoFilters(last, ost) < 0) return -1;
  if (avfilter_graph_config(graph, nullptr) < 0) return -1;

  enc->width = av_buffersink_get_w(ost.video.buffer_sink);
  enc->height = av_buffersink_get_h(ost.video.buffer_sink);
  const AVRational out_sar = av_buffersink_get_sample_aspect_ratio(ost.video.buffer_sink);
  if (out_sar.num != 0 && !avcodec_is_open(enc)) {
    enc->sample_aspect_ratio = out_sar;
    ost.st->sample_aspect_ratio = out_sar;
  }
  return 0;
}

void TConverterEngine::FilterVideoFrame(TOutputStreamState& ost, TInputStreamState& ist,
                                        AVFrame* frame) {
  if (frame != nullptr) {
    if (frame->width != ost.video.graph_width || frame->height != ost.video.graph_height ||
        frame->format != ost.video.graph_pix_fmt) {
      if (!ost.video.scale) {
        const char* format = av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame->format));
        throw EAVError(fmt::sprintf("Input Stream #%d.%d frame size changed to %dx%d, %s",
                                    ist.file_index, ist.index, frame->width, frame->height,
                                    format != nullptr ? format : "none"));
      }
      // The scaler takes the new size: the graph is built again for it.
      ist.dec->width = frame->width;
      ist.dec->height = frame->height;
      ist.dec->pix_fmt = static_cast<AVPixelFormat>(frame->format);
      const TVideoOptions& v = FConvertOptions.VideoOptions();
      ost.video.width = frame->width - v.FrameLeftBand() - v.FrameRightBand();
      ost.video.height = frame->height - v.FrameTopBand() - v.FrameBottomBand();
      ost.video.pix_fmt = frame->format;
      const int width = ost.enc->width, height = ost.enc->height;
      if (ConfigureVideoFilters(ist, ost) != 0) throw EAVError("Error opening filters!");
      ost.enc->width = width;
      ost.enc->height = height;
    }
    frame->pts = ist.pts;
    if (av_buffersrc_add_frame_flags(ost.video.buffer_source, frame, AV_BUFFERSRC_FLAG_KEEP_REF) <
        0) {
      throw EAVError("Error while filtering the video");
    }
  } else if (av_buffersrc_add_frame(ost.video.buffer_source, nullptr) < 0) {
    return;
  }
  if (!ost.video.filtered) ost.video.filtered.reset(av_frame_alloc());
  AVFrame* filtered = ost.video.filtered.get();
  if (filtered == nullptr) throw EAVError("Out of memory");
  const AVRational sink_tb = av_buffersink_get_time_base(ost.video.buffer_sink);
  while (true) {
    const int ret = av_buffersink_get_frame(ost.video.buffer_sink, filtered);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) break;
    if (ret < 0) throw EAVError("Error while filtering the video");
    if (filtered->pts != AV_NOPTS_VALUE) {
      ist.pts = av_rescale_q(filtered->pts, sink_tb, AV_TIME_BASE_Q);
    }
    OutputVideoFrame(ost, ist, filtered);
    av_frame_unref(filtered);
  }
}

// How many times the picture goes out under the frame-rate sync: 0 drops
// it, more than 1 duplicates it. A jump of the input time by more than the
// discontinuity threshold is taken out of the sync (and logged) instead of
// being filled with copies or emptied by drops.
int64_t TConverterEngine::VideoFramesToWrite(TOutputStreamState& ost, double sync_ipts) {
  const int method = FConvertOptions.VideoOptions().VideoSyncMethod();
  if (method == 0) {
    ost.sync_opts = std::llrint(sync_ipts);
    return 1;
  }
  double vdelta = sync_ipts - static_cast<double>(ost.sync_opts);
  const double frame_seconds = av_q2d(ost.enc->time_base);
  const double bound = std::max(2.0, FConvertOptions.DtsDeltaThreshold() / frame_seconds);
  if (std::fabs(vdelta) > bound) {
    const int64_t jump = std::llrint(vdelta);
    DoLog(AV_LOG_WARNING,
          fmt::format(
              "Output stream #{}:{}: input time jumps by {:.3f} s; treated as a discontinuity\n",
              ost.file_index, ost.index, static_cast<double>(jump) * frame_seconds));
    ost.video.sync_offset += jump;
    sync_ipts -= static_cast<double>(jump);
    vdelta -= static_cast<double>(jump);
  }
  if (vdelta < -1.1) return 0;
  if (method == 2) {
    if (vdelta <= -0.6) return 0;
    if (vdelta > 0.6) ost.sync_opts = std::llrint(sync_ipts);
    return 1;
  }
  return vdelta > 1.1 ? std::llrint(vdelta) : 1;
}

void TConverterEngine::OutputVideoFrame(TOutputStreamState& ost, TInputStreamState& ist,
                                        AVFrame* picture) {
  AVCodecContext* enc = ost.enc;
  const TVideoOptions& video = FConvertOptions.VideoOptions();
  const double sync_ipts =
      SyncInputSeconds(ost) / av_q2d(enc->time_base) - static_cast<double>(ost.video.sync_offset);
  int64_t nb_frames = VideoFramesToWrite(ost, sync_ipts);
  nb_frames = std::min<int64_t>(nb_frames, static_cast<int64_t>(video.MaxFrames()) - ost.frame_number);
  const int64_t limit = context_.RecordingLimit(enc->time_base);
  if (limit != INT64_MAX) nb_frames = std::min(nb_frames, limit - ost.sync_opts);
  if (nb_frames > 0) WriteVideoCopies(ost, ist, picture, nb_frames);
  // The next picture would pass the end of the span: the stream is done.
  if (limit != INT64_MAX && ost.sync_opts >= limit) FinishStream(ost);
}

void TConverterEngine::WriteVideoCopies(TOutputStreamState& ost, const TInputStreamState& ist,
                                        AVFrame* picture, int64_t copies) {
  const TVideoOptions& video = FConvertOptions.VideoOptions();
  const int template_flags = run_->avcodec_opts[static_cast<int>(TMediaKind::Video)]->flags;
  if (template_flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)) {
    if (video.TopFieldFirst() != -1) picture->top_field_first = video.TopFieldFirst();
  }
  const float quality = video.SameQuality() ? ist.quality : ost.quality;
  picture->quality = static_cast<int>(std::lrint(quality));
  if (video.MeThreshold() == 0) picture->pict_type = AV_PICTURE_TYPE_NONE;
  for (int64_t i = 0; i < copies; ++i) {
    if (i > 0 && StopRequested()) break;  // a long run of copies gives way to a stop
    picture->pts = ost.sync_opts;
    EncodeVideoFrame(ost, picture);
    ++ost.sync_opts;
    ++ost.frame_number;
  }
}

void TConverterEngine::EncodeVideoFrame(TOutputStreamState& ost, const AVFrame* picture) {
  AVCodecContext* enc = ost.enc;
  const int sent = EncodeCall(ost.encode_lock, [&] { return avcodec_send_frame(enc, picture); });
  if (sent < 0 && !(picture == nullptr && sent == AVERROR_EOF)) EncodingFailed(ost, "Video", sent);
  AVPacket* pkt = run_->transcode->out_packet.get();
  while (true) {
    const int ret = EncodeCall(ost.encode_lock, [&] { return avcodec_receive_packet(enc, pkt); });
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    if (ret < 0) EncodingFailed(ost, "Video", ret);
    context_.Figures().video_size += pkt->size;
    if (ost.two_pass.logfile && enc->stats_out != nullptr)
      std::fputs(enc->stats_out, ost.two_pass.logfile.get());
    WritePacket(ost, pkt);
  }
}

// Ends the stream's video: the encoder gives the pictures it still holds.
void TConverterEngine::FlushVideo(TOutputStreamState& ost) {
  EncodeVideoFrame(ost, nullptr);
}

}  // namespace veltrano
