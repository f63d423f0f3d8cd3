#include "cli/MediaCommands.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>

#include <fmt/format.h>

#include "converter/AVError.h"
#include "converter/AVLib.h"
#include "converter/AVProbe.h"
#include "converter/DvdNavigation.h"
#include "converter/DvdStream.h"
#include "converter/OutputCheck.h"
#include "converter/SourceAccess.h"

namespace veltrano {
namespace {

std::string JsonText(const std::string& text) {
  std::string json = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      json += fmt::format("\\u{:04x}", static_cast<int>(c));
    } else {
      json += c;
    }
  }
  return json + "\"";
}

std::string JsonTextOrNull(const std::string& text) {
  return text.empty() ? "null" : JsonText(text);
}

std::string StreamJson(const TProbedStream& s) {
  std::string json = fmt::format(
      R"({{"index": {}, "kind": {}, "track": {}, "codec": {}, "language": {}, "title": {}, )"
      R"("default": {}, "bit_rate": {})",
      s.index, JsonText(s.kind), s.track, JsonText(s.codec), JsonTextOrNull(s.language),
      JsonTextOrNull(s.title), s.is_default ? "true" : "false", s.bit_rate);
  if (s.kind == "video") {
    json += fmt::format(R"(, "width": {}, "height": {}, "frame_rate": {:.6g})", s.width, s.height,
                        s.frame_rate);
  } else if (s.kind == "audio") {
    json += fmt::format(R"(, "channels": {}, "sample_rate": {})", s.channels, s.sample_rate);
  }
  return json + "}";
}

void PrintJson(const std::string& file, const TProbedMedia& media) {
  std::string streams;
  for (const TProbedStream& stream : media.streams) {
    streams += (streams.empty() ? "\n    " : ",\n    ") + StreamJson(stream);
  }
  fmt::print(
      "{{\n  \"file\": {},\n  \"container\": {},\n  \"container_long\": {},\n"
      "  \"duration\": {:.3f},\n  \"bit_rate\": {},\n  \"streams\": [{}\n  ]\n}}\n",
      JsonText(file), JsonText(media.container), JsonText(media.container_long), media.duration,
      media.bit_rate, streams);
}

// "audio 2  aac  eng  "Commentary"  2 ch  48000 Hz  128 kbit/s  default"
std::string StreamLine(const TProbedStream& s) {
  std::string line =
      fmt::format("#{:<3} {} {:<3} {}", s.index, fmt::format("{:<8}", s.kind), s.track, s.codec);
  if (!s.language.empty()) line += "  " + s.language;
  if (!s.title.empty()) line += "  \"" + s.title + "\"";
  if (s.kind == "video") {
    line += fmt::format("  {}x{}", s.width, s.height);
    if (s.frame_rate > 0) line += fmt::format("  {:.4g} fps", s.frame_rate);
  } else if (s.kind == "audio") {
    line += fmt::format("  {} ch  {} Hz", s.channels, s.sample_rate);
  }
  if (s.bit_rate > 0) line += fmt::format("  {} kbit/s", s.bit_rate / 1000);
  if (s.is_default) line += "  default";
  return line;
}

void PrintText(const std::string& file, const TProbedMedia& media) {
  fmt::print("File: {}\nContainer: {} ({})\n", file, media.container, media.container_long);
  fmt::print("Duration: {}  Bit rate: {}\n",
             media.duration > 0 ? SecondsToTimeText(media.duration) : std::string("unknown"),
             media.bit_rate > 0 ? fmt::format("{} kbit/s", media.bit_rate / 1000)
                                : std::string("unknown"));
  fmt::print("Streams (index, kind, track number for --audio-track/--subtitle-track, codec, …):\n");
  for (const TProbedStream& stream : media.streams) fmt::print("  {}\n", StreamLine(stream));
}

void RunProbe(const std::string& file, bool json) {
  LoadMediaLibraries();
  const TProbedMedia media = ReadMediaSource(file);
  if (json) {
    PrintJson(file, media);
  } else {
    PrintText(file, media);
  }
}

// Decodes FILE to its end as the completion check does; its findings, or
// that it decodes, on stdout; the status 1 when it found something.
void RunCheck(const std::string& file, int threads) {
  LoadMediaLibraries();
  CheckMediaSource(file);
  TOutputExpectation expected;
  expected.threads = threads;
  const std::vector<std::string> problems = CheckOutputFile(file, expected);
  for (const std::string& problem : problems)
    std::printf("%s: %s\n", file.c_str(), problem.c_str());
  if (!problems.empty()) throw CLI::RuntimeError(1);
  std::printf("%s: decodes without error\n", file.c_str());
}

void RunDvd(const std::string& path) {
  LoadMediaLibraries();
  std::vector<TDvdTitle> titles;
  try {
    titles = ScanDvdTitles(path);
  } catch (const EAVError& e) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
    throw CLI::RuntimeError(1);
  }
  for (const TDvdTitle& title : titles) {
    std::printf("%s chapters: %zu angles: %d\n", DvdTitleCaption(title).c_str(),
                title.list_chapter.size(), title.angle_count);
  }
}

}  // namespace

void CheckMediaSource(const std::string& file) {
  // A folder that cannot be entered or a file without permission is said so,
  // not taken for a missing file or one that is no media.
  const std::string problem = AccessProblem(file);
  if (!problem.empty()) throw std::runtime_error(file + ": " + problem);
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) {
    throw std::runtime_error(file + ": Is a directory");
  }
}

TProbedMedia ReadMediaSource(const std::string& file, TProbeDepth depth) {
  CheckMediaSource(file);
  TProbedMedia media;
  try {
    media = ListMediaStreams(file, depth);
  } catch (const EAVError& e) {
    throw std::runtime_error(file + ": not a media file (" + e.what() + ")");
  }
  if (media.TrackCount("video") == 0 && media.TrackCount("audio") == 0) {
    throw std::runtime_error(file + ": not a media file (no video or audio stream)");
  }
  return media;
}

void AddMediaCommands(CLI::App& app) {
  CLI::App* probe =
      app.add_subcommand("probe", "Show the container and every stream (track) of a media file");
  auto file = std::make_shared<std::string>();
  auto json = std::make_shared<bool>(false);
  probe->add_option("FILE", *file, "media file")->required();
  probe->add_flag("--json", *json, "Print JSON for scripts");
  probe->callback([file, json] { RunProbe(*file, *json); });

  CLI::App* check = app.add_subcommand(
      "check", "Decode every stream of a media file to its end and tell what fails");
  auto checked = std::make_shared<std::string>();
  auto threads = std::make_shared<int>(1);
  check->add_option("FILE", *checked, "media file")->required();
  check->add_option("--threads", *threads, "Threads for each decoder");
  check->callback([checked, threads] { RunCheck(*checked, *threads); });

  CLI::App* dvd = app.add_subcommand("dvd", "List the titles of a DVD with chapters and angles");
  auto path = std::make_shared<std::string>();
  dvd->add_option("PATH", *path, "mount point, device, VIDEO_TS folder or .iso image")->required();
  dvd->callback([path] { RunDvd(*path); });
}

void AddDvdSourceOptions(CLI::App& command, TDvdSourceOptions& options) {
  command.add_option("--dvd", options.path,
                     "convert a DVD title: mount point, device, VIDEO_TS folder or .iso image");
  command.add_option("--title", options.title, "DVD title number (from 1)");
  command.add_option("--chapters", options.chapters, "DVD chapter range A-B (from 1)");
  command.add_option("--angle", options.angle, "DVD camera angle (from 1)");
}

void ParseChapterRange(const std::string& text, int& first, int& last) {
  static const std::regex range(R"((\d{1,3})(?:-(\d{1,3}))?)");
  std::smatch match;
  if (!std::regex_match(text, match, range)) {
    throw EAVError("'" + text + "' is not a chapter range (A-B)");
  }
  first = std::stoi(match[1]);
  last = match[2].matched ? std::stoi(match[2]) : first;
}

std::string OpenDvdSource(const TDvdSourceOptions& options) {
  int first = 1;
  int last = 0;
  if (!options.chapters.empty()) ParseChapterRange(options.chapters, first, last);
  return OpenDvdTitleStream(options.path, options.title, first, last, options.angle);
}

}  // namespace veltrano
