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

#include "converter/CodecLock.h"
#include "converter/FFmpegPtr.h"
#include "converter/FileIdentity.h"
#include "converter/StreamPlan.h"
#include "converter/StreamProtocol.h"
#include "engine/InputFile.h"
#include "engine/OutputFile.h"

namespace veltrano {

// Limits of the per-run tables; a job beyond them is refused before setup.
inline constexpr int kMaxInputFiles = 100;
inline constexpr int kMaxOutputFiles = 100;
inline constexpr int kMaxStreams = 2000;       // input streams, output streams, stream maps
inline constexpr int kMaxStreamsPerFile = 20;  // timestamp scale and filter chain tables

// Media kinds in the engine's order (as the option templates are indexed).
enum class TMediaKind : int { Video = 0, Audio = 1, Data = 2, Subtitle = 3, Attachment = 4 };
inline constexpr int kMediaKindCount = 5;

AVMediaType ToAVMediaType(TMediaKind kind);

// Clock ticks per frame of a decoder's time base: 2 for the codecs that
// count time in fields (H.264, MPEG-1 and MPEG-2 video), else 1.
int TicksPerFrame(AVCodecID id);

// Output stream n takes stream `stream_index` of input `file_index`.
struct TStreamMap {
  int32_t file_index = 0;
  int32_t stream_index = 0;
  int32_t sync_file_index = 0;
  int32_t sync_stream_index = 0;
};

// Audio and picture parameters of a conversion. Input opening fills the run's
// record from the source streams; output setup derives each output's copy
// from it and the options, and never changes the record itself.
struct TStreamParameters {
  int audio_channels = 0;
  int audio_sample_rate = 0;
  int audio_sample_fmt = -1;   // AVSampleFormat
  int64_t channel_layout = 0;  // native channel mask; 0 when the layout is not native
  int frame_width = 0;         // decoded picture (reduced by lowres decoding)
  int frame_height = 0;
  int pix_fmt = -1;              // AVPixelFormat
  float frame_aspect_ratio = 0;  // display aspect of the picture
  AVRational frame_rate{0, 1};   // the rate the output runs at
};

// `parameters` with the audio fields of a decoder's stream (its channels,
// layout, rate and sample format).
void TakeAudioParameters(TStreamParameters& parameters, const AVCodecContext* decoder);

// The kinds of streams the opened inputs hold, as the stream plan reads them.
TSourceStreams SourceStreamsOf(const std::vector<TInputFile>& inputs);

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
  // Names of the generic options set, which contexts copy from the templates.
  std::vector<std::string> opt_names;
  int sws_flags = 0;  // the scaler flags the options asked for

  const AVInputFormat* input_format = nullptr;    // forced by InputFormat, else probed
  const AVOutputFormat* output_format = nullptr;  // forced by OutputFormat, else per name
  TStreamParameters source;                       // what input opening found

  std::vector<TInputFile> input_files;
  std::vector<TOutputFile> output_files;
  std::vector<TStreamMap> stream_maps;
  // The records of the transcode, while it runs.
  std::unique_ptr<TTranscodeState> transcode;
};

}  // namespace veltrano
