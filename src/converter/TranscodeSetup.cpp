// Transcode setup: the per-run records, stream mapping (explicit or
// automatic), the copy-or-encode decision per output stream, opening the
// decoders, chapters and headers. The encoders open in EncoderSetup.cpp.
//
// Decoders and encoders of different conversions run in parallel: today's
// library is thread-safe across separate contexts and serialises the
// initialisation of codecs that need it itself. The few external encoder
// libraries whose opening rewrites state that running encoders read are
// opened under their CodecLock (CodecLock.h).
#include <fmt/printf.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/time.h>
}

#include "converter/AVError.h"
#include "converter/LegacyOptions.h"
#include "converter/StreamPlan.h"
#include "engine/ConverterEngine.h"
#include "engine/OutputChoices.h"
#include "engine/OutputPath.h"
#include "engine/RunState.h"
#include "engine/TranscodeState.h"

namespace veltrano {

namespace {

const char* PixelFormatName(int format) {
  const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(format));
  return name != nullptr ? name : "unknown";
}

// Why a stream cannot be copied into `format`: the output, the container,
// the source stream and its codec.
std::string CannotHoldText(const std::string& output, const AVOutputFormat* format,
                           const TInputStreamState& ist) {
  const AVMediaType type = ist.st->codecpar->codec_type;
  const char* kind = type == AVMEDIA_TYPE_VIDEO      ? "视频流"
                     : type == AVMEDIA_TYPE_AUDIO    ? "音频流"
                     : type == AVMEDIA_TYPE_SUBTITLE ? "字幕流"
                                                     : "数据流";
  std::string text =
      fmt::format("{}: {} 容器不能容纳源的{} #{}:{} ({}), 无法直接复制", output, format->name, kind,
                  ist.file_index, ist.index, avcodec_get_name(ist.st->codecpar->codec_id));
  if (std::string_view(format->name) != "matroska") text += "; 可改用 MKV";
  return text;
}

}  // namespace

int TicksPerFrame(AVCodecID id) {
  return id == AV_CODEC_ID_H264 || id == AV_CODEC_ID_MPEG1VIDEO || id == AV_CODEC_ID_MPEG2VIDEO ? 2
                                                                                                : 1;
}

int OutputFrameLimit(const TAVConvertOptions& options, AVMediaType type) {
  switch (type) {
    case AVMEDIA_TYPE_VIDEO: return options.VideoOptions().MaxFrames();
    case AVMEDIA_TYPE_AUDIO: return options.AudioOptions().MaxFrames();
    case AVMEDIA_TYPE_DATA: return options.MaxDataFrames();
    default: return MaxInt;
  }
}

void TConverterEngine::SetupTranscode() {
  TTranscodeState& t = *run_->transcode;
  CreateInputRecords();
  // Each output stream's record goes to the path made for it.
  for (auto& record : CreateOutputRecords()) {
    t.paths.push_back(PrepareOutputStream(std::move(record)));
  }
  RoutePaths();
  OpenEncoders();
  OpenDecoders();
  RecordPlan();
  for (auto& ist : t.input_streams) {
    const AVRational rate = ist->st->avg_frame_rate;
    const int delay = ist->decoding_needed ? ist->dec->has_b_frames : ist->st->codecpar->video_delay;
    ist->pts = rate.num != 0
                   ? -std::llround(delay * 1000000.0 / av_q2d(rate))
                   : 0;
    ist->next_pts = AV_NOPTS_VALUE;
    ist->is_start = true;
  }
  for (size_t i = 0; i < run_->input_files.size(); ++i) {
    if (run_->input_files[i].ctx->nb_chapters == 0) continue;
    for (size_t j = 0; j < run_->output_files.size(); ++j) CopyChapters(i, j);
  }
  WriteHeaders();
  t.packet.reset(av_packet_alloc());
  if (!t.packet) throw EAVError("Out of memory");
  timer_start = av_gettime();
}

// Which paths each input stream feeds, for the main loop.
void TConverterEngine::RoutePaths() {
  TTranscodeState& t = *run_->transcode;
  t.routes.assign(t.input_streams.size(), {});
  for (auto& path : t.paths) t.routes[path->SourceIndex()].push_back(path.get());
}

// Keeps the plan of the run, and prints it in the log at the info level.
void TConverterEngine::RecordPlan() {
  FPlan = PlanOfRun(*run_, FInputFiles, FOutputFiles);
  if (LogLevel() < AV_LOG_INFO) return;
  for (const std::string& line : DescribePlan(FPlan)) DoLog(AV_LOG_INFO, line + "\n");
}

void TConverterEngine::CreateInputRecords() {
  TTranscodeState& t = *run_->transcode;
  int ist_index = 0;
  for (size_t n = 0; n < run_->input_files.size(); ++n) {
    TInputFile& file = run_->input_files[n];
    const int nb_streams = static_cast<int>(file.ctx->nb_streams);
    file.first_stream = ist_index;
    ist_index += nb_streams;
    if (ist_index > kMaxStreams) {
      throw EAVError(fmt::format("Too many input streams (at most {})", kMaxStreams));
    }
    for (int i = 0; i < nb_streams; ++i) {
      auto ist = std::make_unique<TInputStreamState>();
      ist->file_index = static_cast<int>(n);
      ist->index = i;
      ist->st = file.ctx->streams[i];
      ist->dec = file.decoders[i].get();
      if (FConvertOptions.RateEmu()) ist->start = av_gettime();
      t.input_streams.push_back(ist.get());
      file.streams.push_back(std::move(ist));
    }
  }
}

// The records of the output streams, in output order; transcode setup hands
// each to the path it makes for the stream.
std::vector<std::unique_ptr<TOutputStreamState>> TConverterEngine::CreateOutputRecords() {
  TTranscodeState& t = *run_->transcode;
  int total = 0;
  for (const TOutputFile& file : run_->output_files) {
    if (file.ctx->nb_streams == 0) throw EAVError("Output file does not contain any stream");
    total += static_cast<int>(file.ctx->nb_streams);
  }
  if (total > kMaxStreams) {
    throw EAVError(fmt::format("Too many output streams (at most {})", kMaxStreams));
  }
  const std::vector<TStreamMap>& maps = run_->stream_maps;
  if (!maps.empty() && static_cast<int>(maps.size()) != total) {
    throw EAVError("Number of stream maps must match number of output streams");
  }
  for (const TStreamMap& map : maps) {
    auto valid = [&](int file, int stream) {
      return file >= 0 && file < static_cast<int>(run_->input_files.size()) && stream >= 0 &&
             stream < static_cast<int>(run_->input_files[file].streams.size());
    };
    if (!valid(map.file_index, map.stream_index)) {
      throw EAVError(fmt::sprintf("Could not find input stream #%d.%d", map.file_index, map.stream_index));
    }
    if (!valid(map.sync_file_index, map.sync_stream_index)) {
      throw EAVError(fmt::sprintf("Could not find sync stream #%d.%d", map.sync_file_index,
                                  map.sync_stream_index));
    }
  }
  std::vector<std::unique_ptr<TOutputStreamState>> records;
  for (size_t i = 0; i < run_->output_files.size(); ++i) {
    TOutputFile& file = run_->output_files[i];
    for (unsigned k = 0; k < file.ctx->nb_streams; ++k) {
      auto ost = std::make_unique<TOutputStreamState>();
      ost->file_index = static_cast<int>(i);
      ost->index = static_cast<int>(k);
      ost->st = file.ctx->streams[k];
      ost->enc = file.encoders[k].get();
      ost->codec = file.codecs[k];
      ost->quality = file.quality[k];
      ChooseSource(*ost, static_cast<int>(t.output_streams.size()));
      t.output_streams.push_back(ost.get());
      records.push_back(std::move(ost));
    }
  }
  return records;
}

void TConverterEngine::ChooseSource(TOutputStreamState& ost, int n) {
  TTranscodeState& t = *run_->transcode;
  const AVMediaType kind = ost.enc->codec_type;
  if (!run_->stream_maps.empty()) {
    const TStreamMap& map = run_->stream_maps[n];
    ost.source_index = run_->input_files[map.file_index].first_stream + map.stream_index;
    if (t.input_streams[ost.source_index]->st->codecpar->codec_type != kind) {
      throw EAVError(fmt::sprintf("Codec type mismatch for mapping #%d.%d -> #%d.%d", map.file_index,
                                  map.stream_index, ost.file_index, ost.index));
    }
    ost.sync_ist = t.input_streams[run_->input_files[map.sync_file_index].first_stream +
                                   map.sync_stream_index];
  } else {
    int chosen = -1;
    int64_t most_frames = -1;
    const int program_id = FConvertOptions.ProgramID();
    for (size_t j = 0; j < t.input_streams.size(); ++j) {
      const TInputStreamState& ist = *t.input_streams[j];
      if (!ist.discard || ist.st->discard == AVDISCARD_ALL) continue;
      if (ist.st->codecpar->codec_type != kind) continue;
      if (program_id != 0 && !InProgram(ist, program_id)) continue;
      const int64_t frames = run_->input_files[ist.file_index].analysis_frames[ist.index];
      if (frames > most_frames) {
        most_frames = frames;
        chosen = static_cast<int>(j);
      }
    }
    if (chosen < 0 && program_id == 0) {
      for (size_t j = 0; j < t.input_streams.size(); ++j) {
        const TInputStreamState& ist = *t.input_streams[j];
        if (ist.st->codecpar->codec_type == kind && ist.st->discard != AVDISCARD_ALL) {
          chosen = static_cast<int>(j);
        }
      }
    }
    if (chosen < 0) throw EAVError("Could not find input stream matching output stream ");
    ost.source_index = chosen;
    ost.sync_ist = t.input_streams[chosen];
  }
  t.input_streams[ost.source_index]->discard = false;
}

bool TConverterEngine::InProgram(const TInputStreamState& ist, int program_id) const {
  const AVFormatContext* ctx = run_->input_files[ist.file_index].ctx.get();
  for (unsigned p = 0; p < ctx->nb_programs; ++p) {
    const AVProgram* program = ctx->programs[p];
    if (program->id != program_id) continue;
    for (unsigned i = 0; i < program->nb_stream_indexes; ++i) {
      if (static_cast<int>(program->stream_index[i]) == ist.index) return true;
    }
  }
  return false;
}

std::unique_ptr<TOutputPath> TConverterEngine::PrepareOutputStream(
    std::unique_ptr<TOutputStreamState> record) {
  TOutputStreamState& ost = *record;
  TInputStreamState& ist = *run_->transcode->input_streams[ost.source_index];
  AVCodecContext* c = ost.enc;
  const AVDictionaryEntry* e = nullptr;
  while ((e = av_dict_get(ist.st->metadata, "", e, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
    av_dict_set(&ost.st->metadata, e->key, e->value, AV_DICT_DONT_OVERWRITE);
  }
  ost.st->disposition = ist.st->disposition;
  c->bits_per_raw_sample = ist.dec->bits_per_raw_sample;
  c->chroma_sample_location = ist.dec->chroma_sample_location;

  std::vector<bool>& stream_copy = run_->output_files[ost.file_index].stream_copy;
  ost.why = stream_copy[ost.index] ? "选项要求复制" : "未要求复制";
  if (stream_copy[ost.index] || CopiesFittingStream(ost, ist)) {
    stream_copy[ost.index] = true;
    PrepareStreamCopy(ost, ist);
    return std::make_unique<TCopyPath>(std::move(record), run_->output_files[ost.file_index],
                                       context_);
  }
  return PrepareEncoding(std::move(record), ist);
}

void TConverterEngine::PrepareStreamCopy(TOutputStreamState& ost, TInputStreamState& ist) {
  const AVCodecParameters* in = ist.st->codecpar;
  AVCodecParameters* par = ost.st->codecpar;
  const AVOutputFormat* format = run_->output_files[ost.file_index].ctx->oformat;
  const unsigned requested_tag = ost.enc->codec_tag;
  if (avformat_query_codec(format, in->codec_id, FF_COMPLIANCE_NORMAL) == 0) {
    throw EAVError(CannotHoldText(FOutputFiles[ost.file_index], format, ist));
  }
  if (avcodec_parameters_copy(par, in) < 0) throw EAVError("Out of memory");
  par->codec_tag = requested_tag;
  if (requested_tag == 0) {
    const AVCodecTag* const* table = format->codec_tag;
    if (table == nullptr || av_codec_get_id(table, in->codec_tag) == in->codec_id ||
        av_codec_get_tag(table, in->codec_id) <= 0) {
      par->codec_tag = in->codec_tag;
    }
  }
  // The stream's time base, or the codec's when that is coarser and the
  // stream's is finer than a millisecond.
  const AVRational stream_tb = ist.st->time_base;
  AVRational codec_tb = av_stream_get_codec_timebase(ist.st);
  const int ticks = TicksPerFrame(in->codec_id);
  AVRational tb = stream_tb;
  if (codec_tb.num > 0 && av_q2d(codec_tb) * ticks > av_q2d(stream_tb) &&
      av_q2d(stream_tb) < 1.0 / 1000) {
    av_reduce(&tb.num, &tb.den, static_cast<int64_t>(codec_tb.num) * ticks, codec_tb.den, MaxInt);
  }
  ost.packet_time_base = tb;
  ost.st->time_base = tb;

  switch (in->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      if (FConvertOptions.AudioOptions().AudioVolume() != 256) {
        throw EAVError("-acodec copy and -vol are incompatible (frames are not decoded)");
      }
      if ((in->codec_id == AV_CODEC_ID_MP3 && par->block_align == 1) ||
          in->codec_id == AV_CODEC_ID_AC3) {
        par->block_align = 0;
      }
      break;
    case AVMEDIA_TYPE_VIDEO:
      ost.st->avg_frame_rate = ist.st->avg_frame_rate;
      ost.st->r_frame_rate = ist.st->r_frame_rate;
      if (ost.st->sample_aspect_ratio.num != 0) par->sample_aspect_ratio = ost.st->sample_aspect_ratio;
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      break;
    default:
      throw EAVError("unknown codec type");
  }
}

// The path that re-encodes the stream of `record`, fed by the decoder of `ist`.
std::unique_ptr<TOutputPath> TConverterEngine::PrepareEncoding(
    std::unique_ptr<TOutputStreamState> record, TInputStreamState& ist) {
  TOutputStreamState& ost = *record;
  TOutputFile& file = run_->output_files[ost.file_index];
  AVCodecContext* c = ost.enc;
  const AVCodecContext* d = ist.dec;
  std::unique_ptr<TOutputPath> path;
  switch (c->codec_type) {
    case AVMEDIA_TYPE_AUDIO: {
      const bool resampling =
          c->sample_rate != d->sample_rate || FConvertOptions.AudioOptions().AudioSyncMethod() > 1;
      path = std::make_unique<TAudioPath>(std::move(record), file, context_, resampling);
      break;
    }
    case AVMEDIA_TYPE_VIDEO:
      path = PrepareVideoEncoding(std::move(record), ist);
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      PrepareSubtitleEncoding(ost, ist);
      path = std::make_unique<TSubtitlePath>(std::move(record), file, context_);
      break;
    default:
      // Neither copied nor encoded: its packets go on as they are.
      return std::make_unique<TCopyPath>(std::move(record), file, context_);
  }
  ost.encoding_needed = true;
  ist.decoding_needed = true;
  if (c->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)) PrepareTwoPass(ost);
  return path;
}

std::unique_ptr<TOutputPath> TConverterEngine::PrepareVideoEncoding(
    std::unique_ptr<TOutputStreamState> record, TInputStreamState& ist) {
  TOutputStreamState& ost = *record;
  AVCodecContext* c = ost.enc;
  const AVCodecContext* d = ist.dec;
  if (c->pix_fmt == AV_PIX_FMT_NONE) {
    throw EAVError("Video pixel format is unknown, stream can not be decoded");
  }
  const TVideoOptions& v = FConvertOptions.VideoOptions();
  const int left = v.FrameLeftBand(), right = v.FrameRightBand();
  const int top = v.FrameTopBand(), bottom = v.FrameBottomBand();
  TVideoPathState video;
  video.crop = left + right + top + bottom != 0;
  video.scale = !(d->width - left - right == c->width && d->height - top - bottom == c->height &&
                  d->pix_fmt == c->pix_fmt);
  if (video.scale) {
    if (!sws_isSupportedInput(d->pix_fmt) || !sws_isSupportedOutput(c->pix_fmt)) {
      throw EAVError(
          WithReason("Cannot get resampling context for", FOutputFiles[ost.file_index],
                     fmt::format("the scaler cannot turn {} pictures of {} into {}",
                                 PixelFormatName(d->pix_fmt), FInputFiles[ist.file_index],
                                 PixelFormatName(c->pix_fmt))));
    }
    c->bits_per_raw_sample = 0;
  }
  video.height = d->height - top - bottom;
  video.width = d->width - left - right;
  video.pix_fmt = d->pix_fmt;
  const int template_flags = run_->avcodec_opts[static_cast<int>(TMediaKind::Video)]->flags;
  auto path =
      std::make_unique<TVideoPath>(std::move(record), run_->output_files[ost.file_index], context_,
                                   std::move(video), run_->sws_flags, template_flags);
  if (const int configured = path->ConfigureFilters(ist); configured != 0) {
    throw EAVError(WithReason("Error opening filters! for", FOutputFiles[ost.file_index],
                              AvErrorText(configured)));
  }
  return path;
}

void TConverterEngine::PrepareSubtitleEncoding(TOutputStreamState& ost,
                                               const TInputStreamState& ist) {
  AVCodecContext* c = ost.enc;
  const AVCodecContext* d = ist.dec;
  const int in = SubtitleNature(d->codec_id);
  const int out = SubtitleNature(c->codec_id);
  if (in != 0 && out != 0 && (in & out) == 0) {
    throw EAVError(
        "Subtitle encoding currently only possible from text to text or bitmap to bitmap");
  }
  // Text subtitles carry their style header from the decoder to the encoder.
  if (d->subtitle_header != nullptr && c->subtitle_header == nullptr) {
    c->subtitle_header = static_cast<uint8_t*>(av_mallocz(d->subtitle_header_size + 1));
    if (c->subtitle_header == nullptr) throw EAVError("Out of memory");
    std::memcpy(c->subtitle_header, d->subtitle_header, d->subtitle_header_size);
    c->subtitle_header_size = d->subtitle_header_size;
  }
}

void TConverterEngine::OpenDecoders() {
  for (auto& ist : run_->transcode->input_streams) {
    if (!ist->decoding_needed) continue;
    const AVCodec* codec = ist->dec->codec != nullptr ? ist->dec->codec
                                                      : avcodec_find_decoder(ist->dec->codec_id);
    if (codec == nullptr) {
      throw EAVError(WithReason(
          fmt::format("Unsupported codec for input stream #{}:{} of", ist->file_index, ist->index),
          FInputFiles[ist->file_index],
          fmt::format("no decoder for {} (codec tag {:#x})", avcodec_get_name(ist->dec->codec_id),
                      ist->st->codecpar->codec_tag)));
    }
    const int opened = avcodec_open2(ist->dec, codec, nullptr);
    if (opened < 0) {
      throw EAVError(WithReason("Error while opening codec for input stream ",
                                fmt::format("#{}:{}", ist->file_index, ist->index),
                                AvErrorText(opened)));
    }
    ist->frame.reset(av_frame_alloc());
    if (!ist->frame) throw EAVError("Out of memory");
  }
}

void TConverterEngine::WriteHeaders() {
  for (auto& ost : run_->transcode->output_streams) {
    run_->output_files[ost->file_index].InitBitstreamFilters(ost->index, ost->packet_time_base);
  }
  for (TOutputFile& file : run_->output_files) file.WriteHeader(run_->private_codec_options);
}

void TConverterEngine::CopyChapters(size_t input, size_t output) {
  AVFormatContext* is = run_->input_files[input].ctx.get();
  AVFormatContext* os = run_->output_files[output].ctx.get();
  const int64_t recording = FConvertOptions.RecordingTime();
  for (unsigned i = 0; i < is->nb_chapters; ++i) {
    const AVChapter* in = is->chapters[i];
    const int64_t ts_off =
        av_rescale_q(-run_->input_files[input].ts_offset, AV_TIME_BASE_Q, in->time_base);
    const int64_t rt = recording == MaxInt64 ? INT64_MAX : av_rescale_q(recording, AV_TIME_BASE_Q, in->time_base);
    if (in->end < ts_off) continue;
    if (rt != INT64_MAX && in->start > rt + ts_off) break;
    ChapterPtr out(static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter))));
    if (!out) throw EAVError("Copy chapters failed");
    out->id = in->id;
    out->time_base = in->time_base;
    out->start = std::max<int64_t>(0, in->start - ts_off);
    out->end = std::min(rt, in->end - ts_off);
    if (av_dict_copy(&out->metadata, in->metadata, 0) < 0 ||
        av_dynarray_add_nofree(&os->chapters, reinterpret_cast<int*>(&os->nb_chapters), out.get()) <
            0) {
      throw EAVError("Copy chapters failed");
    }
    out.release();  // the muxer context frees its chapters
  }
}

}  // namespace veltrano
