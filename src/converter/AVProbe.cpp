#include "converter/AVProbe.h"

#include <filesystem>
#include <system_error>

#include <fmt/printf.h>

#include "converter/AVError.h"

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

}  // namespace

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
