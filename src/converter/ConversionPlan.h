// What setup made of a job, before the first packet moves: what the run
// learned of its source, which input streams it reads, and for every output
// stream the input stream that feeds it, whether it is copied or re-encoded
// and why, and the encoder with its parameters. The converter keeps the plan
// of its last run (TAVConverter::Plan); the log prints it at the info level.
//
// A plain value without library types, so that any layer may read it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltrano {

// The picture and sound the run found in its source (the first video and
// audio stream), as the outputs derive theirs from it.
struct TPlannedSource {
  int width = 0;
  int height = 0;
  int pixel_format = -1;    // AVPixelFormat
  double aspect_ratio = 0;  // display aspect of the picture
  int frame_rate_num = 0;   // the rate the outputs run at
  int frame_rate_den = 1;
  int sample_rate = 0;
  int channels = 0;
};

struct TPlannedInput {
  std::string name;
  int64_t ts_offset = 0;   // µs added to the input's timestamps
  std::vector<bool> read;  // per stream: false when the run discards it
};

struct TPlannedStream {
  int kind = -1;        // AVMediaType
  int input_file = -1;  // fed by stream `input_stream` of input `input_file`
  int input_stream = -1;
  bool copy = false;
  std::string why;      // why copied or re-encoded
  std::string encoder;  // the encoder's name; empty when copied
  std::string codec;    // the codec written
  int width = 0;
  int height = 0;
  std::string pixel_format;
  int sample_rate = 0;
  int channels = 0;
  int64_t bit_rate = 0;
  int flags = 0;  // the encoder's AV_CODEC_FLAG_* and AV_CODEC_FLAG2_*
  int flags2 = 0;
  int bitstream_filters = 0;  // filters in the stream's chain
  std::string language;
};

struct TPlannedOutput {
  std::string name;
  std::string format;   // the muxer's name
  bool opened = false;  // its file was open for writing when setup ended
  std::vector<TPlannedStream> streams;
};

struct TConversionPlan {
  TPlannedSource source;
  std::vector<TPlannedInput> inputs;
  std::vector<TPlannedOutput> outputs;

  // The source and inputs are known once the inputs are open; the plan is
  // complete once the run's setup has mapped every output stream.
  bool Complete() const { return !outputs.empty(); }
};

// The plan as log lines: one per output, one per stream under it
// ("  #0:1 音频 <- #0:1 重新编码 mp2 44100 Hz 2 声道 (未要求复制)").
std::vector<std::string> DescribePlan(const TConversionPlan& plan);

}  // namespace veltrano
