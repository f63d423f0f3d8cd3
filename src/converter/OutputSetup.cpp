// Output setup: the muxer of every output file, its video, audio and
// subtitle streams described from the options and the source's parameters,
// file metadata and muxer settings, and the bitstream filter chains. The
// encoders are only described here; transcode setup opens them.
#include <fmt/printf.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <ctime>

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "converter/AVError.h"
#include "converter/DeviceProfiles.h"
#include "converter/LegacyOptions.h"
#include "converter/MessageBoxes.h"
#include "converter/SafeOutputs.h"
#include "converter/SourceAccess.h"
#include "converter/StreamFit.h"
#include "converter/StreamPlan.h"
#include "engine/CodecLookup.h"
#include "engine/ConverterEngine.h"
#include "engine/OutputChoices.h"
#include "engine/RunState.h"

namespace veltrano {
namespace {

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// The display aspect ratio as a pixel aspect for a picture of width x height.
AVRational PixelAspect(float display_aspect, int width, int height) {
  if (width <= 0 || height <= 0) return AVRational{0, 1};
  return av_d2q(static_cast<double>(display_aspect) * height / width, 255);
}

std::string IsoTimeUtc(int64_t microseconds) {
  const std::time_t seconds = static_cast<std::time_t>(microseconds / 1000000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32] = {0};
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  return fmt::format("{}.{:06}Z", text, microseconds % 1000000);
}

const AVCodec* DefaultSubtitleEncoder(const AVOutputFormat* format, const std::string& name) {
  const AVCodecID id = av_guess_codec(format, nullptr, name.c_str(), nullptr, AVMEDIA_TYPE_SUBTITLE);
  return id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_encoder(id);
}

}  // namespace

// True when a program of `ctx` was chosen and stream `index` is in none of
// the programs kept: such a stream is never read, so no output stream may
// wait for it.
bool OutsideChosenProgram(const AVFormatContext* ctx, unsigned index) {
  bool chosen = false;
  for (unsigned p = 0; p < ctx->nb_programs; ++p) {
    const AVProgram* program = ctx->programs[p];
    if (program->discard == AVDISCARD_ALL) {
      chosen = true;
      continue;
    }
    for (unsigned i = 0; i < program->nb_stream_indexes; ++i) {
      if (program->stream_index[i] == index) return false;
    }
  }
  return chosen;
}

TSourceStreams SourceStreamsOf(const std::vector<TInputFile>& inputs) {
  TSourceStreams streams;
  for (const TInputFile& input : inputs) {
    for (unsigned i = 0; i < input.ctx->nb_streams; ++i) {
      if (OutsideChosenProgram(input.ctx.get(), i)) continue;
      const AVCodecParameters* par = input.ctx->streams[i]->codecpar;
      streams.video |= par->codec_type == AVMEDIA_TYPE_VIDEO;
      streams.audio |= par->codec_type == AVMEDIA_TYPE_AUDIO;
      if (par->codec_type == AVMEDIA_TYPE_SUBTITLE)
        streams.subtitle_codecs.push_back(par->codec_id);
    }
  }
  return streams;
}

// The sizes and formats of an output: the source's, with what the options
// ask for instead. The run's record of the source stays as it is.
TStreamParameters TConverterEngine::OutputParameters(const TStreamParameters& source) const {
  const TAudioOptions& audio = FConvertOptions.AudioOptions();
  const TVideoOptions& video = FConvertOptions.VideoOptions();
  TStreamParameters out = source;
  if (audio.AudioChannels() != 0) out.audio_channels = audio.AudioChannels();
  if (audio.AudioSampleRate() != 0) out.audio_sample_rate = audio.AudioSampleRate();
  if (audio.AudioSampleFmt() != sfAuto)
    out.audio_sample_fmt = LibrarySampleFormat(audio.AudioSampleFmt());
  // The source's pixel format, unless the caller chose one (DV profiles do).
  if (video.FramePixFormat() >= 0) out.pix_fmt = video.FramePixFormat();

  // Crop bands come off the decoded picture; an explicit size is the size
  // the cropped picture is scaled to, otherwise the output is the cropped size.
  const int horizontal = video.FrameLeftBand() + video.FrameRightBand();
  const int vertical = video.FrameTopBand() + video.FrameBottomBand();
  if (horizontal != 0 || vertical != 0) {
    out.frame_width -= horizontal;
    out.frame_height -= vertical;
    if (out.frame_width <= 0 || out.frame_height <= 0) {
      throw EAVError("crop dimensions are outside the range of the original image.");
    }
  }
  if (video.FrameWidth() != 0) out.frame_width = video.FrameWidth();
  if (video.FrameHeight() != 0) out.frame_height = video.FrameHeight();
  if (video.FrameWidth() == 0 && video.FrameHeight() == 0) {
    BoundFrameSize(out.frame_width, out.frame_height, video.MaxFrameWidth(),
                   video.MaxFrameHeight());
  }
  if (!video.CustomFrameRate()) {
    out.frame_rate = CappedFrameRate(out.frame_rate, video.MaxFrameRate());
  }
  return out;
}

void TConverterEngine::OpenOutputFile(int n) {
  VEL_ASSERT(n >= 0 && n < static_cast<int>(FOutputFiles.size()));
  const std::string& name = FOutputFiles[n];
  const TStreamParameters parameters = OutputParameters(run_->source);

  // The format guessed for the first output serves every later one.
  if (run_->output_format == nullptr) run_->output_format = OutputFormatFor(name, nullptr);
  const AVOutputFormat* format = run_->output_format;
  if (format == nullptr) {
    throw EAVError(fmt::sprintf("Unable to find a suitable output format for %s", name));
  }
  run_->output_files.push_back(TOutputFile{});
  TOutputFile& file = run_->output_files.back();
  file.name = name;
  file.index = n;
  file.context = &context_;
  file.sequence = IsPictureSequence(name, format);
  file.work_name = WorkName(name, file.sequence, NewWorkTag());
  {
    AVFormatContext* raw = nullptr;
    const int allocated =
        avformat_alloc_output_context2(&raw, format, nullptr, file.work_name.c_str());
    file.ctx.reset(raw);  // owned from the moment it exists
    if (allocated < 0 || !file.ctx) throw EAVError("Out of memory");
  }
  AVFormatContext* ctx = file.ctx.get();

  AddKeptTrackMaps(format);
  const TSourceStreams source = SourceStreamsOf(run_->input_files);
  const TOutputStreamPlan plan = PlanOutputStreams(FConvertOptions, format, source);
  const std::string missing = MissingStreamReason(format, plan, FConvertOptions, source,
                                                  FInputFiles.empty() ? "" : FInputFiles[0], false);
  if (!missing.empty()) {
    const bool nothing = !plan.video && !plan.audio && !plan.subtitle;
    throw EAVError(WithReason(nothing ? "Output file does not contain any stream"
                                      : "The output format needs a stream the source lacks",
                              name, missing));
  }
  if (plan.video) CreateVideoStream(file, n, parameters);
  if (plan.audio) CreateAudioStreams(file, n, parameters);
  if (plan.subtitle) CreateSubtitleStreams(file, n);

  if (FConvertOptions.RecTimestamp() != 0) {
    av_dict_set(&ctx->metadata, "creation_time",
                IsoTimeUtc(FConvertOptions.RecTimestamp()).c_str(), 0);
  }
  // Muxers convert the generic metadata names to their own when they write.
  for (const std::string& line : FConvertOptions.MetaData()) {
    auto [key, value] = SplitNameValue(line);
    if (!key.empty()) av_dict_set(&ctx->metadata, key.c_str(), value.c_str(), 0);
  }

  if ((format->flags & AVFMT_NEEDNUMBER) && !av_filename_number_test(name.c_str())) {
    throw EAVError("unexpected error");
  }
  OpenWorkFile(file, format);
  ApplyMuxerSettings(file);
}

// The encoder called `name`; an encoder this build lacks is replaced by the
// closest one it has, else the lookup fails as for any unknown name. The
// replacement is logged as a detail (info level): the profiles name old
// encoders on purpose, and the user has nothing to do about it.
const AVCodec* TConverterEngine::FindEncoder(const std::string& name, int kind) {
  const std::string replacement = ReplacementEncoder(name);
  if (!replacement.empty() && replacement != name) {
    if (LogLevel() >= AV_LOG_INFO) {
      DoLog(AV_LOG_INFO,
            fmt::format("Encoder {} is not available; {} is used instead\n", name, replacement));
    }
    return FindCodecByName(replacement, static_cast<AVMediaType>(kind), true);
  }
  return FindCodecByName(name, static_cast<AVMediaType>(kind), true);
}

AVStream* TConverterEngine::NewOutputStream(TOutputFile& file, TMediaKind kind,
                                            const AVCodec* encoder) {
  AVStream* st = avformat_new_stream(file.ctx.get(), nullptr);
  if (st == nullptr) throw EAVError("Could not alloc stream");
  st->id = st->index;
  CodecContextPtr c(avcodec_alloc_context3(encoder));
  if (!c) throw EAVError("Could not alloc stream");
  c->codec_type = ToAVMediaType(kind);
  file.encoders.push_back(std::move(c));
  file.codecs.push_back(encoder);
  file.stream_copy.push_back(false);
  file.quality.push_back(0.0f);

  const TMuxerOptions& mux = FConvertOptions.MuxerOptions();
  const TStrings& names = kind == TMediaKind::Video   ? mux.VideoBitstreamFilters()
                          : kind == TMediaKind::Audio ? mux.AudioBitstreamFilters()
                                                      : mux.SubtitleBitstreamFilters();
  file.muxed.emplace_back();
  file.muxed.back().filters = BuildBitstreamFilterChain(
      names, [this](const std::string& text) { ShowErrorBoxLater(text); });
  return st;
}

// A new audio or video stream of output n. A copied stream has no encoder;
// otherwise it gets the one called `encoder_name`, or the encoder of the codec
// the output's format guesses for its name. The codec context starts with the
// job's thread count and `codec_tag` (0: the format's own).
TEncodedStream TConverterEngine::NewEncodedStream(TOutputFile& file, int n, TMediaKind kind,
                                                  const std::string& encoder_name, bool copy,
                                                  int32_t codec_tag) {
  const AVMediaType type = ToAVMediaType(kind);
  const AVCodec* encoder = nullptr;
  AVCodecID codec_id = AV_CODEC_ID_NONE;
  if (!copy) {
    codec_id = av_guess_codec(file.ctx->oformat, nullptr, FOutputFiles[n].c_str(), nullptr, type);
    encoder = FindEncoder(encoder_name, type);
    if (encoder != nullptr) {
      codec_id = encoder->id;
    } else {
      encoder = avcodec_find_encoder(codec_id);
    }
  }
  AVStream* st = NewOutputStream(file, kind, encoder);
  AVCodecContext* c = file.encoders.back().get();
  c->thread_count = FConvertOptions.ThreadCount();
  if (codec_tag != 0) c->codec_tag = static_cast<unsigned>(codec_tag);
  return {st, c, encoder, codec_id};
}

// The encoder settings of a new video stream `c` of `file`: rate, size,
// aspect, pixel format, quality and rate control, from `out` and the options.
void TConverterEngine::ConfigureVideoEncoder(TOutputFile& file, AVStream* st, AVCodecContext* c,
                                             const AVCodec* encoder, AVCodecID codec_id,
                                             const TStreamParameters& out) {
  const TVideoOptions& v = FConvertOptions.VideoOptions();
  AVCodecContext* video_template = run_->avcodec_opts[static_cast<int>(TMediaKind::Video)].get();
  AVRational fps = out.frame_rate;
  if (fps.num == 0 || fps.den == 0) fps = AVRational{25, 1};
  c->codec_id = codec_id;
  CopyTemplateOptions(c, video_template, AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
  const bool bit_rate_asked = std::count(run_->opt_names.begin(), run_->opt_names.end(), "b") > 0;
  const float quality = ApplyVideoQuality(c, v.VideoQuality(), bit_rate_asked);
  if (quality < 0) {
    throw EAVError(fmt::format("Invalid quality {} for the encoder {}", v.VideoQuality(),
                               encoder != nullptr ? encoder->name : "?"));
  }
  file.quality.back() = quality;
  if (encoder != nullptr && encoder->supported_framerates != nullptr && !v.ForceFPS()) {
    fps = encoder->supported_framerates[av_find_nearest_q_idx(fps, encoder->supported_framerates)];
  }
  c->time_base = AVRational{fps.den, fps.num};
  c->framerate = fps;
  c->width = out.frame_width;
  c->height = out.frame_height;
  c->sample_aspect_ratio = PixelAspect(out.frame_aspect_ratio, c->width, c->height);
  st->sample_aspect_ratio = c->sample_aspect_ratio;
  c->pix_fmt = static_cast<AVPixelFormat>(out.pix_fmt);
  // A device that plays only some pixel formats gets one of them.
  const TDeviceCapabilities* device = FindDevice(FConvertOptions.Device());
  if (device != nullptr && v.FramePixFormat() < 0) {
    c->pix_fmt = static_cast<AVPixelFormat>(DevicePixelFormat(*device, codec_id, c->pix_fmt));
  }
  c->pix_fmt = ChoosePixelFormat(encoder, c->pix_fmt, c->strict_std_compliance);

  if (v.IntraOnly()) c->gop_size = 0;
  if (v.VideoQscale() != 0 || v.SameQuality()) {
    c->flags |= AV_CODEC_FLAG_QSCALE;
    file.quality.back() = static_cast<float>(FF_QP2LAMBDA) * v.VideoQscale();
    c->global_quality = static_cast<int>(std::nearbyint(file.quality.back()));
  }
  // The context frees its matrices, so it gets copies of the options' arrays.
  if (!v.IntraMatrix().empty()) c->intra_matrix = CopyMatrix(v.Intra_Matrix());
  if (!v.InterMatrix().empty()) c->inter_matrix = CopyMatrix(v.Inter_Matrix());

  c->rc_override_count = 0;
  if (c->rc_initial_buffer_occupancy == 0) {
    c->rc_initial_buffer_occupancy = c->rc_buffer_size * 3 / 4;
  }
  c->intra_dc_precision = v.IntraDcPrecision() - 8;
  if (FConvertOptions.DoPSNR()) c->flags |= AV_CODEC_FLAG_PSNR;
  if (v.Pass() == 1) c->flags |= AV_CODEC_FLAG_PASS1;
  if (v.Pass() == 2) c->flags |= AV_CODEC_FLAG_PASS2;
}

void TConverterEngine::CreateVideoStream(TOutputFile& file, int n, const TStreamParameters& out) {
  const TVideoOptions& v = FConvertOptions.VideoOptions();
  AVCodecContext* video_template = run_->avcodec_opts[static_cast<int>(TMediaKind::Video)].get();
  const bool copy = v.VideoStreamCopy();
  const auto [st, c, encoder, codec_id] = NewEncodedStream(
      file, n, TMediaKind::Video, v.EncoderVideoCodecName(), copy, v.VideoCodecTag());
  if ((v.VideoGlobalHeader() & 1) ||
      (v.VideoGlobalHeader() == 0 && (file.ctx->oformat->flags & AVFMT_GLOBALHEADER))) {
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    video_template->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  if (v.VideoGlobalHeader() & 2) {
    c->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
    video_template->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
  }

  if (copy) {
    file.stream_copy.back() = true;
    st->sample_aspect_ratio =
        PixelAspect(out.frame_aspect_ratio, out.frame_width, out.frame_height);
  } else {
    ConfigureVideoEncoder(file, st, c, encoder, codec_id, out);
  }
  if (!IsBlank(v.VideoLanguage())) av_dict_set(&st->metadata, "language", v.VideoLanguage().c_str(), 0);
}

// The audio streams of output n: with stream maps, one per map at the audio
// place of the output that names an audio stream (several tracks kept),
// each with its own track's channels and rate unless the options set them;
// else one, from the source's record.
void TConverterEngine::CreateAudioStreams(TOutputFile& file, int n, const TStreamParameters& out) {
  const std::vector<const AVCodecContext*> tracks = MappedTracks(AVMEDIA_TYPE_AUDIO);
  if (tracks.empty()) {
    CreateAudioStream(file, n, out);
    return;
  }
  for (const AVCodecContext* track : tracks) {
    TStreamParameters source = run_->source;
    TakeAudioParameters(source, track);
    CreateAudioStream(file, n, OutputParameters(source));
  }
}

// The decoders of the streams of `type` that the stream maps name from the
// next output stream on, up to the first map that names something else.
std::vector<const AVCodecContext*> TConverterEngine::MappedTracks(int type) const {
  size_t first_map = 0;  // the streams created so far, the current output's included
  for (const TOutputFile& earlier : run_->output_files) first_map += earlier.ctx->nb_streams;
  std::vector<const AVCodecContext*> tracks;
  const std::vector<TStreamMap>& maps = run_->stream_maps;
  for (size_t i = first_map; i < maps.size(); ++i) {
    const TStreamMap& map = maps[i];
    if (map.file_index < 0 || map.file_index >= static_cast<int>(run_->input_files.size())) break;
    const TInputFile& input = run_->input_files[map.file_index];
    if (map.stream_index < 0 || map.stream_index >= static_cast<int>(input.ctx->nb_streams)) break;
    const AVCodecContext* decoder = input.decoders[map.stream_index].get();
    if (decoder == nullptr || decoder->codec_type != type) break;
    tracks.push_back(decoder);
  }
  return tracks;
}

void TConverterEngine::CreateAudioStream(TOutputFile& file, int n, const TStreamParameters& out) {
  const TAudioOptions& a = FConvertOptions.AudioOptions();
  AVCodecContext* audio_template = run_->avcodec_opts[static_cast<int>(TMediaKind::Audio)].get();
  const bool copy = a.AudioStreamCopy();
  const auto [st, c, encoder, codec_id] = NewEncodedStream(
      file, n, TMediaKind::Audio, a.EncoderAudioCodecName(), copy, a.AudioCodecTag());
  if (file.ctx->oformat->flags & AVFMT_GLOBALHEADER) {
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    audio_template->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }

  // The source's layout when it has the requested channel count, else the
  // standard layout for that count.
  uint64_t mask = static_cast<uint64_t>(out.channel_layout);
  if (std::popcount(mask) != a.AudioChannels()) mask = 0;
  av_channel_layout_uninit(&c->ch_layout);
  if (mask != 0) {
    av_channel_layout_from_mask(&c->ch_layout, mask);
  } else {
    av_channel_layout_default(&c->ch_layout, out.audio_channels);
  }

  if (copy) {
    file.stream_copy.back() = true;
    c->sample_rate = out.audio_sample_rate;
  } else {
    CopyTemplateOptions(c, audio_template, AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    c->codec_id = codec_id;
    if (a.AudioQScale() > kNoAudioQScale) {
      c->flags |= AV_CODEC_FLAG_QSCALE;
      file.quality.back() = static_cast<float>(FF_QP2LAMBDA) * a.AudioQScale();
      c->global_quality = static_cast<int>(std::nearbyint(file.quality.back()));
    }
    c->sample_fmt = static_cast<AVSampleFormat>(out.audio_sample_fmt);
    c->sample_fmt = ChooseSampleFormat(encoder, c->sample_fmt);
    int chosen_rate = out.audio_sample_rate;
    if (ChooseSampleRate(encoder, out.audio_sample_rate, chosen_rate)) {
      av_log(nullptr, AV_LOG_WARNING,
             "Requested sampling rate unsupported using closest supported (%d)\n", chosen_rate);
    }
    c->sample_rate = chosen_rate;
  }
  // The time base counts samples at the rate the encoder really runs at.
  c->time_base = AVRational{1, c->sample_rate > 0 ? c->sample_rate : 1};
  if (!IsBlank(a.AudioLanguage())) av_dict_set(&st->metadata, "language", a.AudioLanguage().c_str(), 0);
}

// The subtitle streams of output n: one per map at the subtitle place of the
// output that names a subtitle stream, else one.
void TConverterEngine::CreateSubtitleStreams(TOutputFile& file, int n) {
  const size_t count = std::max<size_t>(MappedTracks(AVMEDIA_TYPE_SUBTITLE).size(), 1);
  for (size_t i = 0; i < count; ++i) CreateSubtitleStream(file, n);
}

void TConverterEngine::CreateSubtitleStream(TOutputFile& file, int n) {
  const TSubtitleOptions& s = FConvertOptions.SubtitleOptions();
  const bool copy = s.SubtitleStreamCopy();
  const AVCodec* encoder = nullptr;
  if (!copy) {
    encoder = s.SubtitleCodecName().empty()
                  ? DefaultSubtitleEncoder(file.ctx->oformat, FOutputFiles[n])
                  : FindEncoder(s.SubtitleCodecName(), AVMEDIA_TYPE_SUBTITLE);
  }
  AVStream* st = NewOutputStream(file, TMediaKind::Subtitle, encoder);
  AVCodecContext* c = file.encoders.back().get();
  if (s.SubtitleCodecTag() != 0) c->codec_tag = static_cast<unsigned>(s.SubtitleCodecTag());
  c->time_base = AV_TIME_BASE_Q;
  if (copy) {
    file.stream_copy.back() = true;
  } else {
    CopyTemplateOptions(c, run_->avcodec_opts[static_cast<int>(TMediaKind::Subtitle)].get(),
                        AV_OPT_FLAG_SUBTITLE_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    c->codec_id = encoder != nullptr ? encoder->id : AV_CODEC_ID_NONE;
  }
  if (!s.SubtitleLanguage().empty()) {
    av_dict_set(&st->metadata, "language", s.SubtitleLanguage().c_str(), 0);
  }
}

void TConverterEngine::ApplyMuxerSettings(TOutputFile& file) {
  AVFormatContext* ctx = file.ctx.get();
  const TMuxerOptions& mux = FConvertOptions.MuxerOptions();
  ctx->max_delay = static_cast<int>(std::lround(mux.MuxMaxDelay() * 1000000.0));
  // Preload and loop count are private options of the muxers that have them.
  if (MuxerHasOption(file.ctx->oformat, "preload")) {
    file.muxer_options.Set("preload", std::to_string(std::lround(mux.MuxPreload() * 1000000.0)));
  }
  if (MuxerHasOption(file.ctx->oformat, "loop")) {
    file.muxer_options.Set("loop", std::to_string(FConvertOptions.LoopOutput()));
  }
  ctx->flags |= AVFMT_FLAG_NONBLOCK;
  // Muxer options are encoding options: copying the decoding ones would leave
  // out packetsize and the like, which disc formats depend on.
  CopyTemplateOptions(ctx, run_->avformat_opts.get(), AV_OPT_FLAG_ENCODING_PARAM);
}

}  // namespace veltrano
