// --audio-track, --subtitle-track and --all-audio: the command line's form
// of the track choice (common/TrackChoice.h).
#pragma once

#include <string>

#include "common/TrackChoice.h"

namespace CLI {
class App;
}

namespace veltrano::cli {

using veltrano::TTrackChoice;

void AddTrackOptions(CLI::App& command, TTrackChoice& choice);

// veltrano::ApplyTrackChoice with a choice that cannot be satisfied as a
// mistake in the command line (EUsageError).
void ApplyTrackOptions(TAVConvertOptions& options, const TTrackChoice& choice,
                       const TProbedMedia& source, const std::string& target);

}  // namespace veltrano::cli
