// Decoding an output back: every packet of every audio, video and subtitle
// stream goes through the stream's decoder, which counts the frames it gives
// and the errors it meets (failed calls, concealed or corrupt frames, error
// messages of the decoder), with the time of the first error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>
}

struct AVFormatContext;

namespace veltrano {

struct TStreamDecoding {
  int index = 0;  // the stream's index in the file
  AVMediaType kind = AVMEDIA_TYPE_UNKNOWN;
  std::string failure;           // why the stream cannot be decoded at all; empty when it can
  int64_t packets = 0;           // packets read
  int64_t frames = 0;            // frames (or subtitles) decoded
  int64_t errors = 0;            // errors met
  double first_error = -1;       // seconds into the output of the first error; -1: none
  std::string first_error_text;  // what the decoder said of it, when it said something
};

struct TOutputDecoding {
  std::vector<TStreamDecoding> streams;  // the audio, video and subtitle streams
  std::string read_error;                // why reading stopped before the end; empty at the end
  double read_error_at = 0;              // seconds into the output where it stopped
  bool complete = true;                  // false when `keep_going` ended it early
};

// Decodes every audio, video and subtitle stream of the opened input `ctx`
// from where it stands to its end, with up to `threads` threads per decoder.
// `keep_going` is asked between packets; false ends the decoding early.
TOutputDecoding DecodeStreams(AVFormatContext* ctx, int threads,
                              const std::function<bool()>& keep_going);

}  // namespace veltrano
