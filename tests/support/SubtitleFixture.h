// A transport stream with DVB (picture) subtitles, made with libavcodec at
// test time: the command line cannot turn text into picture subtitles.
#pragma once

#include <filesystem>

namespace veltrano::test {

// Writes `count` subtitles, one every 0.7 s from 0.3 s, each shown for
// `shown_ms`, beside the video of `video_ts` (copied). Returns false on error.
bool MakeDvbSubtitleClip(const std::filesystem::path& video_ts, const std::filesystem::path& out,
                         int count, int shown_ms);

}  // namespace veltrano::test
