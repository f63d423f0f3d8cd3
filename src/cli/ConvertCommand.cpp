#include "cli/ConvertCommand.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/PropertyPath.h"
#include "cli/TargetQuestion.h"
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
#include "converter/MessageBoxes.h"
#include "converter/StreamProtocol.h"
#include "platform/AppFolders.h"

namespace veltrano::cli {
namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) { interrupted = true; }

// The progress line on a terminal; log lines and errors clear it first.
class TProgressLine {
 public:
  explicit TProgressLine(bool enabled) : enabled_(enabled) {}
  void Show(const TAVConverter& c) {
    if (!enabled_) return;
    const int64_t left = c.GetLeftTime();
    const std::string remaining = left == kUnknownLeftTime ? "?" : SecondsToClockText(left);
    std::fprintf(stderr, "\r\033[K%3d%%  %.1f kbit/s  elapsed %s  left %s", c.Progress(),
                 c.Bitrate(), SecondsToClockText(c.GetUsedTime()).c_str(), remaining.c_str());
    std::fflush(stderr);
    shown_ = true;
  }
  void Clear() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    shown_ = false;
  }

 private:
  bool enabled_;
  bool shown_ = false;
};

int64_t SecondsToMicroseconds(double seconds) { return static_cast<int64_t>(seconds * 1e6 + 0.5); }

// The user's configuration when there is one; defaults otherwise. The
// command line never creates the configuration file.
const TAVConfiguration& Configuration() {
  static TAVConfiguration configuration;
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    std::error_code error;
    if (std::filesystem::exists(GetConfigFile(), error)) {
      configuration.LoadFromFile(GetConfigFile());
    }
  }
  return configuration;
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
  UnregisterStream(std::stoi(name.substr(name.find(':') + 1)));
  settings.SetSourceFile(name);
  settings.SetSourceType(TAVSourceType::stDvd);
  settings.SetDvdDriver(dvd.path);
  settings.SetDvdTitle(dvd.title);
  settings.SetDvdChapter(first);
  settings.SetDvdThrough(last);
  settings.SetDvdAngle(dvd.angle);
  settings.SetDvdVolume(title.name);
}

TInterruptGuard::TInterruptGuard() {
  interrupted = false;
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &old_int_);
  sigaction(SIGTERM, &action, &old_term_);
}

TInterruptGuard::~TInterruptGuard() {
  sigaction(SIGINT, &old_int_, nullptr);
  sigaction(SIGTERM, &old_term_, nullptr);
}

bool Interrupted() { return interrupted; }

void ApplyRequestOptions(TAVConvertOptions& options, const TConvertRequest& request) {
  for (const std::string& assignment : request.options) AssignProperty(options, assignment);
  for (const std::string& line : request.codec_options) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      throw std::invalid_argument("'" + line + "' is not of the form Name=Value");
    }
    options.SetAdvancedOption(line.substr(0, eq), line.substr(eq + 1));
  }
  if (request.threads >= 0) options.SetThreadCount(request.threads);
}

std::unique_ptr<TConversionSettings> BuildSettings(const TConvertRequest& request) {
  if (!request.settings_file.empty()) {
    if (!request.files.empty() || !request.profile.empty() || !request.dvd.path.empty()) {
      throw std::runtime_error("--settings describes the whole conversion: give no files, "
                               "--profile or --dvd with it");
    }
    auto settings = LoadSettingsFile(request.settings_file);
    ApplyRequestOptions(settings->ConvertOptions(), request);
    return settings;
  }
  auto settings = std::make_unique<TConversionSettings>();
  const size_t wanted = request.dvd.path.empty() ? 2 : 1;
  if (request.files.size() != wanted) {
    throw std::runtime_error(wanted == 2 ? "convert takes SOURCE and TARGET"
                                         : "with --dvd, convert takes TARGET only");
  }
  if (wanted == 2) {
    settings->SetSourceFile(request.files[0]);
  } else {
    FillDvdSource(*settings, request.dvd);
  }
  settings->SetTargetFile(request.files.back());
  settings->SetCategoryId(1);

  TAVConvertOptions& options = settings->ConvertOptions();
  if (request.start_seconds >= 0) options.SetStartTime(SecondsToMicroseconds(request.start_seconds));
  if (request.duration_seconds >= 0) {
    options.SetRecordingTime(SecondsToMicroseconds(request.duration_seconds));
  }
  if (!request.filters.empty()) {
    options.FilterOptions().SetVideoFilters(JoinFilterEntries(request.filters));
  }
  if (!request.profile.empty()) {
    const auto profiles = CreateProfileList();
    const TAVProfile* profile = profiles->FindProfile(request.profile);
    if (profile == nullptr) {
      throw std::runtime_error("No profile is called \"" + request.profile +
                               "\" (veltrano-cli profiles lists them)");
    }
    PrepareProfileOptions(options, *profile, Configuration());
    settings->SetProfile(request.profile);
  }
  ApplyRequestOptions(options, request);
  return settings;
}

void PrepareConverter(TAVConverter& converter, TConversionSettings& settings) {
  if (settings.SourceType() == TAVSourceType::stDvd) {
    settings.SetSourceFile(OpenDvdTitleStream(settings.DvdDriver(), settings.DvdTitle(),
                                              settings.DvdChapter(), settings.DvdThrough(),
                                              settings.DvdAngle()));
  }
  converter.SetConvertOptions(settings.ConvertOptions());
  converter.SetInputFiles({settings.SourceFile()});
  converter.SetOutputFiles({settings.TargetFile()});
}

int RunConversion(TAVConverter& converter, bool quiet) {
  TEventLoopDispatcher& ui = dynamic_cast<TEventLoopDispatcher&>(converter.Dispatcher());
  TProgressLine progress(!quiet && isatty(STDERR_FILENO));
  TErrorBoxHandler previous = SetErrorBoxHandler([&progress](const std::string& text) {
    progress.Clear();
    std::fprintf(stderr, "Error: %s\n", text.c_str());
  });
  converter.SetOnLog([&](TAVConverter&, int, const std::string& text) {
    if (quiet) return;
    // Log lines arrive on the worker; the progress line belongs to this thread.
    ui.Post([&progress, text] {
      progress.Clear();
      std::fputs(text.c_str(), stderr);
      if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
    });
  });
  converter.SetOnProgress([&progress](TAVConverter& c) { progress.Show(c); });
  bool stopped = false;
  converter.SetOnStopped([&stopped](TAVConverter&) { stopped = true; });

  TInterruptGuard guard;
  converter.Convert();
  bool stop_sent = false;
  ui.RunUntil([&] {
    if (interrupted && !stop_sent) {
      converter.Stop();
      stop_sent = true;
    }
    return !converter.IsRunning();
  });
  converter.WaitFor();
  ui.ProcessPending(std::chrono::milliseconds(0));
  progress.Clear();
  SetErrorBoxHandler(previous);
  if (stopped || interrupted) {
    std::fprintf(stderr, "Stopped.\n");
    return 130;
  }
  return converter.ErrorMsg().empty() ? 0 : 1;
}

namespace {

void AddRequestOptions(CLI::App& command, TConvertRequest& request) {
  command.add_option("FILES", request.files, "SOURCE TARGET (TARGET alone with --dvd)");
  command.add_option("--profile,-p", request.profile,
                     "Apply an output profile by its description (see `profiles`)");
  command.add_option("--filter", request.filters,
                     "A video filter entry, e.g. vflip or logo=10|20|/path/logo.png (repeatable)");
  command.add_option("--settings", request.settings_file,
                     "Run a stored conversion (the XML a task keeps)");
  AddDvdSourceOptions(command, request.dvd);
  command.add_option("--option", request.options,
                     "Set a stored option: Path=Value, or Path+=Line for lists "
                     "(e.g. VideoOptions.VideoStreamCopy=1, CodecOptions+=g=15)");
  command.add_option("--codec-option", request.codec_options,
                     "Set an encoder option: Name=Value (replaces the line of that name)");
  command.add_option("--threads", request.threads, "Threads for every decoder and encoder");
  command.add_option("--start", request.start_seconds, "Start position in the source, seconds");
  command.add_option("--duration", request.duration_seconds, "Longest output duration, seconds");
}

std::unique_ptr<TConversionSettings> BuildOrExplain(const TConvertRequest& request) {
  try {
    return BuildSettings(request);
  } catch (const std::exception& e) {
    throw CLI::ValidationError(e.what());
  }
}

}  // namespace

void AddConvertCommand(CLI::App& app) {
  auto request = std::make_shared<TConvertRequest>();
  CLI::App* convert = app.add_subcommand("convert", "Convert a media file or a DVD title");
  AddRequestOptions(*convert, *request);
  convert->add_flag("--quiet,-q", request->quiet, "No log lines and no progress");
  auto* yes =
      convert->add_flag("--overwrite,-y", request->overwrite, "Replace the target when it exists");
  convert
      ->add_flag("--no-overwrite,-n", request->no_overwrite,
                 "Never replace an existing target (the default without a terminal)")
      ->excludes(yes);
  convert->callback([request] {
    std::unique_ptr<TConversionSettings> settings = BuildOrExplain(*request);
    TEventLoopDispatcher ui;
    TAVConverter converter(&ui);
    try {
      PrepareConverter(converter, *settings);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "Error: %s\n", e.what());
      throw CLI::RuntimeError(1);
    }
    if (!MayWriteTarget(request->overwrite, request->no_overwrite, settings->TargetFile(),
                        converter)) {
      std::fprintf(stderr, "Not overwriting - exiting\n");
      throw CLI::RuntimeError(1);
    }
    const int status = RunConversion(converter, request->quiet);
    if (status != 0) throw CLI::RuntimeError(status);
  });
}

void AddSettingsCommand(CLI::App& app) {
  auto request = std::make_shared<TConvertRequest>();
  CLI::App* command = app.add_subcommand(
      "settings", "Print the stored form (XML) of what `convert` would run, without running it");
  AddRequestOptions(*command, *request);
  command->callback([request] {
    std::unique_ptr<TConversionSettings> settings = BuildOrExplain(*request);
    std::cout << SettingsToXml(*settings) << std::endl;
  });
}

}  // namespace veltrano::cli
