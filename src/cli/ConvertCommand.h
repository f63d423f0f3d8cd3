// `veltrano-cli convert` and `veltrano-cli settings`: one conversion with the
// engine, described the way a task describes it (source, target, profile,
// filters, time span, tracks, options), its log on stderr, a progress line
// when stderr is a terminal and a summary at the end.
#pragma once

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "cli/MediaCommands.h"
#include "cli/TrackChoice.h"
#include "converter/AVOptions.h"

namespace CLI {
class App;
}

namespace veltrano {
class TAVConfiguration;
class TAVConverter;
class TEventLoopDispatcher;
class TConversionSettings;
}

namespace veltrano::cli {

// What `convert`, `settings` or `queue add` was asked to do.
struct TConvertRequest {
  std::vector<std::string> files;          // SOURCE [TARGET]; [TARGET] alone with --dvd
  std::string profile;                     // a profile's id or description
  std::vector<std::string> filters;        // --filter arguments, in order
  std::string settings_file;               // a stored conversion to run as it is
  TDvdSourceOptions dvd;
  std::vector<std::string> options;        // Path=Value / Path+=Line
  std::vector<std::string> codec_options;  // Name=Value through SetAdvancedOption
  int threads = -1;                        // -1: the profile's or the options' value
  std::string start;                       // times as typed ("1:02:03.5")
  std::string duration;
  std::string end;
  TTrackChoice tracks;
  bool force_extension = false;
  bool no_copy = false;  // re-encode even the streams that already fit the device
  bool quiet = false;
  // An existing target: replaced (-y), kept (-n), or asked about on a terminal.
  bool overwrite = false;
  bool no_overwrite = false;
};

void AddConvertCommand(CLI::App& app);
void AddSettingsCommand(CLI::App& app);

// Adds the options that describe a conversion (everything but the files and
// --settings) to `command`.
void AddConversionOptions(CLI::App& command, TConvertRequest& request);

// The settings a task would hold for `request`, as the wizard builds them:
// the source checked, time span and filters first, then the profile, then
// explicit options; the target follows the profile (a missing one goes into
// the configured output folder, avoiding `reserved` targets); tracks last.
// Paths are absolute. A stored conversion (--settings) takes the time span,
// filters (added to its own), options and tracks; files, --dvd, --profile
// and --force-extension are refused with it. Throws EUsageError for what was
// typed wrong, std::runtime_error (or EAVError) for a source that cannot be
// read.
std::unique_ptr<TConversionSettings> BuildSettings(const TConvertRequest& request,
                                                   const TAVConfiguration& configuration,
                                                   const std::vector<std::string>& reserved = {});

// Makes a DVD title range the source of `settings`: the disc is scanned and
// the range opened once to check it (title, chapters, angle). Throws EAVError.
void FillDvdSource(TConversionSettings& settings, const TDvdSourceOptions& dvd);

// Gives `converter` the job of `settings`; a DVD source gets a fresh title
// stream opened from the stored DVD fields.
void PrepareConverter(TAVConverter& converter, TConversionSettings& settings);

// While it lives, Ctrl+C and termination only set Interrupted(): a command
// stops its conversions instead of being killed, so outputs get their trailer.
class TInterruptGuard {
 public:
  TInterruptGuard();
  ~TInterruptGuard();
  TInterruptGuard(const TInterruptGuard&) = delete;
  TInterruptGuard& operator=(const TInterruptGuard&) = delete;

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
};
bool Interrupted();

// Runs the job of `settings` in `converter` (made with the dispatcher `ui`)
// to its end with the log, the progress line and the summary on stderr;
// Ctrl+C stops it cleanly. The exit status: 0 completed, 1 failed, 130 stopped.
int RunConversion(TAVConverter& converter, TEventLoopDispatcher& ui,
                  const TConversionSettings& settings, bool quiet);

}  // namespace veltrano::cli
