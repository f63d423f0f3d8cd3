// The records of one transcode: the record of each output stream (owned by
// its path, OutputPath.h), the paths, and the tables the main loop moves
// packets by. Created by transcode setup, freed when the transcode ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "converter/AVOptions.h"
#include "converter/ConversionPlan.h"
#include "converter/FFmpegPtr.h"
#include "engine/RunState.h"

namespace veltrano {

class TOutputPath;

struct TFileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

// The pass-2 statistics an encoder context reads when it opens. The context
// does not free them itself; this frees them with the record that set them,
// whatever way the run ends.
class TStatsInput {
 public:
  TStatsInput() = default;
  TStatsInput(const TStatsInput&) = delete;
  TStatsInput& operator=(const TStatsInput&) = delete;
  ~TStatsInput() {
    if (enc_ != nullptr) av_freep(&enc_->stats_in);
  }
  // Hands a copy of `stats` to `enc`; false when out of memory.
  bool Set(AVCodecContext* enc, const std::string& stats) {
    enc_ = enc;
    enc->stats_in = static_cast<char*>(av_malloc(stats.size() + 1));
    if (enc->stats_in == nullptr) return false;
    std::memcpy(enc->stats_in, stats.c_str(), stats.size() + 1);
    return true;
  }

 private:
  AVCodecContext* enc_ = nullptr;
};

// The two-pass statistics of one encoder: the pass-1 log it writes, or the
// pass-2 statistics it reads.
struct TTwoPassState {
  std::unique_ptr<FILE, TFileCloser> logfile;
  std::string stats_path;
  TStatsInput stats_in;  // last member: frees the statistics before anything else goes
};

struct TOutputStreamState {
  int file_index = 0;
  int index = 0;         // stream number inside the output file
  int source_index = 0;  // feeding stream in the input stream table
  AVStream* st = nullptr;
  AVCodecContext* enc = nullptr;      // encoder, or the description of a copy
  const AVCodec* codec = nullptr;     // the encoder chosen by output setup
  std::string why;                    // why copied or re-encoded (the plan's reason)
  TCodecLock* encode_lock = nullptr;  // held shared by each encode call, when the library needs it
  bool encoding_needed = false;
  int frame_number = 0;  // frames or packets written
  // Nothing more goes to this stream: the span asked for is written and its
  // encoder flushed (or the input has ended).
  bool finished = false;
  TInputStreamState* sync_ist = nullptr;
  int64_t sync_opts = 0;              // output position in encoder time base units
  float quality = 0;                  // fixed-quality scale (lambda units)
  AVRational packet_time_base{0, 1};  // time base of the packets this stream produces
  TTwoPassState two_pass;  // last member: its statistics go before anything else
};

// The most frames (or packets) an output stream of `type` may write.
int OutputFrameLimit(const TAVConvertOptions& options, AVMediaType type);

// Everything a transcode keeps between setup and its end.
struct TTranscodeState {
  TTranscodeState();
  ~TTranscodeState();
  // Every input stream, file after file; each input file owns the records of its streams.
  std::vector<TInputStreamState*> input_streams;
  // One path per output stream, in output order; each owns its stream's record.
  std::vector<std::unique_ptr<TOutputPath>> paths;
  // The records of the output streams in output order, owned by their paths.
  std::vector<TOutputStreamState*> output_streams;
  // Per input stream, the paths it feeds, in output order.
  std::vector<std::vector<TOutputPath*>> routes;
  PacketPtr packet;                    // the packet just read
  int64_t last_progress_handover = 0;  // wall clock (µs) of the last OnProgress
  // Bit rates measured per input file and stream (for copies of what fits).
  std::vector<std::vector<int64_t>> measured_bit_rates;
  bool fit_copies = false;  // some stream is copied because it fits
};

// The plan of a run as far as it got: its source and inputs once they are
// open, its outputs with every stream once the streams are mapped (`inputs`
// and `outputs` name the job's files).
TConversionPlan PlanOfRun(const TRunState& run, const TStrings& inputs, const TStrings& outputs);

}  // namespace veltrano
