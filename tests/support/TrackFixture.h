// A Matroska clip with several tracks, made by the ffmpeg command line at
// test time: 2 s of 160x120 H.264 video at 25 fps; audio track 1, AAC mono
// 44100 Hz, language "eng"; audio track 2, AAC stereo 22050 Hz, language
// "fra", title "Commentary"; subtitle track 1, SubRip text, language "chi".
#pragma once

#include <filesystem>

namespace veltrano::test {

// Made once per test program.
std::filesystem::path MultiTrackClip();

}  // namespace veltrano::test
