// Which of the source's tracks a conversion keeps (the command line's
// --audio-track, --subtitle-track and --all-audio, the wizard's track
// lists). The choice becomes stream maps, one per output stream in the order
// the engine creates them, so that the engine takes exactly the chosen
// tracks.
#pragma once

#include <stdexcept>
#include <string>

#include "converter/AVOptions.h"
#include "converter/AVProbe.h"

namespace veltrano {

// A choice the source or the target cannot satisfy; the message says why.
class ETrackChoiceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TTrackChoice {
  std::string audio;       // "": the engine's choice; "none"; or a track number from 1
  std::string subtitle;    // the same for subtitles
  bool all_audio = false;  // every audio track, where the container keeps several

  bool NamesATrack() const;
  bool ChoosesAnything() const;
};

// True when the container of `target` (as `options` make it) keeps several
// audio tracks, so that "every audio track" can be offered.
bool TargetKeepsSeveralAudioTracks(const TAVConvertOptions& options, const std::string& target);

// Applies `choice` to `options` for a conversion of `source` into `target`:
// "none" switches the kind off; a number maps that track (and the other
// output streams to what the engine would take); all audio maps every
// audio track, one output stream each. A chosen subtitle track
// goes out even when a profile switched subtitles off; one that the
// target's own subtitle encoder cannot write is copied when the container
// can hold it. Throws ETrackChoiceError for a track the source lacks or
// the target cannot hold, and for several audio tracks that the target's
// container cannot keep.
void ApplyTrackChoice(TAVConvertOptions& options, const TTrackChoice& choice,
                      const TProbedMedia& source, const std::string& target);

}  // namespace veltrano
