// Whether a source stream "already fits": it satisfies everything the options
// ask of its output stream (codec with its profile and level, size, frame
// rate, pixel format, bit rate or quality class, channels, sample rate), its
// device plays it and the container holds it, and nothing needs its frames
// (filters, crop, a volume change). Such a stream is copied instead of
// re-encoded. The decision is made per output stream when the transcode is
// set up (TranscodeSetup.cpp), from what the encoder would make.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "converter/DeviceProfiles.h"

extern "C" {
#include <libavutil/rational.h>
}

struct AVInputFormat;
struct AVOutputFormat;

namespace veltrano {

// What the options ask of one output stream.
struct TStreamRequest {
  // What the encoder would make: codec, size, frame rate and pixel format
  // (video), channels and sample rate (audio).
  TStreamFacts asked;
  int64_t bit_rate = 0;          // the bit rate asked for (bit/s); 0: none
  std::optional<float> quality;  // constant quality asked for (video CRF, audio VBR scale)
  // Why the stream's frames are needed ("需要滤镜", "需要调整音量", …); a
  // stream with any reason here is never copied.
  std::vector<std::string> frames_needed;
  const AVOutputFormat* format = nullptr;  // the output's container
};

struct TFitVerdict {
  bool copy = false;
  std::vector<std::string> reasons;  // why not, in the order found
};

// Judges `source` against `request` and `device` (nullptr: no device, so
// nothing fits).
TFitVerdict JudgeStreamFit(const TDeviceCapabilities* device, const TStreamFacts& source,
                           const TStreamRequest& request);

// The highest bit rate (bit/s) a video stream of `codec_id` may have to count
// as being of the class constant quality `quality` makes, for its size and
// frame rate: about twice what an encode at that quality gives, halving
// every 6 steps of quality, growing as the pixels to the power 3/4. 0 when
// the codec has no known scale.
int64_t VideoQualityClassBitRate(int codec_id, double quality, int width, int height,
                                 double frame_rate);
// The same for an audio stream at VBR scale `quality` (MP3's 0 to 9); 0 when unknown.
int64_t AudioQualityClassBitRate(int codec_id, double quality, int channels);

// The name of a media kind (AVMediaType) in log lines: "视频", "音频", "字幕", "数据".
const char* KindName(int kind);

// The log line of a decision: "视频: 直接复制 (已符合)", "音频 2: 重新编码
// (采样率 44100 ≠ 48000)". `number` counts the output streams of the kind
// from 1; the first goes without it.
std::string FitLogLine(int kind, int number, const TFitVerdict& verdict);
// The reasons of a verdict, in order, separated by ", ".
std::string JoinedReasons(const TFitVerdict& verdict);

// The bit rate of every stream of `name` (a file the library opens, read
// with `format` when given), measured over the packets of its first seconds;
// 0 for a stream that shows too little. Empty when it cannot be read.
std::vector<int64_t> MeasureBitRates(const std::string& name, const AVInputFormat* format);

// `width` x `height` scaled down, keeping the aspect ratio, until it fits a
// `max_width` x `max_height` box either way round (the box turned for a
// portrait picture; 0 leaves that side of the box unbounded). Scaled sides
// are even and never exceed the box; a picture that fits keeps its size.
void BoundFrameSize(int& width, int& height, int max_width, int max_height);

// The rate of a `source` stream limited to `max_rate` frames per second (0:
// no limit). A faster source runs at the largest whole fraction of its rate
// (1/2, 1/3, …) within the limit, so that pictures are dropped evenly (60 ->
// 30, 50 -> 25, 59.94 -> 29.97); when that fraction would lose more than a
// quarter of the limit, at the limit itself (30000/1001 for a 1001-based source).
AVRational CappedFrameRate(AVRational source, int max_rate);

}  // namespace veltrano
