#include "common/TrackChoice.h"

#include <fmt/format.h>

#include "converter/StreamPlan.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace veltrano {
namespace {

// The track `text` names (from 1); 0 for the engine's choice or none.
int TrackNumber(const std::string& text, const std::string& kind, const TProbedMedia& source) {
  if (text.empty() || text == "none") return 0;
  int number = 0;
  try {
    size_t used = 0;
    number = std::stoi(text, &used);
    if (used != text.size()) number = 0;
  } catch (const std::logic_error&) {
  }
  const int count = source.TrackCount(kind);
  if (number < 1) {
    throw ETrackChoiceError(
        fmt::format("--{}-track takes a track number from 1 or none, not '{}'", kind, text));
  }
  if (number > count) {
    throw ETrackChoiceError(fmt::format(
        "the source has no {} track {} (it has {}; see veltrano-cli probe)", kind, number, count));
  }
  return number;
}

// The stream the engine takes for `kind` by itself: the first of the kind;
// for subtitles that the format's own encoder writes, the first it can write.
const TProbedStream* AutomaticTrack(const TProbedMedia& source, const std::string& kind,
                                    const TAVConvertOptions& options,
                                    const AVOutputFormat* format) {
  const TSubtitleOptions& subtitles = options.SubtitleOptions();
  const bool default_encoder = kind == "subtitle" && !subtitles.SubtitleStreamCopy() &&
                               subtitles.SubtitleCodecName().empty();
  for (const TProbedStream& stream : source.streams) {
    if (stream.kind != kind) continue;
    if (default_encoder && !DefaultSubtitleEncoderWrites(format, stream.codec_id)) continue;
    return &stream;
  }
  return nullptr;
}

// Makes sure the output gets a subtitle stream that can carry `chosen`.
void ProvideSubtitleStream(TAVConvertOptions& options, const TProbedStream& chosen,
                           const AVOutputFormat* format) {
  TSubtitleOptions& subtitles = options.SubtitleOptions();
  if (subtitles.SubtitleStreamCopy() || !subtitles.SubtitleCodecName().empty()) return;
  if (DefaultSubtitleEncoderWrites(format, chosen.codec_id)) return;
  if (!FormatCanHold(format, chosen)) {
    throw ETrackChoiceError(fmt::format("the {} container cannot hold subtitle track {} ({})",
                                        format->name, chosen.track, chosen.codec));
  }
  subtitles.SetSubtitleStreamCopy(true);
}

// Every audio track of the source, for --all-audio: the container must keep
// several (when the source has several) and hold each copied one.
std::vector<const TProbedStream*> AllAudioTracks(const TProbedMedia& source,
                                                 const TAVConvertOptions& options,
                                                 const AVOutputFormat* format) {
  std::vector<const TProbedStream*> tracks;
  for (const TProbedStream& stream : source.streams) {
    if (stream.kind == "audio") tracks.push_back(&stream);
  }
  if (tracks.size() > 1 && !FormatHoldsSeveralAudioTracks(format)) {
    throw ETrackChoiceError(
        fmt::format("the {} container keeps one audio track and the source has {}: choose one with "
                    "--audio-track N, or convert into a container such as .mkv or .mp4",
                    format->name, tracks.size()));
  }
  if (options.AudioOptions().AudioStreamCopy()) {
    for (const TProbedStream* track : tracks) {
      if (!FormatCanHold(format, *track)) {
        throw ETrackChoiceError(fmt::format("the {} container cannot hold audio track {} ({})",
                                            format->name, track->track, track->codec));
      }
    }
  }
  return tracks;
}

}  // namespace

bool TargetKeepsSeveralAudioTracks(const TAVConvertOptions& options, const std::string& target) {
  const AVOutputFormat* format = PlannedOutputFormat(options, target);
  return format != nullptr && FormatHoldsSeveralAudioTracks(format);
}

bool TTrackChoice::NamesATrack() const {
  return all_audio || (!audio.empty() && audio != "none") ||
         (!subtitle.empty() && subtitle != "none");
}

bool TTrackChoice::ChoosesAnything() const {
  return all_audio || !audio.empty() || !subtitle.empty();
}

void ApplyTrackChoice(TAVConvertOptions& options, const TTrackChoice& choice,
                      const TProbedMedia& source, const std::string& target) {
  if (choice.all_audio && !choice.audio.empty()) {
    throw ETrackChoiceError("--all-audio keeps every audio track: give no --audio-track with it");
  }
  if (choice.audio == "none") options.AudioOptions().SetAudioDisable(true);
  if (choice.subtitle == "none") options.SubtitleOptions().SetSubtitleDisable(true);
  const int audio = TrackNumber(choice.audio, "audio", source);
  const int subtitle = TrackNumber(choice.subtitle, "subtitle", source);
  if (audio == 0 && subtitle == 0 && !choice.all_audio) return;

  const AVOutputFormat* format = PlannedOutputFormat(options, target);
  if (format == nullptr) throw ETrackChoiceError("no container is known for the target " + target);
  if (subtitle != 0) {
    // Profiles leave subtitles out; a track asked for by name goes in.
    options.SubtitleOptions().SetSubtitleDisable(false);
    ProvideSubtitleStream(options, *source.Track("subtitle", subtitle), format);
  }
  const TOutputStreamPlan plan = PlanOutputStreams(options, target, source);
  if (audio != 0 && !plan.audio) {
    throw ETrackChoiceError(fmt::format(
        "the target {} gets no audio, so it cannot keep audio track {}", target, audio));
  }
  auto chosen = [&](const std::string& kind, int track) {
    return track != 0 ? source.Track(kind, track) : AutomaticTrack(source, kind, options, format);
  };
  TStrings maps;
  if (plan.video) maps.push_back(fmt::format("0={}", chosen("video", 0)->index));
  if (plan.audio && choice.all_audio) {
    for (const TProbedStream* track : AllAudioTracks(source, options, format)) {
      maps.push_back(fmt::format("0={}", track->index));
    }
  } else if (plan.audio) {
    maps.push_back(fmt::format("0={}", chosen("audio", audio)->index));
  }
  if (plan.subtitle) maps.push_back(fmt::format("0={}", chosen("subtitle", subtitle)->index));
  options.SetStreamMaps(maps);
}

}  // namespace veltrano
