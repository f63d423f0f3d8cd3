#include "support/SubtitleFixture.h"

#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace veltrano::test {
namespace {

// One 32x16 picture subtitle in four colours.
void FillSubtitle(AVSubtitle& sub, AVSubtitleRect& rect, std::vector<uint8_t>& pixels,
                  std::vector<uint32_t>& palette, int shown_ms) {
  pixels.assign(32 * 16, 0);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 32; ++x) pixels[y * 32 + x] = static_cast<uint8_t>((x / 8 + y / 4) % 4);
  }
  palette = {0x00000000, 0xFFFFFFFF, 0xFFFF0000, 0xFF0000FF};
  rect = AVSubtitleRect{};
  rect.x = 100;
  rect.y = 400;
  rect.w = 32;
  rect.h = 16;
  rect.nb_colors = 4;
  rect.type = SUBTITLE_BITMAP;
  rect.data[0] = pixels.data();
  rect.linesize[0] = 32;
  rect.data[1] = reinterpret_cast<uint8_t*>(palette.data());
  rect.linesize[1] = 4 * 4;
  sub = AVSubtitle{};
  sub.format = 0;
  sub.start_display_time = 0;
  sub.end_display_time = static_cast<uint32_t>(shown_ms);
}

}  // namespace

bool MakeDvbSubtitleClip(const std::filesystem::path& video_ts, const std::filesystem::path& out,
                         int count, int shown_ms) {
  AVFormatContext* in = nullptr;
  if (avformat_open_input(&in, video_ts.c_str(), nullptr, nullptr) < 0) return false;
  avformat_find_stream_info(in, nullptr);
  AVFormatContext* mux = nullptr;
  avformat_alloc_output_context2(&mux, nullptr, "mpegts", out.c_str());
  AVStream* video = avformat_new_stream(mux, nullptr);
  avcodec_parameters_copy(video->codecpar, in->streams[0]->codecpar);
  video->time_base = in->streams[0]->time_base;
  AVStream* subs = avformat_new_stream(mux, nullptr);
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_DVB_SUBTITLE);
  AVCodecContext* enc = avcodec_alloc_context3(codec);
  enc->width = 720;
  enc->height = 576;
  enc->time_base = AVRational{1, 90000};
  bool ok = avcodec_open2(enc, codec, nullptr) >= 0;
  ok = ok && avcodec_parameters_from_context(subs->codecpar, enc) >= 0;
  subs->time_base = AVRational{1, 90000};
  ok = ok && avio_open(&mux->pb, out.c_str(), AVIO_FLAG_WRITE) >= 0;
  ok = ok && avformat_write_header(mux, nullptr) >= 0;

  AVPacket* pkt = av_packet_alloc();
  while (ok && av_read_frame(in, pkt) >= 0) {
    if (pkt->stream_index == 0) {
      pkt->stream_index = 0;
      av_packet_rescale_ts(pkt, in->streams[0]->time_base, video->time_base);
      ok = av_interleaved_write_frame(mux, pkt) >= 0;
    }
    av_packet_unref(pkt);
  }
  // Subtitles are timed from the start of the video.
  const int64_t start_us = in->start_time != AV_NOPTS_VALUE ? in->start_time : 0;
  std::vector<uint8_t> buffer(1 << 20);
  for (int i = 0; ok && i < count; ++i) {
    AVSubtitle sub;
    AVSubtitleRect rect;
    AVSubtitleRect* rects[1] = {&rect};
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> palette;
    FillSubtitle(sub, rect, pixels, palette, shown_ms);
    sub.num_rects = 1;
    sub.rects = rects;
    sub.pts = start_us + static_cast<int64_t>((0.3 + 0.7 * i) * AV_TIME_BASE);
    const int size = avcodec_encode_subtitle(enc, buffer.data(), static_cast<int>(buffer.size()), &sub);
    ok = size > 0 && av_new_packet(pkt, size) >= 0;
    if (!ok) break;
    std::memcpy(pkt->data, buffer.data(), size);
    pkt->stream_index = 1;
    pkt->pts = pkt->dts = av_rescale_q(sub.pts, AV_TIME_BASE_Q, subs->time_base);
    pkt->duration = av_rescale_q(shown_ms, AVRational{1, 1000}, subs->time_base);
    ok = av_interleaved_write_frame(mux, pkt) >= 0;
  }
  if (ok) ok = av_write_trailer(mux) >= 0;
  av_packet_free(&pkt);
  avcodec_free_context(&enc);
  if (mux->pb != nullptr) avio_closep(&mux->pb);
  avformat_free_context(mux);
  avformat_close_input(&in);
  return ok;
}

}  // namespace veltrano::test
