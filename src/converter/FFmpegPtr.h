// Owners for FFmpeg handles. Every handle the engine obtains lives in one of
// these, so that every path out of a stage (including exceptions) releases it
// with the library's own release function.
#pragma once

#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace veltrano {

struct CodecContextDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
// A demuxer context: opened inputs are closed, unopened ones only freed.
struct InputFormatDeleter {
  void operator()(AVFormatContext* c) const {
    if (c->iformat != nullptr) {
      avformat_close_input(&c);
    } else {
      avformat_free_context(c);
    }
  }
};
// A muxer context: its byte stream is closed when the format writes a file.
struct OutputFormatDeleter {
  void operator()(AVFormatContext* c) const {
    if (c->oformat != nullptr && !(c->oformat->flags & AVFMT_NOFILE) && c->pb != nullptr) {
      avio_closep(&c->pb);
    }
    avformat_free_context(c);
  }
};
// A bare format context used only as an option template.
struct FormatTemplateDeleter {
  void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
struct SwsContextDeleter {
  void operator()(SwsContext* c) const { sws_freeContext(c); }
};
struct SwrContextDeleter {
  void operator()(SwrContext* c) const { swr_free(&c); }
};
struct BsfContextDeleter {
  void operator()(AVBSFContext* c) const { av_bsf_free(&c); }
};
struct FilterGraphDeleter {
  void operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
};
struct AudioFifoDeleter {
  void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
struct DictionaryDeleter {
  void operator()(AVDictionary* d) const { av_dict_free(&d); }
};
// A chapter not yet handed to a muxer context.
struct ChapterDeleter {
  void operator()(AVChapter* c) const {
    av_dict_free(&c->metadata);
    av_free(c);
  }
};
// Sample buffers made by av_samples_alloc_array_and_samples: the array of
// plane pointers and the one block they point into.
struct SampleArrayDeleter {
  void operator()(uint8_t** planes) const {
    av_freep(&planes[0]);
    av_free(planes);
  }
};
struct AvFreeDeleter {
  void operator()(void* p) const { av_free(p); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using FormatTemplatePtr = std::unique_ptr<AVFormatContext, FormatTemplateDeleter>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextDeleter>;
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;
using BsfContextPtr = std::unique_ptr<AVBSFContext, BsfContextDeleter>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;
using ChapterPtr = std::unique_ptr<AVChapter, ChapterDeleter>;
using SampleArrayPtr = std::unique_ptr<uint8_t*, SampleArrayDeleter>;

// An AVDictionary that frees itself; `get()` gives the address the library
// functions take.
class Dictionary {
 public:
  Dictionary() = default;
  Dictionary(const Dictionary& other) { av_dict_copy(&dict_, other.dict_, 0); }
  Dictionary& operator=(const Dictionary& other) {
    if (this != &other) {
      av_dict_free(&dict_);
      av_dict_copy(&dict_, other.dict_, 0);
    }
    return *this;
  }
  ~Dictionary() { av_dict_free(&dict_); }

  void Set(const std::string& key, const std::string& value) {
    av_dict_set(&dict_, key.c_str(), value.c_str(), 0);
  }
  const char* Get(const std::string& key) const {
    const AVDictionaryEntry* e = av_dict_get(dict_, key.c_str(), nullptr, 0);
    return e != nullptr ? e->value : nullptr;
  }
  int Count() const { return av_dict_count(dict_); }
  AVDictionary** get() { return &dict_; }
  AVDictionary* raw() const { return dict_; }

 private:
  AVDictionary* dict_ = nullptr;
};

// The library's text for an error code.
inline std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {0};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace veltrano
