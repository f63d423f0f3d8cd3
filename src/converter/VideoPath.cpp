// The video path: the per-stream filter graph (deinterlace, crop,
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
#include "engine/OutputPath.h"

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

TVideoPath::TVideoPath(std::unique_ptr<TOutputStreamState> stream, TOutputFile& file,
                       const TRunContext& context, TVideoPathState state, int sws_flags,
                       int template_flags)
    : TOutputPath(std::move(stream), file, context),
      video_(std::move(state)),
      sws_flags_(sws_flags),
      template_flags_(template_flags) {}

// The graph's two ends: a buffer source taking the decoder's pictures and a
// sink giving the encoder's pixel format.
int TVideoPath::CreateGraphEnds(const AVCodecContext* dec) {
  AVFilterGraph* graph = video_.graph.get();
  const AVRational sar =
      dec->sample_aspect_ratio.num != 0 ? dec->sample_aspect_ratio : AVRational{0, 1};
  const std::string source_args =
      fmt::format("video_size={}x{}:pix_fmt={}:time_base=1/{}:pixel_aspect={}/{}", dec->width,
                  dec->height, static_cast<int>(dec->pix_fmt), AV_TIME_BASE, sar.num,
                  std::max(sar.den, 1));
  if (avfilter_graph_create_filter(&video_.buffer_source, avfilter_get_by_name("buffer"), "src",
                                   source_args.c_str(), nullptr, graph) < 0 ||
      avfilter_graph_create_filter(&video_.buffer_sink, avfilter_get_by_name("buffersink"), "out",
                                   nullptr, nullptr, graph) < 0) {
    return -1;
  }
  const AVPixelFormat sink_formats[] = {ost_.enc->pix_fmt, AV_PIX_FMT_NONE};
  if (av_opt_set_int_list(video_.buffer_sink, "pix_fmts", sink_formats, AV_PIX_FMT_NONE,
                          AV_OPT_SEARCH_CHILDREN) < 0) {
    return -1;
  }
  return 0;
}

// Deinterlacing, cropping and scaling after the source; the last filter of
// the chain, nullptr when one could not be made.
AVFilterContext* TVideoPath::LinkFilterChain(const AVCodecContext* dec) {
  AVFilterGraph* graph = video_.graph.get();
  const AVCodecContext* enc = ost_.enc;
  const TVideoOptions& video = context_.Options().VideoOptions();
  const int flags = sws_flags_;
  graph->scale_sws_opts = av_strdup(fmt::format("flags={}", flags).c_str());

  AVFilterContext* last = video_.buffer_source;
  if (video.Deinterlace()) last = Link(last, AddFilter(graph, "yadif", ""));
  const int left = video.FrameLeftBand(), right = video.FrameRightBand();
  const int top = video.FrameTopBand(), bottom = video.FrameBottomBand();
  const int cropped_width = dec->width - left - right;
  const int cropped_height = dec->height - top - bottom;
  if (video_.crop) {
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
int TVideoPath::LinkUserFilters(AVFilterContext* last) {
  AVFilterGraph* graph = video_.graph.get();
  const std::string& filters = context_.Options().FilterOptions().VideoFilters();
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
    inputs.list->filter_ctx = video_.buffer_sink;
    inputs.list->pad_idx = 0;
    if (avfilter_graph_parse_ptr(graph, description.c_str(), &inputs.list, &outputs.list,
                                 nullptr) < 0) {
      return -1;
    }
  } else if (Link(last, video_.buffer_sink) == nullptr) {
    return -1;
  }
  return 0;
}

int TVideoPath::ConfigureFilters(TInputStreamState& ist) {
  const AVCodecContext* dec = ist.dec;
  AVCodecContext* enc = ost_.enc;
  video_.graph.reset(avfilter_graph_alloc());
  AVFilterGraph* graph = video_.graph.get();
  if (graph == nullptr) return -1;
  video_.graph_width = dec->width;
  video_.graph_height = dec->height;
  video_.graph_pix_fmt = dec->pix_fmt;
  if (CreateGraphEnds(dec) < 0) return -1;
  AVFilterContext* last = LinkFilterChain(dec);
  if (last == nullptr || LinkUserFilters(last) < 0) return -1;
  if (avfilter_graph_config(graph, nullptr) < 0) return -1;

  enc->width = av_buffersink_get_w(video_.buffer_sink);
  enc->height = av_buffersink_get_h(video_.buffer_sink);
  const AVRational out_sar = av_buffersink_get_sample_aspect_ratio(video_.buffer_sink);
  if (out_sar.num != 0 && !avcodec_is_open(enc)) {
    enc->sample_aspect_ratio = out_sar;
    ost_.st->sample_aspect_ratio = out_sar;
  }
  return 0;
}

void TVideoPath::SendFrame(TInputStreamState& ist, TDecoded& decoded) {
  Filter(ist, decoded.frame);
}

// A decoded picture of another size or format than the graph was built for:
// the scaler takes it, and the graph is built again for it.
void TVideoPath::FollowSizeChange(TInputStreamState& ist, const AVFrame* frame) {
  if (!video_.scale) {
    const char* format = av_get_pix_fmt_name(static_cast<AVPixelFormat>(frame->format));
    throw EAVError(fmt::sprintf("Input Stream #%d.%d frame size changed to %dx%d, %s",
                                ist.file_index, ist.index, frame->width, frame->height,
                                format != nullptr ? format : "none"));
  }
  ist.dec->width = frame->width;
  ist.dec->height = frame->height;
  ist.dec->pix_fmt = static_cast<AVPixelFormat>(frame->format);
  const TVideoOptions& v = context_.Options().VideoOptions();
  video_.width = frame->width - v.FrameLeftBand() - v.FrameRightBand();
  video_.height = frame->height - v.FrameTopBand() - v.FrameBottomBand();
  video_.pix_fmt = frame->format;
  const int width = ost_.enc->width, height = ost_.enc->height;
  if (ConfigureFilters(ist) != 0) throw EAVError("Error opening filters!");
  ost_.enc->width = width;
  ost_.enc->height = height;
}

// Passes a decoded picture (nullptr: the end of the pictures) through the
// graph and hands on every picture its sink gives.
void TVideoPath::Filter(TInputStreamState& ist, AVFrame* frame) {
  if (frame != nullptr) {
    if (frame->width != video_.graph_width || frame->height != video_.graph_height ||
        frame->format != video_.graph_pix_fmt) {
      FollowSizeChange(ist, frame);
    }
    frame->pts = ist.pts;
    if (av_buffersrc_add_frame_flags(video_.buffer_source, frame, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
      throw EAVError("Error while filtering the video");
    }
  } else if (av_buffersrc_add_frame(video_.buffer_source, nullptr) < 0) {
    return;
  }
  if (!video_.filtered) video_.filtered.reset(av_frame_alloc());
  AVFrame* filtered = video_.filtered.get();
  if (filtered == nullptr) throw EAVError("Out of memory");
  const AVRational sink_tb = av_buffersink_get_time_base(video_.buffer_sink);
  while (true) {
    const int ret = av_buffersink_get_frame(video_.buffer_sink, filtered);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) break;
    if (ret < 0) throw EAVError("Error while filtering the video");
    if (filtered->pts != AV_NOPTS_VALUE) {
      ist.pts = av_rescale_q(filtered->pts, sink_tb, AV_TIME_BASE_Q);
    }
    Output(ist, filtered);
    av_frame_unref(filtered);
  }
}

// How many times the picture goes out under the frame-rate sync: 0 drops
// it, more than 1 duplicates it. A jump of the input time by more than the
// discontinuity threshold is taken out of the sync (and logged) instead of
// being filled with copies or emptied by drops.
int64_t TVideoPath::FramesToWrite(double sync_ipts) {
  const TAVConvertOptions& options = context_.Options();
  const int method = options.VideoOptions().VideoSyncMethod();
  if (method == 0) {
    ost_.sync_opts = std::llrint(sync_ipts);
    return 1;
  }
  double vdelta = sync_ipts - static_cast<double>(ost_.sync_opts);
  const double frame_seconds = av_q2d(ost_.enc->time_base);
  const double bound = std::max(2.0, options.DtsDeltaThreshold() / frame_seconds);
  if (std::fabs(vdelta) > bound) {
    const int64_t jump = std::llrint(vdelta);
    context_.Log(
        AV_LOG_WARNING,
        fmt::format(
            "Output stream #{}:{}: input time jumps by {:.3f} s; treated as a discontinuity\n",
            ost_.file_index, ost_.index, static_cast<double>(jump) * frame_seconds));
    video_.sync_offset += jump;
    sync_ipts -= static_cast<double>(jump);
    vdelta -= static_cast<double>(jump);
  }
  if (vdelta < -1.1) return 0;
  if (method == 2) {
    if (vdelta <= -0.6) return 0;
    if (vdelta > 0.6) ost_.sync_opts = std::llrint(sync_ipts);
    return 1;
  }
  return vdelta > 1.1 ? std::llrint(vdelta) : 1;
}

void TVideoPath::Output(TInputStreamState& ist, AVFrame* picture) {
  AVCodecContext* enc = ost_.enc;
  const TVideoOptions& video = context_.Options().VideoOptions();
  const double sync_ipts =
      SyncInputSeconds() / av_q2d(enc->time_base) - static_cast<double>(video_.sync_offset);
  int64_t nb_frames = FramesToWrite(sync_ipts);
  nb_frames =
      std::min<int64_t>(nb_frames, static_cast<int64_t>(video.MaxFrames()) - ost_.frame_number);
  const int64_t limit = context_.RecordingLimit(enc->time_base);
  if (limit != INT64_MAX) nb_frames = std::min(nb_frames, limit - ost_.sync_opts);
  if (nb_frames > 0) WriteCopies(ist, picture, nb_frames);
  // The next picture would pass the end of the span: the stream is done.
  if (limit != INT64_MAX && ost_.sync_opts >= limit) Finish();
}

void TVideoPath::WriteCopies(const TInputStreamState& ist, AVFrame* picture, int64_t copies) {
  const TVideoOptions& video = context_.Options().VideoOptions();
  if (template_flags_ & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)) {
    if (video.TopFieldFirst() != -1) picture->top_field_first = video.TopFieldFirst();
  }
  const float quality = video.SameQuality() ? ist.quality : ost_.quality;
  picture->quality = static_cast<int>(std::lrint(quality));
  if (video.MeThreshold() == 0) picture->pict_type = AV_PICTURE_TYPE_NONE;
  for (int64_t i = 0; i < copies; ++i) {
    if (i > 0 && context_.StopRequested()) break;  // a long run of copies gives way to a stop
    picture->pts = ost_.sync_opts;
    Encode(picture);
    ++ost_.sync_opts;
    ++ost_.frame_number;
  }
}

void TVideoPath::Encode(const AVFrame* picture) {
  AVCodecContext* enc = ost_.enc;
  const int sent = EncodeCall(ost_.encode_lock, [&] { return avcodec_send_frame(enc, picture); });
  if (sent < 0 && !(picture == nullptr && sent == AVERROR_EOF)) EncodingFailed("Video", sent);
  AVPacket* pkt = packet_.get();
  while (true) {
    const int ret = EncodeCall(ost_.encode_lock, [&] { return avcodec_receive_packet(enc, pkt); });
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    if (ret < 0) EncodingFailed("Video", ret);
    context_.Figures().video_size += pkt->size;
    if (ost_.two_pass.logfile && enc->stats_out != nullptr) {
      std::fputs(enc->stats_out, ost_.two_pass.logfile.get());
    }
    Write(pkt);
  }
}

// Ends the stream's video: the encoder gives the pictures it still holds.
void TVideoPath::Flush() {
  Encode(nullptr);
}

}  // namespace veltrano
