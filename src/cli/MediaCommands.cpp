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

namespace veltrano {
namespace {

std::string ValueText(const TPropInfo& info, const TPropValue& value) {
  switch (info.kind) {
    case TPropKind::Boolean:
      return std::get<int64_t>(value) != 0 ? "true" : "false";
    case TPropKind::Double:
    case TPropKind::Single:
      return fmt::format("{:g}", std::get<double>(value));
    case TPropKind::String:
      return std::get<std::string>(value);
    default:
      return std::to_string(std::get<int64_t>(value));
  }
}

void RunProbe(const std::string& file) {
  LoadMediaLibraries();
  std::error_code error;
  if (!std::filesystem::exists(file, error)) {
    std::fprintf(stderr, "%s: no such file\n", file.c_str());
    throw CLI::RuntimeError(1);
  }
  TAVProbe probe;
  probe.SetFileName(file);
  try {
    probe.SetActive(true);
  } catch (const EAVError& e) {
    std::fprintf(stderr, "%s: %s\n", file.c_str(), e.what());
    throw CLI::RuntimeError(1);
  }
  for (const TPropInfo& info : probe.Properties()) {
    if (info.name == "Active") continue;
    std::printf("%s: %s\n", info.name.c_str(), ValueText(info, info.get(probe)).c_str());
  }
  if (!probe.HasVideo() && !probe.HasAudio()) {
    std::fprintf(stderr, "%s: no video or audio stream\n", file.c_str());
    throw CLI::RuntimeError(1);
  }
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

void AddMediaCommands(CLI::App& app) {
  CLI::App* probe = app.add_subcommand("probe", "Show the streams the media probe finds in a file");
  auto file = std::make_shared<std::string>();
  probe->add_option("FILE", *file, "media file")->required();
  probe->callback([file] { RunProbe(*file); });

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
