// The paths of the output streams: one per stream, from what the input side
// gives it (its source's packets, or the decoded frames) to the packets its
// output file writes. Each path owns its stream's record (encoder, sync
// position, two-pass statistics) and the state only its kind needs; it sees
// the run through a TRunContext. Transcode setup makes them once it has
// decided, per stream, between copying and encoding.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "converter/FFmpegPtr.h"
#include "engine/InputFile.h"
#include "engine/OutputFile.h"
#include "engine/RunContext.h"
#include "engine/TranscodeState.h"

namespace veltrano {

class TOutputPath {
 public:
  TOutputPath(std::unique_ptr<TOutputStreamState> stream, TOutputFile& file,
              const TRunContext& context);
  virtual ~TOutputPath();
  TOutputPath(const TOutputPath&) = delete;
  TOutputPath& operator=(const TOutputPath&) = delete;

  // True for a path that takes its source's packets as they are (a copy);
  // the others take decoded frames.
  virtual bool TakesPackets() const { return false; }
  // A packet of the source, its times in the source stream's time base.
  virtual void SendPacket(const TInputStreamState& ist, const AVPacket* pkt);
  // What decoding gave; an empty `decoded` says the source's decoding ended.
  virtual void SendFrame(TInputStreamState& ist, TDecoded& decoded);
  // Readies what the path needs once its encoder is open.
  virtual void EncoderOpened() {}
  // Ends the stream, once: nothing more is taken, and the encoder gives what
  // it still holds.
  void Finish();

  bool Finished() const { return stream_->finished; }
  int SourceIndex() const { return stream_->source_index; }
  double Position() const;  // seconds of the stream written to the muxer
  TOutputStreamState& Stream() { return *stream_; }
  const TOutputStreamState& Stream() const { return *stream_; }

 protected:
  // Drains what the path and its encoder still hold (Finish).
  virtual void Flush() {}
  // Hands `pkt` (times in the stream's packet time base) to the output file.
  void Write(AVPacket* pkt);
  [[noreturn]] void EncodingFailed(const char* kind, int error) const;
  // The time of the stream the output synchronises with, in seconds.
  double SyncInputSeconds() const;

  std::unique_ptr<TOutputStreamState> stream_;
  TOutputStreamState& ost_;  // *stream_
  TOutputFile& file_;
  const TRunContext& context_;
  PacketPtr packet_;  // the packet being written
};

// The source's packets re-timed into the output, as they are (OutputPath.cpp).
class TCopyPath : public TOutputPath {
 public:
  using TOutputPath::TOutputPath;
  bool TakesPackets() const override { return true; }
  void SendPacket(const TInputStreamState& ist, const AVPacket* in) override;
};

// What the audio path owns besides the record: the conversion to the
// encoder's rate, layout and format, and the samples waiting for a full
// encoder frame.
struct TAudioPathState {
  bool resampling = false;  // sticky once set
  SwrContextPtr resampler;
  int in_format = -1;  // decoder format the resampler was built for
  int in_rate = 0;
  int in_channels = 0;
  AudioFifoPtr fifo;
  FramePtr frame;  // encoder input
};

// Decoded samples: converted, kept in sync with the source, encoded frame by
// frame from the FIFO (AudioPath.cpp).
class TAudioPath : public TOutputPath {
 public:
  TAudioPath(std::unique_ptr<TOutputStreamState> stream, TOutputFile& file,
             const TRunContext& context, bool resampling);
  void SendFrame(TInputStreamState& ist, TDecoded& decoded) override;
  void EncoderOpened() override;

 private:
  void Flush() override;
  void PrepareConverter(const AVFrame* frame);
  void Queue(const uint8_t* const* data, int count);
  void QueueSilence(const AVFrame* frame, int64_t silence);
  void EncodeQueued(bool last);
  void EncodeSamples(int count);
  void ReceivePackets();

  TAudioPathState audio_;
};

// What the video path owns besides the record: the filter graph that crops,
// scales and converts the decoded pictures, the picture taken from its sink,
// and the frame-rate sync's correction.
struct TVideoPathState {
  bool crop = false;   // cropping asked for
  bool scale = false;  // scaling or a pixel format change asked for
  int width = 0;       // the picture the encoder takes
  int height = 0;
  int pix_fmt = -1;
  FilterGraphPtr graph;
  int graph_width = 0;  // decoded picture the graph was built for
  int graph_height = 0;
  int graph_pix_fmt = -1;
  AVFilterContext* buffer_source = nullptr;
  AVFilterContext* buffer_sink = nullptr;
  FramePtr filtered;  // picture taken from the sink
  // Input time (encoder time base units) taken out after timestamp jumps
  // that were treated as discontinuities.
  int64_t sync_offset = 0;
};

// Decoded pictures: filtered, dropped or duplicated by the frame-rate sync,
// encoded with their two-pass statistics (VideoPath.cpp).
class TVideoPath : public TOutputPath {
 public:
  // `sws_flags`: the scaler flags of the options; `template_flags`: the
  // codec flags the options set for video.
  TVideoPath(std::unique_ptr<TOutputStreamState> stream, TOutputFile& file,
             const TRunContext& context, TVideoPathState state, int sws_flags, int template_flags);
  void SendFrame(TInputStreamState& ist, TDecoded& decoded) override;
  // Builds the filter graph for the decoder of `ist`; 0, or a library error.
  int ConfigureFilters(TInputStreamState& ist);

 private:
  void Flush() override;
  int CreateGraphEnds(const AVCodecContext* dec);
  AVFilterContext* LinkFilterChain(const AVCodecContext* dec);
  int LinkUserFilters(AVFilterContext* last);
  void Filter(TInputStreamState& ist, AVFrame* frame);
  void FollowSizeChange(TInputStreamState& ist, const AVFrame* frame);
  int64_t FramesToWrite(double sync_ipts);
  void Output(TInputStreamState& ist, AVFrame* picture);
  void WriteCopies(const TInputStreamState& ist, AVFrame* picture, int64_t copies);
  void Encode(const AVFrame* picture);

  TVideoPathState video_;
  int sws_flags_;
  int template_flags_;
};

// Decoded subtitles: re-timed and encoded (DVB subtitles as a pair of
// packets: one that shows, one that clears) (SubtitlePath.cpp).
class TSubtitlePath : public TOutputPath {
 public:
  using TOutputPath::TOutputPath;
  void SendFrame(TInputStreamState& ist, TDecoded& decoded) override;

 private:
  void Output(const TInputStreamState& ist, AVSubtitle& subtitle, int64_t pts);

  std::vector<uint8_t> buffer_;  // one encoded subtitle
};

}  // namespace veltrano
