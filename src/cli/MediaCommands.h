// veltrano-cli commands of the media sources: `probe FILE` and `dvd PATH`,
// and the options that make a DVD title the source of `convert`.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "converter/AVProbe.h"

namespace veltrano {

// Adds `probe FILE [--json]` (the container and every stream of a file),
// `check FILE` (every stream decoded to its end, as the completion check
// does) and `dvd PATH` (the titles of a disc with their playing time,
// chapter and angle counts).
void AddMediaCommands(CLI::App& app);

// The container and streams of a media file that a conversion reads.
// Throws std::runtime_error "FILE: No such file or directory", "FILE:
// Permission denied", "FILE: 无法进入文件夹 DIR (Permission denied)" or
// "FILE: not a media file (REASON)". `depth` as for ListMediaStreams.
TProbedMedia ReadMediaSource(const std::string& file, TProbeDepth depth = TProbeDepth::Full);
// Checks that `file` can be reached and read, without reading it; throws as
// ReadMediaSource does.
void CheckMediaSource(const std::string& file);

// A DVD title as the source of a conversion.
struct TDvdSourceOptions {
  std::string path;      // --dvd: mount point, device, VIDEO_TS folder or .iso
  int title = 1;         // --title N
  std::string chapters;  // --chapters A-B (or A); empty: the whole title
  int angle = 1;         // --angle K
};

// Adds --dvd, --title, --chapters and --angle to `command`.
void AddDvdSourceOptions(CLI::App& command, TDvdSourceOptions& options);

// Reads a chapter range "A-B" (or "A": that chapter only). Throws EAVError
// for anything else.
void ParseChapterRange(const std::string& text, int& first, int& last);

// Opens the title range as a DVD title stream and returns its "stream:N"
// name, the conversion's input. Throws EAVError for a malformed chapter range
// or a disc, title, range or angle that does not exist.
std::string OpenDvdSource(const TDvdSourceOptions& options);

}  // namespace veltrano
