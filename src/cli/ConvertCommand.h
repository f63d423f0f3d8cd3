// `veltrano-cli convert` and `veltrano-cli settings`: one conversion with the
// engine, described the way a task describes it (source, target, profile,
// filters, time span, options), its log on stderr and a progress line when
// stderr is a terminal.
#pragma once

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "cli/MediaCommands.h"
#include "converter/AVOptions.h"

namespace CLI {
class App;
}

namespace veltrano {
class TAVConverter;
class TConversionSettings;
}

namespace veltrano::cli {

// What `convert` (or `settings`) was asked to do.
struct TConvertRequest {
  std::vector<std::string> files;          // SOURCE TARGET; TARGET alone with --dvd
  std::string profile;                     // a profile's Description
  std::vector<std::string> filters;        // filter entries, joined in order
  std::string settings_file;               // a stored conversion to run as it is
  TDvdSourceOptions dvd;
  std::vector<std::string> options;        // Path=Value / Path+=Line
  std::vector<std::string> codec_options;  // Name=Value through SetAdvancedOption
  int threads = -1;                        // -1: the profile's or the options' value
  double start_seconds = -1;
  double duration_seconds = -1;
  bool quiet = false;
  // An existing target: replaced (-y), kept (-n), or asked about on a terminal.
  bool overwrite = false;
  bool no_overwrite = false;
};

void AddConvertCommand(CLI::App& app);
void AddSettingsCommand(CLI::App& app);

// The settings a task would hold for `request`, as the wizard builds them:
// time span and filters first, then the profile, then explicit options.
// Throws std::runtime_error (or EAVError) with a message for the user.
std::unique_ptr<TConversionSettings> BuildSettings(const TConvertRequest& request);

// Makes a DVD title range the source of `settings`: the disc is scanned and
// the range opened once to check it (title, chapters, angle). Throws EAVError.
void FillDvdSource(TConversionSettings& settings, const TDvdSourceOptions& dvd);

// Applies the request's option assignments to `options`.
void ApplyRequestOptions(TAVConvertOptions& options, const TConvertRequest& request);

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

// Runs `converter` to its end with the log and progress on stderr; Ctrl+C
// stops it cleanly. The exit status: 0 completed, 1 failed, 130 stopped.
int RunConversion(TAVConverter& converter, bool quiet);

}  // namespace veltrano::cli
