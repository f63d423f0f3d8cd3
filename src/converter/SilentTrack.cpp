// A silent audio track for a container that cannot be written without one
// (a PSP file holds one video and one audio stream) when the source has no
// sound: an extra input of the run, the library's silence source in the
// profile's audio format, that ends when the job's inputs end.
#include <fmt/format.h>

#include <algorithm>
#include <cstdint>

extern "C" {
#include <libavdevice/avdevice.h>
}

#include "converter/AVError.h"
#include "engine/ConverterEngine.h"
#include "engine/OutputChoices.h"
#include "engine/RunState.h"
#include "engine/TranscodeState.h"

namespace veltrano {

void TConverterEngine::AddSilentTracks() {
  const TAudioOptions& audio = FConvertOptions.AudioOptions();
  const TSourceStreams source = SourceStreamsOf(run_->input_files);
  if (source.audio || audio.AudioDisable() || audio.AudioStreamCopy()) return;
  const std::string* needing = nullptr;
  for (const std::string& name : FOutputFiles) {
    const AVOutputFormat* format =
        run_->output_format != nullptr ? run_->output_format : OutputFormatFor(name, nullptr);
    if (NeededStreams(format).audio && PlanOutputStreams(FConvertOptions, format, source).video) {
      needing = &name;
      break;
    }
  }
  if (needing == nullptr) return;

  const int rate = audio.AudioSampleRate() > 0 ? audio.AudioSampleRate() : 48000;
  const char* layout = audio.AudioChannels() == 1 ? "mono" : "stereo";
  const std::string graph = fmt::format("anullsrc=r={}:cl={}", rate, layout);
  const AVInputFormat* lavfi = av_find_input_format("lavfi");
  AVFormatContext* raw = nullptr;
  const int opened = lavfi != nullptr ? avformat_open_input(&raw, graph.c_str(), lavfi, nullptr)
                                      : AVERROR_DEMUXER_NOT_FOUND;
  if (opened < 0 || avformat_find_stream_info(raw, nullptr) < 0) {
    if (raw != nullptr) avformat_close_input(&raw);
    throw EAVError(WithReason("Could not make a silent track for", *needing, AvErrorText(opened)));
  }
  TInputFile silence;
  silence.ctx.reset(raw);
  silence.generated = true;
  silence.analysis_frames.assign(raw->nb_streams, 0);
  run_->input_files.push_back(std::move(silence));
  ReadDecoderParameters(static_cast<int>(run_->input_files.size()) - 1);
  DoLog(AV_LOG_WARNING,
        fmt::format("The source has no sound and the format of {} needs an audio stream: a silent "
                    "track ({} Hz, {}) is written\n",
                    *needing, rate, layout));
}

// A generated input has no end of its own: it ends once the job's inputs
// have ended and it has reached the time they reached.
void TConverterEngine::EndGeneratedInputs() {
  bool generated = false;
  for (size_t i = 0; i < run_->input_files.size(); ++i) {
    if (run_->input_files[i].generated) {
      generated |= !run_->input_files[i].eof_reached;
    } else if (!run_->input_files[i].eof_reached) {
      return;
    }
  }
  if (!generated) return;
  int64_t reached = INT64_MIN;  // µs, by the job's inputs
  int64_t made = INT64_MAX;     // µs, by the generated ones
  for (const TInputStreamState* ist : run_->transcode->input_streams) {
    if (ist->discard) continue;
    if (run_->input_files[ist->file_index].generated) {
      made = std::min(made, ist->pts);
    } else {
      reached = std::max(reached, ist->pts);
    }
  }
  if (made < reached) return;
  for (size_t i = 0; i < run_->input_files.size(); ++i) {
    if (run_->input_files[i].generated) run_->input_files[i].eof_reached = true;
  }
}

}  // namespace veltrano
