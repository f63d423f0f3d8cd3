// The state of one conversion run: option templates, opened inputs and
// outputs with their codec contexts, and the per-run tables. Created when a
// run starts, released (with every FFmpeg handle in it) at its end.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "converter/FFmpegPtr.h"
#include "converter/StreamProtocol.h"

namespace veltrano {

// Limits of the per-run tables; a job beyond them is refused before setup.
inline constexpr int kMaxInputFiles = 100;
inline constexpr int kMaxOutputFiles = 100;
inline constexpr int kMaxStreams = 2000;      // input streams, output streams, stream maps
inline constexpr int kMaxStreamsPerFile = 20;  // timestamp scale and filter chain tables

// Media kinds in the engine's order (as the option templates are indexed).
enum class TMediaKind : int { Video = 0, Audio = 1, Data = 2, Subtitle = 3, Attachment = 4 };
inline constexpr int kMediaKindCount = 5;

AVMediaType ToAVMediaType(TMediaKind kind);

// Output stream n takes stream `stream_index` of input `file_index`.
struct TStreamMap {
  int32_t file_index = 0;
  int32_t stream_index = 0;
  int32_t sync_file_index = 0;
  int32_t sync_stream_index = 0;
};

// Bitstream filters applied in order to every packet of one output stream.
using TBitstreamFilterChain = std::vector<BsfContextPtr>;

// An opened input: the demuxer and one decoder context per stream (the
// stream's decoder, opened only if some output needs decoding).
struct TInputFile {
  std::unique_ptr<TStreamIO> stream_io;  // byte stream of a "stream:N" input; outlives ctx
  InputFormatPtr ctx;
  std::vector<CodecContextPtr> decoders;
  // Packets seen per stream at the start of the input; the automatic stream
  // choice prefers the busiest of several streams of one kind.
  std::vector<int64_t> analysis_frames;
};

// An opened output: the muxer and, per stream, its encoder context (for a
// copied stream, the description of the copy).
struct TOutputFile {
  OutputFormatPtr ctx;
  std::vector<CodecContextPtr> encoders;
  std::vector<const AVCodec*> codecs;  // the encoder chosen per stream (none when copied)
  std::vector<bool> stream_copy;
  std::vector<float> quality;   // fixed-quality scale per stream (lambda units)
  Dictionary muxer_options;     // private muxer options handed over with the header
};

struct TTranscodeState;

struct TRunState {
  TRunState();
  ~TRunState();

  // Option templates: one codec context per media kind, a format context
  // and a scaler; the option setter writes them, contexts copy from them.
  std::array<CodecContextPtr, kMediaKindCount> avcodec_opts;
  FormatTemplatePtr avformat_opts;
  SwsContextPtr sws_opts;
  // Options that no generic class knows (encoder-private options such as
  // libx264's "preset"), in the order they were set; handed to the encoders.
  std::vector<std::pair<std::string, std::string>> private_codec_options;

  std::vector<TInputFile> input_files;
  std::vector<int64_t> input_files_ts_offset;              // µs, per input
  std::vector<std::vector<double>> input_files_ts_scale;  // [file][stream], 0 = none
  std::vector<TOutputFile> output_files;
  std::vector<std::vector<TBitstreamFilterChain>> bitstream_filters;  // [file][stream]
  std::vector<TStreamMap> stream_maps;
  // The records of the transcode, while it runs.
  std::unique_ptr<TTranscodeState> transcode;
};

}  // namespace veltrano
