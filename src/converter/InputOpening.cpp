// Input opening: format resolution, codec lookup by name, and opening every
// input file with its demuxer and decoder contexts. Leaves the demuxers in
// input_files with their timestamp offsets, and the
// source's audio and picture parameters in the run's source record.
#include <fmt/printf.h>

#include <cmath>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "converter/AVError.h"
#include "converter/SourceAccess.h"
#include "engine/CodecLookup.h"
#include "engine/ConverterEngine.h"
#include "engine/RunState.h"

namespace veltrano {
namespace {

// A stop request ends a read that would otherwise block.
int InterruptWhenStopped(void* opaque) {
  return static_cast<TConverterEngine*>(opaque)->State() == csStopped ? 1 : 0;
}

}  // namespace

void TConverterEngine::ResolveFormats() {
  const std::string& input = FConvertOptions.InputFormat();
  const std::string& output = FConvertOptions.OutputFormat();
  if (input.empty() && output.empty()) return;
  if (!input.empty()) run_->input_format = av_find_input_format(input.c_str());
  if (!output.empty()) run_->output_format = av_guess_format(output.c_str(), nullptr, nullptr);
  if (run_->input_format == nullptr && run_->output_format == nullptr) {
    throw EAVError(fmt::sprintf("Unknown input %s or Output format %s", input, output));
  }
}

// Demuxer parameters; raw and capture demuxers take them, others ignore them.
Dictionary TConverterEngine::DemuxerParameters() const {
  const TVideoOptions& video = FConvertOptions.VideoOptions();
  const TGrabOptions& grab = FConvertOptions.GrabOptions();
  Dictionary params;
  if (video.FrameRate().num() > 0 && video.FrameRate().den() > 0) {
    params.Set("framerate", fmt::format("{}/{}", video.FrameRate().num(), video.FrameRate().den()));
  }
  params.Set("sample_rate", "44100");
  params.Set("channels", "1");
  // A raw picture input after the first takes the size of the pictures before it.
  const TStreamParameters& source = run_->source;
  if (source.frame_width > 0 && source.frame_height > 0) {
    params.Set("video_size", fmt::format("{}x{}", source.frame_width, source.frame_height));
  }
  if (video.FramePixFormat() >= 0) {
    if (const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(video.FramePixFormat()))) {
      params.Set("pixel_format", name);
    }
  }
  if (grab.VideoChannel() != 0) params.Set("channel", std::to_string(grab.VideoChannel()));
  if (!grab.VideoStandard().empty()) params.Set("standard", grab.VideoStandard());
  if (FConvertOptions.LoopInput()) params.Set("loop", "1");
  return params;
}

// The decoders the options force, by name, set on the demuxer.
void TConverterEngine::ForceDecoders(AVFormatContext* ctx) const {
  const TVideoOptions& video = FConvertOptions.VideoOptions();
  const AVCodec* video_decoder =
      FindCodecByName(video.DecoderVideoCodecName(), AVMEDIA_TYPE_VIDEO, false);
  const AVCodec* audio_decoder = FindCodecByName(
      FConvertOptions.AudioOptions().DecoderAudioCodecName(), AVMEDIA_TYPE_AUDIO, false);
  const AVCodec* subtitle_decoder = FindCodecByName(
      FConvertOptions.SubtitleOptions().SubtitleCodecName(), AVMEDIA_TYPE_SUBTITLE, false);
  if (video_decoder == nullptr && FConvertOptions.PGMYUVCompatibilityHack()) {
    video_decoder = avcodec_find_decoder(AV_CODEC_ID_PGMYUV);
  }
  if (video_decoder != nullptr) {
    ctx->video_codec = video_decoder;
    ctx->video_codec_id = video_decoder->id;
  }
  if (audio_decoder != nullptr) {
    ctx->audio_codec = audio_decoder;
    ctx->audio_codec_id = audio_decoder->id;
  }
  if (subtitle_decoder != nullptr) {
    ctx->subtitle_codec = subtitle_decoder;
    ctx->subtitle_codec_id = subtitle_decoder->id;
  }
}

// Only the streams of the program the options name are read.
void TConverterEngine::SelectProgram(AVFormatContext* ctx) const {
  const int program_id = FConvertOptions.ProgramID();
  if (program_id == 0) return;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) ctx->streams[i]->discard = AVDISCARD_ALL;
  bool found = false;
  for (unsigned p = 0; p < ctx->nb_programs; ++p) {
    AVProgram* program = ctx->programs[p];
    if (program->id == program_id) {
      found = true;
      for (unsigned i = 0; i < program->nb_stream_indexes; ++i) {
        ctx->streams[program->stream_index[i]]->discard = AVDISCARD_DEFAULT;
      }
    } else {
      program->discard = AVDISCARD_ALL;
    }
  }
  if (!found) throw EAVError("Specified program id not found");
}

// The byte stream a source is read through when the library cannot read it
// by name itself; none for an ordinary file.
std::unique_ptr<TStreamIO> TConverterEngine::OpenSourceStream(int n) {
  // A "stream:N" name is read from the system's own stream object.
  // A source that can be read only once (a FIFO, a device, standard input)
  // is read through a stream that waits for data in slices, so that a stop
  // ends the wait: the open of a FIFO without a writer never returns.
  if (IsStreamName(FInputFiles[n])) {
    return OpenStreamIO(FInputFiles[n]);
  }
  if (ReadOnlyOnce(FInputFiles[n])) {
    return OpenOnceReadSource(FInputFiles[n], [this] { return State() == csStopped; });
  }
  return nullptr;
}

void TConverterEngine::OpenInputFile(int n) {
  VEL_ASSERT(n >= 0 && n < static_cast<int>(FInputFiles.size()));
  // Declared first so that it outlives the demuxer that reads from it.
  std::unique_ptr<TStreamIO> stream_io;
  InputFormatPtr ctx(avformat_alloc_context());
  if (!ctx) throw EAVError("Out of memory");

  Dictionary params = DemuxerParameters();
  CopyTemplateOptions(ctx.get(), run_->avformat_opts.get(), AV_OPT_FLAG_DECODING_PARAM);
  ForceDecoders(ctx.get());
  ctx->flags |= AVFMT_FLAG_NONBLOCK;
  // Program streams (DVD titles above all) leave some presentation times out;
  // copies into containers that need them would fail without generated ones.
  ctx->flags |= AVFMT_FLAG_GENPTS;
  ctx->interrupt_callback = {&InterruptWhenStopped, this};

  stream_io = OpenSourceStream(n);
  if (stream_io) {
    ctx->pb = stream_io->Context();
    ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
  }

  // The library frees the context when opening fails.
  AVFormatContext* raw = ctx.release();
  const int opened =
      avformat_open_input(&raw, FInputFiles[n].c_str(), run_->input_format, params.get());
  if (opened < 0) {
    // A folder on the way that cannot be entered, or a file without
    // permission, is said as such rather than as a missing file.
    throw EAVError(WithReason(fmt::sprintf("打不开:%d!", opened), FInputFiles[n],
                              OpenFailureReason(opened, FInputFiles[n])));
  }
  ctx.reset(raw);

  SelectProgram(ctx.get());

  const int info = avformat_find_stream_info(ctx.get(), nullptr);
  if (info < 0) {
    throw EAVError(WithReason(fmt::sprintf("Could not find codec parameters:%d!", info),
                              FInputFiles[n], AvErrorText(info)));
  }

  int64_t timestamp = FConvertOptions.StartTime();
  if (ctx->start_time != AV_NOPTS_VALUE) timestamp += ctx->start_time;
  if (FConvertOptions.StartTime() != 0) {
    av_seek_frame(ctx.get(), -1, timestamp, AVSEEK_FLAG_BACKWARD);  // a failed seek is not reported
  }
  if (ctx->duration != AV_NOPTS_VALUE) FDuration = static_cast<double>(ctx->duration) / 1000000.0;

  const int64_t size_at_open =
      ctx->pb != nullptr && !(ctx->flags & AVFMT_FLAG_CUSTOM_IO) ? avio_size(ctx->pb) : -1;
  TInputFile& input = run_->input_files.emplace_back();
  input.name = FInputFiles[n];
  input.stream_io = std::move(stream_io);
  input.ctx = std::move(ctx);
  input.size_at_open = size_at_open;
  input.analysis_frames = CountAnalysisFrames(n);
  ReadDecoderParameters(n);
  input.ts_offset = FConvertOptions.CopyTS() ? FConvertOptions.InputTSOffset()
                                             : FConvertOptions.InputTSOffset() - timestamp;
}

// Counts the packets of each stream at the start of input `n`, read through
// a second, independent demuxer so that the conversion's own stays where it
// is. Only inputs with several streams of one kind need it; all zero otherwise.
std::vector<int64_t> TConverterEngine::CountAnalysisFrames(int n) const {
  const AVFormatContext* opened = run_->input_files[n].ctx.get();
  std::vector<int64_t> counts(opened->nb_streams, 0);
  int per_kind[AVMEDIA_TYPE_NB] = {0};
  bool competing = false;
  for (unsigned i = 0; i < opened->nb_streams; ++i) {
    const int type = opened->streams[i]->codecpar->codec_type;
    if (type >= 0 && type < AVMEDIA_TYPE_NB) competing |= ++per_kind[type] > 1;
  }
  if (!competing || (opened->flags & AVFMT_FLAG_CUSTOM_IO) ||
      (opened->iformat->flags & AVFMT_NOFILE)) {
    return counts;
  }
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, FInputFiles[n].c_str(), opened->iformat, nullptr) < 0) return counts;
  InputFormatPtr scan(raw);
  PacketPtr pkt(av_packet_alloc());
  constexpr int64_t kBytes = 5000000;
  constexpr int kPackets = 5000;
  int64_t bytes = 0;
  int64_t first_us = AV_NOPTS_VALUE;
  for (int read = 0; pkt && read < kPackets && bytes < kBytes; ++read) {
    if (av_read_frame(scan.get(), pkt.get()) < 0) break;
    const unsigned index = static_cast<unsigned>(pkt->stream_index);
    if (index < counts.size()) {
      ++counts[index];
      const int64_t ts = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
      if (ts != AV_NOPTS_VALUE) {
        const int64_t us = av_rescale_q(ts, scan->streams[index]->time_base, AV_TIME_BASE_Q);
        if (first_us == AV_NOPTS_VALUE) first_us = us;
        if (us - first_us > 5 * AV_TIME_BASE) break;
      }
    }
    bytes += pkt->size;
    av_packet_unref(pkt.get());
  }
  return counts;
}

// Creates each stream's decoder context and takes the source's parameters.
void TConverterEngine::ReadDecoderParameters(int n) {
  TInputFile& file = run_->input_files[n];
  AVFormatContext* ctx = file.ctx.get();
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    AVStream* st = ctx->streams[i];
    const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
    switch (st->codecpar->codec_type) {
      case AVMEDIA_TYPE_VIDEO: if (ctx->video_codec) decoder = ctx->video_codec; break;
      case AVMEDIA_TYPE_AUDIO: if (ctx->audio_codec) decoder = ctx->audio_codec; break;
      case AVMEDIA_TYPE_SUBTITLE: if (ctx->subtitle_codec) decoder = ctx->subtitle_codec; break;
      default: break;
    }
    CodecContextPtr dec(avcodec_alloc_context3(decoder));
    if (!dec || avcodec_parameters_to_context(dec.get(), st->codecpar) < 0) {
      throw EAVError("Out of memory");
    }
    if (decoder != nullptr) dec->codec_id = decoder->id;
    dec->pkt_timebase = st->time_base;
    dec->thread_count = FConvertOptions.ThreadCount();

    switch (dec->codec_type) {
      case AVMEDIA_TYPE_AUDIO:
        CopyTemplateOptions(dec.get(), run_->avcodec_opts[static_cast<int>(TMediaKind::Audio)].get(),
                            AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
        TakeAudioParameters(run_->source, dec.get());
        if (FConvertOptions.AudioOptions().AudioDisable()) st->discard = AVDISCARD_ALL;
        break;
      case AVMEDIA_TYPE_VIDEO:
        CopyTemplateOptions(dec.get(), run_->avcodec_opts[static_cast<int>(TMediaKind::Video)].get(),
                            AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
        ReadVideoParameters(st, dec.get());
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        if (FConvertOptions.SubtitleOptions().SubtitleDisable()) st->discard = AVDISCARD_ALL;
        break;
      default:
        break;
    }
    file.decoders.push_back(std::move(dec));
  }
}

void TConverterEngine::ReadVideoParameters(AVStream* st, AVCodecContext* dec) {
  const TVideoOptions& video = FConvertOptions.VideoOptions();
  TStreamParameters& source = run_->source;
  // Pictures decoded at a reduced resolution are smaller by the same factor.
  source.frame_width = dec->width >> dec->lowres;
  source.frame_height = dec->height >> dec->lowres;
  const AVRational sar =
      st->sample_aspect_ratio.num != 0 ? st->sample_aspect_ratio : dec->sample_aspect_ratio;
  source.frame_aspect_ratio =
      dec->height > 0 ? static_cast<float>(av_q2d(sar) * dec->width / dec->height) : 0.0f;
  source.pix_fmt = dec->pix_fmt;
  if (video.MeThreshold() != 0) dec->export_side_data |= AV_CODEC_EXPORT_DATA_MVS;

  const AVRational tb = av_stream_get_codec_timebase(st);
  const int ticks = TicksPerFrame(dec->codec_id);
  const AVRational rfps = st->r_frame_rate;
  if (tb.num != 0 && rfps.num != 0 &&
      (tb.den != static_cast<int64_t>(rfps.num) * ticks || tb.num != rfps.den)) {
    DoLog(AV_LOG_ERROR,
          fmt::sprintf("Seems stream %d codec frame rate differs from container frame rate: "
                       "%2.2f (%d/%d) -> %2.2f (%d/%d)\n",
                       st->index, static_cast<double>(tb.den) / tb.num, tb.den, tb.num,
                       static_cast<double>(rfps.num) / rfps.den, rfps.num, rfps.den));
  }
  // The source's rate, unless the caller chose one for the output.
  source.frame_rate =
      video.CustomFrameRate() ? AVRational{video.FrameRate().num(), video.FrameRate().den()} : rfps;
  if (video.VideoDisable()) {
    st->discard = AVDISCARD_ALL;
  } else if ((video.VideoDiscard() & 0xFF) != 0) {
    st->discard = static_cast<AVDiscard>(video.VideoDiscard());
  }
}

}  // namespace veltrano
