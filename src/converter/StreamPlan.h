// Which output streams a conversion will have, known before it runs: stream
// maps name the source of each output stream in the order the engine
// creates them (video, audio, subtitle), so whoever writes maps must know
// that order. The engine decides with the same rule when it sets up an
// output: a kind goes out when the target format has an encoder for it or
// the options name one or copy it, the source has a stream of that kind and
// the options do not switch it off; subtitles without a named encoder only
// when the format's own subtitle encoder can write one of the source's
// subtitle streams (text to text, pictures to pictures), or when a stream
// that fits is to be copied and the format holds one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/AVOptions.h"
#include "converter/AVProbe.h"

struct AVOutputFormat;

namespace veltrano {

struct TOutputStreamPlan {
  bool video = false;
  bool audio = false;
  bool subtitle = false;
};

// What the source offers: its stream kinds and its subtitle codecs.
struct TSourceStreams {
  bool video = false;
  bool audio = false;
  std::vector<int> subtitle_codecs;  // AVCodecID of every subtitle stream
};

// The output format a conversion into `target` uses: the options' format
// when they name one, else the one the target's name suggests (a numbered
// name means one picture per file). nullptr when neither is known.
const AVOutputFormat* PlannedOutputFormat(const TAVConvertOptions& options,
                                          const std::string& target);

TOutputStreamPlan PlanOutputStreams(const TAVConvertOptions& options, const AVOutputFormat* format,
                                    const TSourceStreams& source);
TOutputStreamPlan PlanOutputStreams(const TAVConvertOptions& options, const std::string& target,
                                    const TProbedMedia& source);

// The streams a container cannot be written without: a PSP file holds one
// video and one audio stream, a DV file a video stream, a picture sequence
// pictures; besides, every output needs some stream.
struct TNeededStreams {
  bool video = false;
  bool audio = false;
};
TNeededStreams NeededStreams(const AVOutputFormat* format);

// Why an output planned as `plan` cannot be written, given what `format`
// needs and what `source` has: "源文件 SOURCE 没有音频流" (nothing at all to
// write), "psp 格式需要一条视频流, 源文件 SOURCE 没有视频流"; empty when it can be.
// A missing audio stream that a silent track may stand for (`silence_ok`)
// is no reason.
std::string MissingStreamReason(const AVOutputFormat* format, const TOutputStreamPlan& plan,
                                const TAVConvertOptions& options, const TSourceStreams& source,
                                const std::string& source_name, bool silence_ok);

// The text or picture nature of a subtitle codec (AV_CODEC_PROP_TEXT_SUB,
// AV_CODEC_PROP_BITMAP_SUB); 0 when the codec says neither.
int SubtitleNature(int codec_id);

// True when the format's default subtitle encoder can write a subtitle
// stream of codec `codec_id` (text to text, pictures to pictures).
bool DefaultSubtitleEncoderWrites(const AVOutputFormat* format, int codec_id);

// True when the format can hold `stream` as it is (a stream copy).
bool FormatCanHold(const AVOutputFormat* format, const TProbedStream& stream);

// True when files of the format keep several audio tracks that players
// offer to choose from (film containers), false for single-track formats.
bool FormatHoldsSeveralAudioTracks(const AVOutputFormat* format);

// True when a subtitle stream of codec `codec_id` can go into the format
// under `options`: copied (SubtitleStreamCopy), encoded by the encoder they
// name or by the format's own, or copied because it fits (CopyFittingStreams
// for a Device, and the format holds it).
bool SubtitleCanGoOut(const TAVConvertOptions& options, const AVOutputFormat* format, int codec_id);

// One stream of the sources, for KeptTrackStreams.
struct TSourceStreamEntry {
  int file = 0;
  int index = 0;  // in its file
  int kind = -1;  // AVMediaType
  int codec_id = 0;
  int64_t frames = 0;  // packets seen at the start of the input (the busiest wins)
  bool discarded = false;
};

// The streams an output that keeps every track (KeepAllTracks) takes, in the
// order of its streams: the busiest video stream, every audio stream, and
// every subtitle stream that can go out; each kind only as far as the plan
// lets it out.
std::vector<TSourceStreamEntry> KeptTrackStreams(const TAVConvertOptions& options,
                                                 const AVOutputFormat* format,
                                                 const std::vector<TSourceStreamEntry>& streams);

}  // namespace veltrano
