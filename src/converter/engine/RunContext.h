// What the objects of a run (its input files, output files and output
// paths) see of the run as a whole: the job's options, the log, the stop
// request and the figures they count. The engine makes one and hands it to
// them by reference, so that none of them needs the engine itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "converter/AVOptions.h"

extern "C" {
#include <libavutil/avutil.h>
#include <libavutil/mathematics.h>
}

namespace veltrano {

// The figures the paths and decoders count while a run goes on; the
// converter's interface reads them on the user-interface thread.
struct TStreamFigures {
  std::atomic<int64_t> audio_size{0};      // bytes of audio packets written
  std::atomic<int64_t> video_size{0};      // bytes of video packets written
  std::atomic<int64_t> frames_decoded{0};  // video frames decoded
};

class TRunContext {
 public:
  using TLog = std::function<void(int level, const std::string& text)>;

  // `stop_requested` is true when the run is to stop; it may wait while the
  // run is paused.
  TRunContext(const TAVConvertOptions& options, TStreamFigures& figures, TLog log,
              std::function<bool()> stop_requested)
      : options_(options),
        figures_(figures),
        log_(std::move(log)),
        stop_requested_(std::move(stop_requested)) {}
  TRunContext(const TRunContext&) = delete;
  TRunContext& operator=(const TRunContext&) = delete;

  const TAVConvertOptions& Options() const { return options_; }
  TStreamFigures& Figures() const { return figures_; }
  void Log(int level, const std::string& text) const { log_(level, text); }
  bool StopRequested() const { return stop_requested_(); }
  // The end of the requested span in `time_base` units (INT64_MAX: no end).
  // Every stream stops there, not only the main loop, so that the streams of
  // an output end together however the encoders delay their packets.
  int64_t RecordingLimit(AVRational time_base) const {
    const int64_t recording = options_.RecordingTime();
    if (recording == MaxInt64) return INT64_MAX;
    return av_rescale_q(recording, AV_TIME_BASE_Q, time_base);
  }

 private:
  const TAVConvertOptions& options_;
  TStreamFigures& figures_;
  TLog log_;
  std::function<bool()> stop_requested_;
};

}  // namespace veltrano
