// Media generated at test time: small clips made by the ffmpeg command line
// from its test sources, a shared temporary folder, and an independent
// reader (libavformat directly) to judge what the engine wrote.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace veltrano::test {

namespace fs = std::filesystem;

// A folder of this test program's own, removed when the program ends.
const fs::path& TestFolder();
// A fresh empty sub-folder of TestFolder() for one test.
fs::path MakeTempFolder(const std::string& hint);

struct TClip {
  double seconds = 2.0;
  bool video = true;
  std::string size = "160x120";
  std::string rate = "25";
  std::string video_codec;  // empty: the container's default
  bool audio = true;
  int sample_rate = 44100;
  int channels = 2;
  std::string audio_codec;  // empty: the container's default
  double audio_delay = 0;   // seconds the audio starts after the video
  std::vector<std::string> extra_output_args;  // e.g. {"-f", "mpegts"}
};

// Common clips: video and audio with the given codecs; video only.
TClip AvClipSpec(const std::string& video_codec, const std::string& audio_codec);
TClip VideoClipSpec(const std::string& video_codec, const std::string& size = "160x120");

// Generates `clip` into `path` (overwritten). Fails the test on error.
fs::path MakeClip(const fs::path& path, const TClip& clip);

// A clip of `clip` generated once per test program and shared by tests that
// only read it; `name` must be unique per distinct clip.
fs::path SharedClip(const std::string& name, const TClip& clip);

struct TCommandResult {
  int exit_code = -1;
  std::string output;  // stdout and stderr together
};
TCommandResult RunCommand(const std::string& command);

// Quotes `text` for the POSIX shell.
std::string ShellQuote(const std::string& text);

struct TStreamInfo {
  std::string kind;  // "video", "audio", "subtitle", "data"
  std::string codec;
  std::string profile;  // the codec profile's name ("High", "Main"); empty when unknown
  int level = -99;      // the codec's level number (H.264 41); -99 when unknown
  std::string pix_fmt;  // video
  int width = 0;
  int height = 0;
  double frame_rate = 0;  // average rate
  int sample_rate = 0;
  int channels = 0;
  std::string language;
  int64_t packets = 0;    // packets read
  double duration = 0;    // seconds, from the packets' timestamps
  double start = 0;       // seconds, first packet's presentation time
  std::string data_md5;   // digest of all packet payloads, in reading order
  int64_t bytes = 0;      // payload bytes
  std::vector<double> packet_times;  // presentation times (s), in reading order
};

struct TMediaInfo {
  // The first stream of `kind` ("video", "audio", ...); fails the test when absent.
  const TStreamInfo& Stream(const std::string& kind) const;

  bool opened = false;
  std::string format;
  double duration = 0;  // container duration, seconds
  double start_time = 0;  // container start time, seconds
  std::vector<TStreamInfo> streams;
  int chapters = 0;
};

// Reads `path` with libavformat (every packet, to count and time them).
TMediaInfo ProbeMedia(const fs::path& path);

}  // namespace veltrano::test
