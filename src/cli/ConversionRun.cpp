// Running one conversion of `convert`: the log, the progress line and the
// summary on stderr, and Ctrl+C as a clean stop.
#include <fmt/format.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "cli/ConvertCommand.h"
#include "cli/ProgressLine.h"
#include "cli/UsageError.h"
#include "common/ConversionSettings.h"
#include "converter/AVConverter.h"
#include "converter/AVProbe.h"
#include "converter/DvdStream.h"
#include "converter/MessageBoxes.h"
#include "converter/SourceAccess.h"

namespace veltrano::cli {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::atomic<bool> interrupted{false};

void OnInterrupt(int) {
  interrupted = true;
}

// The source's pictures per second, for the progress line; 0 when it has no
// video or cannot be read again (a DVD title is not read twice for this).
double SourceFrameRate(const TConversionSettings& settings) {
  if (settings.SourceType() == TAVSourceType::stDvd || ReadOnlyOnce(settings.SourceFile()))
    return 0;
  try {
    const TProbedMedia media = ListMediaStreams(settings.SourceFile());
    const TProbedStream* video = media.Track("video", 1);
    return video != nullptr ? video->frame_rate : 0;
  } catch (const std::exception&) {
    return 0;
  }
}

int64_t OutputBytes(const TAVConverter& converter, const std::string& target) {
  std::error_code error;
  const auto size = fs::file_size(fs::path(target), error);
  return error ? converter.TargetFileSize() : static_cast<int64_t>(size);
}

// The playing time of the output as a reader finds it; the span converted
// when the output cannot be read as one file (image sequences).
double MediaSeconds(const TAVConverter& converter, const TProgressFigures& last) {
  try {
    const double duration = ListMediaStreams(converter.OutputFiles().at(0)).duration;
    if (duration > 0) return duration;
  } catch (const std::exception&) {
  }
  return last.total >= 0 ? last.total : std::max(0.0, converter.ConvertedDuration());
}

// The progress line of one conversion and its summary.
class TConversionDisplay {
 public:
  TConversionDisplay(const TConversionSettings& settings, bool quiet)
      : quiet_(quiet),
        block_(!quiet && isatty(STDERR_FILENO) != 0),
        target_(settings.TargetFile()),
        name_(fs::path(target_).filename().string()),
        frame_rate_(block_.Enabled() ? SourceFrameRate(settings) : 0) {}

  void Started() { started_ = Clock::now(); }
  void Show(const TAVConverter& converter) {
    if (!block_.Enabled()) return;
    block_.Draw({ProgressText(ReadProgress(converter, name_, started_, frame_rate_),
                              TerminalWidth(STDERR_FILENO))});
  }
  // Before anything else is written to stderr.
  void Erase() { block_.Erase(); }

  void Completed(const TAVConverter& converter) {
    if (quiet_) return;
    TProgressFigures last = ReadProgress(converter, name_, started_, frame_rate_);
    if (block_.Enabled()) {
      last.percent = 100;
      if (last.total >= 0) last.processed = last.total;
      block_.Draw({ProgressText(last, TerminalWidth(STDERR_FILENO))});
      std::fputc('\n', stderr);
      block_.Keep();
    }
    std::fprintf(stderr, "%s\n",
                 SummaryText(name_, OutputBytes(converter, target_), MediaSeconds(converter, last),
                             last.elapsed)
                     .c_str());
  }

 private:
  bool quiet_;
  TTerminalBlock block_;
  std::string target_;
  std::string name_;
  double frame_rate_;
  Clock::time_point started_ = Clock::now();
};

}  // namespace

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

bool Interrupted() {
  return interrupted;
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

int RunConversion(TAVConverter& converter, TEventLoopDispatcher& ui,
                  const TConversionSettings& settings, bool quiet) {
  TConversionDisplay display(settings, quiet);
  TErrorBoxHandler previous = SetErrorBoxHandler([&display](const std::string& text) {
    display.Erase();
    std::fprintf(stderr, "Error: %s\n", text.c_str());
  });
  converter.SetOnLog([&](TAVConverter&, int, const std::string& text) {
    if (quiet) return;
    // Log lines arrive on the worker; the progress line belongs to this thread.
    ui.Post([&display, text] {
      display.Erase();
      std::fputs(text.c_str(), stderr);
      if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
    });
  });
  converter.SetOnProgress([&display](TAVConverter& c) { display.Show(c); });
  bool stopped = false;
  converter.SetOnStopped([&stopped](TAVConverter&) { stopped = true; });

  TInterruptGuard guard;
  display.Started();
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
  display.Erase();
  SetErrorBoxHandler(previous);
  if (stopped || interrupted) {
    std::fprintf(stderr, "Stopped.\n");
    return kExitStopped;
  }
  if (!converter.ErrorMsg().empty()) return kExitFailed;
  display.Completed(converter);
  return 0;
}

}  // namespace veltrano::cli
