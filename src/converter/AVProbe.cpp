#include "converter/AVProbe.h"

#include <filesystem>
#include <system_error>

#include <fmt/printf.h>

#include "converter/AVError.h"
#include "converter/StreamProtocol.h"

namespace veltrano {
namespace {

bool FileExists(const std::string& name) {
  std::error_code error;
  return !name.empty() && std::filesystem::exists(std::filesystem::path(name), error);
}

template <class G>
TPropInfo ReadOnly(const char* name, TPropKind kind, G getter) {
  TPropInfo info;
  info.name = name;
  info.kind = kind;
  info.get = [getter](const TPersistent& o) -> TPropValue {
    return props_detail::ToValue((static_cast<const TAVProbe&>(o).*getter)());
  };
  return info;
}

std::string MetadataValue(const AVDictionary* metadata, const char* key) {
  const AVDictionaryEntry* entry = av_dict_get(metadata, key, nullptr, 0);
  return entry != nullptr && entry->value != nullptr ? entry->value : std::string();
}

double FrameRateOf(const AVStream* st) {
  const AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
  return rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
}

TProbedStream DescribeStream(const AVStream* st) {
  const AVCodecParameters* par = st->codecpar;
  TProbedStream stream;
  stream.index = st->index;
  const char* kind = av_get_media_type_string(par->codec_type);
  stream.kind = kind != nullptr ? kind : "data";
  stream.codec = avcodec_get_name(par->codec_id);
  stream.codec_id = par->codec_id;
  stream.language = MetadataValue(st->metadata, "language");
  stream.title = MetadataValue(st->metadata, "title");
  stream.bit_rate = par->bit_rate;
  stream.is_default = (st->disposition & AV_DISPOSITION_DEFAULT) != 0;
  if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
    stream.channels = par->ch_layout.nb_channels;
    stream.sample_rate = par->sample_rate;
  } else if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    stream.width = par->width;
    stream.height = par->height;
    stream.frame_rate = FrameRateOf(st);
  }
  return stream;
}

std::string LibraryReason(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace

const TProbedStream* TProbedMedia::Track(const std::string& kind, int track) const {
  for (const TProbedStream& stream : streams) {
    if (stream.kind == kind && stream.track == track) return &stream;
  }
  return nullptr;
}

int TProbedMedia::TrackCount(const std::string& kind) const {
  int count = 0;
  for (const TProbedStream& stream : streams) count += stream.kind == kind ? 1 : 0;
  return count;
}

TProbedMedia ListMediaStreams(const std::string& name, TProbeDepth depth) {
  // Declared first so that it outlives the demuxer that reads from it.
  std::unique_ptr<TStreamIO> stream_io;
  InputFormatPtr ctx(avformat_alloc_context());
  if (!ctx) throw EAVError("Out of memory");
  if (IsStreamName(name)) {
    stream_io = OpenStreamIO(name);
    ctx->pb = stream_io->Context();
    ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  AVFormatContext* raw = ctx.release();
  int code = avformat_open_input(&raw, name.c_str(), nullptr, nullptr);
  if (code < 0) throw EAVError(LibraryReason(code));  // the context is freed on failure
  ctx.reset(raw);
  const bool declared = (ctx->ctx_flags & AVFMTCTX_NOHEADER) == 0 && ctx->nb_streams > 0;
  if (depth == TProbeDepth::Full || !declared) {
    code = avformat_find_stream_info(ctx.get(), nullptr);
    if (code < 0) throw EAVError(LibraryReason(code));
  }

  TProbedMedia media;
  media.container = ctx->iformat->name;
  media.container_long = ctx->iformat->long_name != nullptr ? ctx->iformat->long_name : "";
  media.duration = ctx->duration > 0 ? static_cast<double>(ctx->duration) / AV_TIME_BASE : 0;
  media.bit_rate = ctx->bit_rate;
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    TProbedStream stream = DescribeStream(ctx->streams[i]);
    stream.track = media.TrackCount(stream.kind) + 1;
    media.streams.push_back(std::move(stream));
  }
  return media;
}

TAVProbe::~TAVProbe() {
  Close();
}

const TPropList& TAVProbe::Properties() const {
  static const TPropList list = {
      MakeProperty<TAVProbe>("Active", TPropKind::Boolean, &TAVProbe::Active, &TAVProbe::SetActive),
      MakeProperty<TAVProbe>("FileName", TPropKind::String, &TAVProbe::FileName,
                             &TAVProbe::SetFileName),
      ReadOnly("VideoEncoderName", TPropKind::String, &TAVProbe::VideoEncoderName),
      ReadOnly("AudioEncoderName", TPropKind::String, &TAVProbe::AudioEncoderName),
      ReadOnly("VideoWidth", TPropKind::Integer, &TAVProbe::VideoWidth),
      ReadOnly("VideoHeight", TPropKind::Integer, &TAVProbe::VideoHeight),
      ReadOnly("VideoFrameRate", TPropKind::Double, &TAVProbe::VideoFrameRate),
      ReadOnly("SampleRate", TPropKind::Integer, &TAVProbe::SampleRate),
      ReadOnly("Channels", TPropKind::Integer, &TAVProbe::Channels),
      ReadOnly("VideoBitrate", TPropKind::Integer, &TAVProbe::VideoBitrate),
      ReadOnly("AudioBitrate", TPropKind::Integer, &TAVProbe::AudioBitrate),
      ReadOnly("HasVideo", TPropKind::Boolean, &TAVProbe::HasVideo),
      ReadOnly("HasAudio", TPropKind::Boolean, &TAVProbe::HasAudio),
  };
  return list;
}

void TAVProbe::SetActive(bool value) {
  if (value == FActive) return;
  if (value) {
    if (!FileExists(FFileName)) return;
    Open();
  } else {
    // Closed even when the file has gone meanwhile: nothing keeps it open.
    Close();
  }
  FActive = value;
}

void TAVProbe::Open() {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, FFileName.c_str(), nullptr, nullptr) < 0) {
    throw EAVError("Error Opening File!");
  }
  fmt_ctx.reset(raw);
  try {
    if (avformat_find_stream_info(fmt_ctx.get(), nullptr) < 0) {
      throw EAVError("Can not find stream information");
    }
    FHasVideo = false;
    FHasAudio = false;
    for (unsigned i = 0; i < fmt_ctx->nb_streams; ++i) {
      const AVMediaType type = fmt_ctx->streams[i]->codecpar->codec_type;
      if (type == AVMEDIA_TYPE_VIDEO && !FHasVideo) {
        FHasVideo = true;
        ReadStream(static_cast<int>(i));
      } else if (type == AVMEDIA_TYPE_AUDIO && !FHasAudio) {
        FHasAudio = true;
        ReadStream(static_cast<int>(i));
      }
    }
  } catch (...) {
    Close();  // a failed activation keeps nothing open
    throw;
  }
}

void TAVProbe::ReadStream(int index) {
  const AVStream* st = fmt_ctx->streams[index];
  const AVCodecParameters* par = st->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
  if (decoder == nullptr) {
    throw EAVError(fmt::sprintf("Unsupported codec(id=%d) for input stream %d",
                                static_cast<int>(par->codec_id), index));
  }
  CodecContextPtr context(avcodec_alloc_context3(decoder));
  if (!context || avcodec_parameters_to_context(context.get(), par) < 0 ||
      avcodec_open2(context.get(), decoder, nullptr) < 0) {
    throw EAVError(fmt::sprintf("Error while opening codec for input stream %d", index));
  }
  if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    FVideoEncoderName = decoder->name;
    FVideoWidth = context->width;
    FVideoHeight = context->height;
    FVideoBitrate = static_cast<int>(context->bit_rate);
    FVideoFrameRate = st->r_frame_rate.den != 0
                          ? static_cast<double>(st->r_frame_rate.num) / st->r_frame_rate.den
                          : 0;
    video_decoder_ = std::move(context);
  } else {
    FAudioEncoderName = decoder->name;
    FSampleRate = context->sample_rate;
    FChannels = context->ch_layout.nb_channels;
    const int bits = av_get_bits_per_sample(par->codec_id);
    FAudioBitrate =
        bits != 0 ? FSampleRate * FChannels * bits : static_cast<int>(context->bit_rate);
    audio_decoder_ = std::move(context);
  }
}

void TAVProbe::Close() {
  video_decoder_.reset();
  audio_decoder_.reset();
  fmt_ctx.reset();
}

}  // namespace veltrano
