#include "converter/AVPreview.h"

#include <cstring>

#include <fmt/printf.h>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "converter/AVError.h"
#include "converter/AVLib.h"
#include "converter/MessageBoxes.h"
#include "converter/StreamProtocol.h"

namespace veltrano {

uint32_t TPreviewBitmap::Pixel(int x, int y) const {
  const uint8_t* p = Row(y) + static_cast<size_t>(x) * 3;
  return (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
}

void TPreviewBitmap::SetSize(int width, int height) {
  width_ = width;
  height_ = height;
  stride_ = (width * 3 + 3) & ~3;
  pixels_.assign(static_cast<size_t>(stride_) * height, 0);
}

TAVPreview::TAVPreview() {
  LoadMediaLibraries();
}

TAVPreview::~TAVPreview() {
  Close();
}

void TAVPreview::SetInputFile(const std::string& value) {
  FInputFile = value;
  if (FActive) Close();
}

void TAVPreview::SetActive(bool value) {
  if (value == FActive) return;
  if (!value) {
    Close();
    return;
  }
  if (!Open()) {
    Close();
    return;
  }
  ShowFrame();
  FActive = true;
}

void TAVPreview::SetTimestamp(double seconds) {
  const auto t = static_cast<int64_t>(seconds * 1000000.0);
  if (t == Ftimestamp || !FActive) return;
  if (seconds > FDuration) {
    ShowErrorBox("timestamp can not be large than stream duration!");
    return;
  }
  Ftimestamp = t;
  ShowFrame();
}

bool TAVPreview::Open() {
  InputFormatPtr ctx(avformat_alloc_context());
  if (!ctx) return false;
  if (IsStreamName(FInputFile)) {
    try {
      stream_io_ = OpenStreamIO(FInputFile);
    } catch (const EAVError&) {
      return false;
    }
    ctx->pb = stream_io_->Context();
    ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  AVFormatContext* raw = ctx.release();  // freed by the library when opening fails
  if (avformat_open_input(&raw, FInputFile.c_str(), nullptr, nullptr) != 0) return false;
  ic.reset(raw);
  if (avformat_find_stream_info(ic.get(), nullptr) < 0) return false;

  videoStream = -1;
  for (unsigned i = 0; i < ic->nb_streams; ++i) {
    if (ic->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      videoStream = static_cast<int>(i);
      break;
    }
  }
  if (videoStream < 0) return false;

  const AVCodecParameters* par = ic->streams[videoStream]->codecpar;
  const AVCodec* pCodec = avcodec_find_decoder(par->codec_id);
  if (pCodec == nullptr) return false;
  pCodecCtx.reset(avcodec_alloc_context3(pCodec));
  if (!pCodecCtx || avcodec_parameters_to_context(pCodecCtx.get(), par) < 0 ||
      avcodec_open2(pCodecCtx.get(), pCodec, nullptr) < 0) {
    return false;
  }
  pFrame.reset(av_frame_alloc());
  pFrameRGB.reset(av_frame_alloc());
  if (!pFrame || !pFrameRGB) return false;

  FStartTime = ic->start_time != AV_NOPTS_VALUE ? ic->start_time : 0;
  FDuration = ic->duration != AV_NOPTS_VALUE ? static_cast<double>(ic->duration) / 1000000.0 : 0;
  return true;
}

void TAVPreview::Close() {
  pSwsCtx.reset();
  pFrameRGB.reset();
  pFrame.reset();
  pCodecCtx.reset();
  ic.reset();
  stream_io_.reset();  // frees a stream object opened by name
  videoStream = -1;
  FActive = false;
  Ftimestamp = 0;
}

void TAVPreview::ShowFrame() {
  Ftimestamp += FStartTime;
  if (Ftimestamp != 0 && av_seek_frame(ic.get(), -1, Ftimestamp, AVSEEK_FLAG_BACKWARD) < 0) {
    ShowErrorBox(fmt::sprintf("could not seek to position %s", SecondsToTimeText(Timestamp())));
  }
  if (!DecodeFirstPicture() || !ConvertPicture()) return;  // the old picture stays
  FActive = true;
  if (FOnChanged) FOnChanged();
}

// The first picture the decoder gives from the read position on (not
// necessarily the one at the exact time asked for).
bool TAVPreview::DecodeFirstPicture() {
  AVCodecContext* decoder = pCodecCtx.get();
  avcodec_flush_buffers(decoder);  // nothing from before the seek
  PacketPtr packet(av_packet_alloc());
  if (!packet) return false;
  while (av_read_frame(ic.get(), packet.get()) >= 0) {
    const bool ours = packet->stream_index == videoStream;
    if (ours) avcodec_send_packet(decoder, packet.get());  // a damaged packet is skipped
    av_packet_unref(packet.get());
    if (ours && avcodec_receive_frame(decoder, pFrame.get()) == 0) return true;
  }
  // The source ended: pictures still held by the decoder count too.
  avcodec_send_packet(decoder, nullptr);
  return avcodec_receive_frame(decoder, pFrame.get()) == 0;
}

bool TAVPreview::ConvertPicture() {
  const AVFrame* picture = pFrame.get();
  const int width = picture->width;
  const int height = picture->height;
  if (width <= 0 || height <= 0) return false;
  pSwsCtx.reset(sws_getCachedContext(pSwsCtx.release(), width, height,
                                     static_cast<AVPixelFormat>(picture->format), width, height,
                                     AV_PIX_FMT_RGB24, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!pSwsCtx) return false;
  AVFrame* rgb = pFrameRGB.get();
  if (rgb->width != width || rgb->height != height || rgb->data[0] == nullptr) {
    av_frame_unref(rgb);
    rgb->width = width;
    rgb->height = height;
    rgb->format = AV_PIX_FMT_RGB24;
    if (av_frame_get_buffer(rgb, 0) < 0) return false;
  }
  if (sws_scale(pSwsCtx.get(), picture->data, picture->linesize, 0, height, rgb->data,
                rgb->linesize) != height) {
    return false;
  }
  // The converted rows are as long as the library likes; the bitmap's are
  // width * 3 bytes padded to 4.
  FBitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    std::memcpy(FBitmap.Row(y), rgb->data[0] + static_cast<ptrdiff_t>(y) * rgb->linesize[0],
                static_cast<size_t>(width) * 3);
  }
  av_frame_unref(pFrame.get());
  return true;
}

}  // namespace veltrano
