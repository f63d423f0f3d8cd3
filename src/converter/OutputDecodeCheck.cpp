#include "engine/OutputDecodeCheck.h"

#include <memory>

#include "converter/AVError.h"
#include "converter/ConvertThread.h"
#include "converter/FFmpegPtr.h"

namespace veltrano {
namespace {

bool Decodes(AVMediaType kind) {
  return kind == AVMEDIA_TYPE_VIDEO || kind == AVMEDIA_TYPE_AUDIO || kind == AVMEDIA_TYPE_SUBTITLE;
}

// A decoder for one stream and what it has met so far.
class TStreamDecoder {
 public:
  TStreamDecoder(const AVStream* st, int threads) : st_(st) {
    result_.index = st->index;
    result_.kind = st->codecpar->codec_type;
    const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
    if (codec == nullptr) {
      result_.failure =
          std::string("没有 ") + avcodec_get_name(st->codecpar->codec_id) + " 的解码器";
      return;
    }
    dec_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    if (!dec_ || !frame_ || avcodec_parameters_to_context(dec_.get(), st->codecpar) < 0) {
      throw EAVError("Out of memory");
    }
    dec_->pkt_timebase = st->time_base;
    dec_->thread_count = threads;
    dec_->err_recognition |= AV_EF_CRCCHECK;
    // The pictures are never looked at: the deblocking filter smooths them
    // after all of a picture's data has been read, so leaving it out finds
    // every error it would find, for a sixth less CPU with H.264.
    dec_->skip_loop_filter = AVDISCARD_ALL;
    const int opened = avcodec_open2(dec_.get(), codec, nullptr);
    if (opened < 0) {
      result_.failure = "解码器打不开: " + AvErrorText(opened);
      dec_.reset();
    }
  }

  bool Usable() const { return dec_ != nullptr; }

  // Decodes `pkt` (nullptr: the end of the stream).
  void Decode(const AVPacket* pkt) {
    if (!Usable()) return;
    if (pkt != nullptr) {
      ++result_.packets;
      if (pkt->pts != AV_NOPTS_VALUE || pkt->dts != AV_NOPTS_VALUE) {
        position_ = static_cast<double>(pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts) *
                    av_q2d(st_->time_base);
      }
    }
    if (result_.kind == AVMEDIA_TYPE_SUBTITLE) {
      DecodeSubtitle(pkt);
      return;
    }
    const int sent = avcodec_send_packet(dec_.get(), pkt);
    if (sent < 0 && sent != AVERROR_EOF && sent != AVERROR(EAGAIN)) Error(AvErrorText(sent));
    while (true) {
      const int ret = avcodec_receive_frame(dec_.get(), frame_.get());
      if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
      if (ret < 0) {
        Error(AvErrorText(ret));
        if (pkt == nullptr) return;  // a failing flush gives nothing more
        continue;
      }
      ++result_.frames;
      if (frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT)) {
        Error("帧已损坏");
      }
      av_frame_unref(frame_.get());
    }
  }

  // An error message of the library raised while this stream's data was decoded.
  void Error(const std::string& text) {
    if (result_.errors++ == 0) {
      result_.first_error = position_;
      result_.first_error_text = text;
    }
  }

  const TStreamDecoding& Result() const { return result_; }

 private:
  void DecodeSubtitle(const AVPacket* pkt) {
    if (pkt == nullptr) return;
    AVSubtitle subtitle{};
    int got = 0;
    const int ret =
        avcodec_decode_subtitle2(dec_.get(), &subtitle, &got, const_cast<AVPacket*>(pkt));
    if (ret < 0) {
      Error(AvErrorText(ret));
      return;
    }
    if (got) {
      ++result_.frames;
      avsubtitle_free(&subtitle);
    }
  }

  const AVStream* st_;
  CodecContextPtr dec_;
  FramePtr frame_;
  TStreamDecoding result_;
  double position_ = 0;
};

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

TOutputDecoding DecodeStreams(AVFormatContext* ctx, int threads,
                              const std::function<bool()>& keep_going) {
  std::vector<std::unique_ptr<TStreamDecoder>> decoders(ctx->nb_streams);
  for (unsigned i = 0; i < ctx->nb_streams; ++i) {
    if (Decodes(ctx->streams[i]->codecpar->codec_type)) {
      decoders[i] = std::make_unique<TStreamDecoder>(ctx->streams[i], threads);
    }
  }
  // The decoders' own error messages count as errors of the stream whose
  // data they were decoding; none of them reaches the task's log.
  TStreamDecoder* current = nullptr;
  TLogCapture capture([&current](int level, const std::string& text) {
    if (current != nullptr && level <= AV_LOG_ERROR) current->Error(Trimmed(text));
  });
  TOutputDecoding decoding;
  PacketPtr pkt(av_packet_alloc());
  if (!pkt) throw EAVError("Out of memory");
  double position = 0;
  while (true) {
    const int read = av_read_frame(ctx, pkt.get());
    if (read < 0) {
      if (read != AVERROR_EOF) {
        decoding.read_error = AvErrorText(read);
        decoding.read_error_at = position;
      }
      break;
    }
    const unsigned index = static_cast<unsigned>(pkt->stream_index);
    if (pkt->dts != AV_NOPTS_VALUE && index < ctx->nb_streams) {
      position = static_cast<double>(pkt->dts) * av_q2d(ctx->streams[index]->time_base);
    }
    if (index < decoders.size() && decoders[index] != nullptr) {
      current = decoders[index].get();
      current->Decode(pkt.get());
      current = nullptr;
    }
    av_packet_unref(pkt.get());
    if (keep_going && !keep_going()) {
      decoding.complete = false;
      break;
    }
  }
  for (auto& decoder : decoders) {
    if (decoder == nullptr) continue;
    current = decoder.get();
    decoder->Decode(nullptr);
    current = nullptr;
    decoding.streams.push_back(decoder->Result());
  }
  return decoding;
}

}  // namespace veltrano
