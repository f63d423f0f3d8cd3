#include "cli/TrackChoice.h"

#include <CLI/CLI.hpp>

#include "cli/UsageError.h"

namespace veltrano::cli {

void AddTrackOptions(CLI::App& command, TTrackChoice& choice) {
  command.add_option("--audio-track", choice.audio,
                     "Keep this audio track of the source (1 = the first; see probe), or none");
  command.add_option("--subtitle-track", choice.subtitle,
                     "Keep this subtitle track of the source (1 = the first; profiles leave "
                     "subtitles out otherwise), or none");
  command.add_flag("--all-audio", choice.all_audio,
                   "Keep every audio track of the source (containers such as .mkv, .mp4, .avi)");
}

void ApplyTrackOptions(TAVConvertOptions& options, const TTrackChoice& choice,
                       const TProbedMedia& source, const std::string& target) {
  try {
    veltrano::ApplyTrackChoice(options, choice, source, target);
  } catch (const ETrackChoiceError& e) {
    throw EUsageError(e.what());
  }
}

}  // namespace veltrano::cli
