#include "cli/ConvertCommand.h"

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/FilterArguments.h"
#include "cli/ProfilesCommand.h"
#include "cli/PropertyPath.h"
#include "cli/TargetQuestion.h"
#include "cli/TargetRules.h"
#include "cli/TimeText.h"
#include "cli/UsageError.h"
#include "common/CFilters.h"
#include "common/Configuration.h"
#include "common/ConversionSettings.h"
#include "common/ProfileOptions.h"
#include "common/ProfileStore.h"
#include "converter/AVConverter.h"
#include "converter/AVError.h"
#include "converter/AVLib.h"
#include "converter/DvdNavigation.h"
#include "converter/DvdStream.h"
#include "converter/FilterEntries.h"
#include "converter/SafeOutputs.h"
#include "converter/SourceAccess.h"
#include "converter/StreamProtocol.h"
#include "platform/AppFolders.h"

namespace veltrano::cli {
namespace {

namespace fs = std::filesystem;

// The user's configuration when there is one; defaults otherwise. The
// command line never creates the configuration file.
const TAVConfiguration& Configuration() {
  static TAVConfiguration configuration;
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    std::error_code error;
    if (fs::exists(GetConfigFile(), error)) configuration.LoadFromFile(GetConfigFile());
  }
  return configuration;
}

// The file the system opens for `path`, named absolutely.
std::string AbsolutePath(const std::string& path) {
  return ResolvedPath(path);
}

std::unique_ptr<TConversionSettings> LoadSettingsFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("Cannot read " + path);
  std::stringstream text;
  text << in.rdbuf();
  auto settings = std::make_unique<TConversionSettings>();
  SettingsFromXml(*settings, text.str());
  if (settings->TargetFile().empty()) {
    throw std::runtime_error(path + " holds no conversion (no target file)");
  }
  return settings;
}

int64_t TimeOption(const std::string& option, const std::string& text) {
  try {
    return ParseTimeText(text);
  } catch (const std::invalid_argument& e) {
    throw EUsageError(option + ": " + e.what());
  }
}

void ApplyTimeSpan(TAVConvertOptions& options, const TConvertRequest& request) {
  if (!request.duration.empty() && !request.end.empty()) {
    throw EUsageError("give --duration or --end, not both");
  }
  if (!request.start.empty()) options.SetStartTime(TimeOption("--start", request.start));
  if (!request.duration.empty()) {
    const int64_t duration = TimeOption("--duration", request.duration);
    if (duration <= 0) throw EUsageError("--duration: the span must be longer than 0");
    options.SetRecordingTime(duration);
  }
  if (!request.end.empty()) {
    const int64_t end = TimeOption("--end", request.end);
    if (end <= options.StartTime()) {
      throw EUsageError(fmt::format("--end {} must come after the start ({})", request.end,
                                    ClockText(options.StartTime() / 1000000)));
    }
    options.SetRecordingTime(end - options.StartTime());
  }
}

// The --filter arguments after the entries `options` holds already.
void ApplyFilters(TAVConvertOptions& options, const TConvertRequest& request) {
  if (request.filters.empty()) return;
  TStrings entries = SplitFilterEntries(options.FilterOptions().VideoFilters());
  std::erase(entries, std::string());
  for (const std::string& argument : request.filters) {
    entries.push_back(FilterEntryFromArgument(argument));
  }
  options.FilterOptions().SetVideoFilters(JoinFilterEntries(entries));
}

void ApplyRequestOptions(TAVConvertOptions& options, const TConvertRequest& request) {
  try {
    for (const std::string& assignment : request.options) AssignProperty(options, assignment);
  } catch (const EPropertyPath& e) {
    throw EUsageError(std::string("--option ") + e.what());
  }
  for (const std::string& line : request.codec_options) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      throw EUsageError("--codec-option '" + line + "' is not of the form Name=Value");
    }
    options.SetAdvancedOption(line.substr(0, eq), line.substr(eq + 1));
  }
  if (request.threads >= 0) options.SetThreadCount(request.threads);
  if (request.no_copy) options.SetCopyFittingStreams(false);
}

// The streams of the source of `settings`, for the track choice. A DVD
// title is read through a title stream of its own.
TProbedMedia SourceStreams(const TConversionSettings& settings) {
  if (ReadOnlyOnce(settings.SourceFile())) {
    throw EUsageError(settings.SourceFile() +
                      " can be read only once (a FIFO, a device or standard input): tracks cannot "
                      "be chosen by number before it is converted; leave the choice to the engine");
  }
  if (settings.SourceType() != TAVSourceType::stDvd) return ReadMediaSource(settings.SourceFile());
  return ListMediaStreams(OpenDvdTitleStream(settings.DvdDriver(), settings.DvdTitle(),
                                             settings.DvdChapter(), settings.DvdThrough(),
                                             settings.DvdAngle()));
}

void ApplyTracks(TConversionSettings& settings, const TTrackChoice& tracks) {
  if (!tracks.ChoosesAnything()) return;
  const TProbedMedia source = tracks.NamesATrack() ? SourceStreams(settings) : TProbedMedia{};
  ApplyTrackOptions(settings.ConvertOptions(), tracks, source, settings.TargetFile());
}

// A stored conversion with what the command line asks on top.
std::unique_ptr<TConversionSettings> StoredSettings(const TConvertRequest& request) {
  if (!request.files.empty() || !request.profile.empty() || !request.dvd.path.empty() ||
      request.force_extension) {
    throw EUsageError(
        "--settings describes the whole conversion: give no files, --profile, --dvd or "
        "--force-extension with it");
  }
  auto settings = LoadSettingsFile(request.settings_file);
  TAVConvertOptions& options = settings->ConvertOptions();
  ApplyTimeSpan(options, request);
  ApplyFilters(options, request);
  ApplyRequestOptions(options, request);
  ApplyTracks(*settings, request.tracks);
  return settings;
}

// The source's name part that a proposed target starts from.
std::string SourceName(const TConversionSettings& settings) {
  if (settings.SourceType() == TAVSourceType::stDvd) {
    return fmt::format("{}_{}", settings.DvdVolume(), settings.DvdTitle());
  }
  return fs::path(settings.SourceFile()).stem().string();
}

// Sets the source of `settings` and returns the target as typed (empty
// when none was given).
std::string TakeFiles(TConversionSettings& settings, const TConvertRequest& request) {
  const bool dvd = !request.dvd.path.empty();
  const size_t least = dvd ? 0 : 1;
  if (request.files.size() < least || request.files.size() > least + 1) {
    throw EUsageError(dvd ? "with --dvd, give at most a TARGET" : "give a SOURCE and a TARGET");
  }
  if (dvd) {
    FillDvdSource(settings, request.dvd);
  } else if (ReadOnlyOnce(request.files[0])) {
    // Read by the conversion alone: a look at it first would take its data.
    if (IsPipeName(request.files[0])) {
      settings.SetSourceFile(request.files[0]);
    } else {
      CheckMediaSource(request.files[0]);
      settings.SetSourceFile(AbsolutePath(request.files[0]));
    }
  } else {
    // Only whether it is media: the conversion reads the streams' parameters
    // itself, and a full look decodes pictures (TProbeDepth).
    ReadMediaSource(request.files[0], TProbeDepth::Header);
    settings.SetSourceFile(AbsolutePath(request.files[0]));
  }
  return request.files.size() > least ? request.files.back() : std::string();
}

}  // namespace

void FillDvdSource(TConversionSettings& settings, const TDvdSourceOptions& dvd) {
  const std::vector<TDvdTitle> titles = ScanDvdTitles(dvd.path);
  if (dvd.title < 1 || dvd.title > static_cast<int>(titles.size())) {
    throw EAVError(fmt::format("The disc has no title {}", dvd.title));
  }
  const TDvdTitle& title = titles[dvd.title - 1];
  int first = 1;
  int last = static_cast<int>(title.list_chapter.size());
  if (!dvd.chapters.empty()) ParseChapterRange(dvd.chapters, first, last);
  // Opening the range checks it and gives the name a title stream is known
  // by; the stream itself is not kept: a run opens its own.
  const std::string name = OpenDvdTitleStream(dvd.path, dvd.title, first, last, dvd.angle);
  ReleaseUnopenedStream(name);
  settings.SetSourceFile(name);
  settings.SetSourceType(TAVSourceType::stDvd);
  settings.SetDvdDriver(dvd.path);
  settings.SetDvdTitle(dvd.title);
  settings.SetDvdChapter(first);
  settings.SetDvdThrough(last);
  settings.SetDvdAngle(dvd.angle);
  settings.SetDvdVolume(title.name);
}

std::unique_ptr<TConversionSettings> BuildSettings(const TConvertRequest& request,
                                                   const TAVConfiguration& configuration,
                                                   const std::vector<std::string>& reserved) {
  if (!request.settings_file.empty()) return StoredSettings(request);
  const std::unique_ptr<TAVProfileList> profiles = CreateProfileList();
  const TAVProfile* profile =
      request.profile.empty() ? nullptr : &ChooseProfile(*profiles, request.profile);
  auto settings = std::make_unique<TConversionSettings>();
  const std::string target = TakeFiles(*settings, request);
  settings->SetCategoryId(1);

  TAVConvertOptions& options = settings->ConvertOptions();
  ApplyTimeSpan(options, request);
  ApplyFilters(options, request);
  if (profile != nullptr) {
    PrepareProfileOptions(options, *profile, configuration);
    settings->SetProfile(profile->Description());
  } else if (request.force_extension) {
    throw EUsageError("--force-extension goes with --profile");
  }
  ApplyRequestOptions(options, request);
  if (profile != nullptr) {
    TTargetRequest wanted{target, SourceName(*settings), request.force_extension,
                          configuration.OutputFolder(), reserved};
    settings->SetTargetFile(ResolveTarget(wanted, *profile, options));
  } else {
    settings->SetTargetFile(PlainTarget(target));
  }
  ApplyTracks(*settings, request.tracks);
  return settings;
}

void AddConversionOptions(CLI::App& command, TConvertRequest& request) {
  command.add_option("--profile,-p", request.profile,
                     "Output profile: its id or description (see `profiles`)");
  command.add_option("--filter", request.filters,
                     "A video filter (repeatable; the forms are listed below)");
  AddDvdSourceOptions(command, request.dvd);
  command.add_option("--start", request.start,
                     "Start position in the source: seconds, MM:SS or HH:MM:SS(.fraction)");
  command.add_option("--duration", request.duration, "Longest output duration (same forms)");
  command.add_option("--end", request.end, "End position in the source, instead of --duration");
  AddTrackOptions(command, request.tracks);
  command.add_flag("--force-extension", request.force_extension,
                   "Keep the target's extension even when it names another container than the "
                   "profile's");
  command.add_option("--option", request.options,
                     "Set a stored option: Path=Value, or Path+=Line for lists "
                     "(e.g. VideoOptions.VideoStreamCopy=1, CodecOptions+=g=15)");
  command.add_option("--codec-option", request.codec_options,
                     "Set an encoder option: Name=Value (replaces the line of that name)");
  command.add_option("--threads", request.threads, "Threads for every decoder and encoder");
  command.add_flag("--no-copy", request.no_copy,
                   "Re-encode every stream, also those that already fit the profile's device "
                   "(they are copied otherwise)");
}

namespace {

void AddRequestOptions(CLI::App& command, TConvertRequest& request) {
  command.add_option("FILES", request.files,
                     "SOURCE [TARGET]; with --dvd only [TARGET]. Without a TARGET the output "
                     "goes into the configured output folder (needs --profile); a folder as "
                     "TARGET gets the source's name");
  command.add_option("--settings", request.settings_file,
                     "Run a stored conversion (the XML a task keeps)");
  AddConversionOptions(command, request);
  command.footer(FilterExamples());
}

}  // namespace

void AddConvertCommand(CLI::App& app) {
  auto request = std::make_shared<TConvertRequest>();
  CLI::App* convert = app.add_subcommand("convert", "Convert a media file or a DVD title");
  AddRequestOptions(*convert, *request);
  convert->add_flag("--quiet,-q", request->quiet, "No log lines, no progress and no summary");
  auto* yes =
      convert->add_flag("--overwrite,-y", request->overwrite, "Replace the target when it exists");
  convert
      ->add_flag("--no-overwrite,-n", request->no_overwrite,
                 "Never replace an existing target (the default without a terminal)")
      ->excludes(yes);
  convert->callback([request] {
    LoadMediaLibraries();
    std::unique_ptr<TConversionSettings> settings = BuildSettings(*request, Configuration());
    TEventLoopDispatcher ui;
    TAVConverter converter(&ui);
    PrepareConverter(converter, *settings);
    if (!MayWriteTarget(request->overwrite, request->no_overwrite, settings->TargetFile(),
                        converter)) {
      std::fprintf(stderr, "Not overwriting - exiting\n");
      throw CLI::RuntimeError(1);
    }
    const int status = RunConversion(converter, ui, *settings, request->quiet);
    if (status != 0) throw CLI::RuntimeError(status);
  });
}

void AddSettingsCommand(CLI::App& app) {
  auto request = std::make_shared<TConvertRequest>();
  CLI::App* command = app.add_subcommand(
      "settings", "Print the stored form (XML) of what `convert` would run, without running it");
  AddRequestOptions(*command, *request);
  command->callback([request] {
    LoadMediaLibraries();
    std::unique_ptr<TConversionSettings> settings = BuildSettings(*request, Configuration());
    std::cout << SettingsToXml(*settings) << std::endl;
  });
}

}  // namespace veltrano::cli
