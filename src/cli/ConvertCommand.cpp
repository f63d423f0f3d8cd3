#include "cli/ConvertCommand.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>

#include "cli/PropertyPath.h"
#include "converter/AVConverter.h"
#include "converter/AVLib.h"
#include "converter/MessageBoxes.h"

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
    std::fprintf(stderr, "\r\033[K%3d%%  %.1f kbit/s  elapsed %s  left %s", c.Progress(), c.Bitrate(),
                 SecondsToClockText(c.GetUsedTime()).c_str(), remaining.c_str());
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

bool Interrupted() { return interrupted; }

void ApplyRequestOptions(TAVConverter& converter, const TConvertRequest& request) {
  TAVConvertOptions& options = converter.ConvertOptions();
  for (const std::string& assignment : request.options) AssignProperty(options, assignment);
  for (const std::string& line : request.codec_options) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) {
      throw std::invalid_argument("'" + line + "' is not of the form Name=Value");
    }
    options.SetAdvancedOption(line.substr(0, eq), line.substr(eq + 1));
  }
  if (request.threads >= 0) options.SetThreadCount(request.threads);
  if (request.start_seconds >= 0) options.SetStartTime(SecondsToMicroseconds(request.start_seconds));
  if (request.duration_seconds >= 0) {
    options.SetRecordingTime(SecondsToMicroseconds(request.duration_seconds));
  }
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
      converter.Stop();  // ignored until the main loop runs: asked again on the next turn
      stop_sent = converter.State() == csStopped;
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

void AddConvertCommand(CLI::App& app) {
  auto request = std::make_shared<TConvertRequest>();
  CLI::App* convert = app.add_subcommand("convert", "Convert a media file");
  convert->add_option("SOURCE", request->source, "Media file to convert")->required();
  convert->add_option("TARGET", request->target, "File to write")->required();
  convert->add_option("--option", request->options,
                      "Set a stored option: Path=Value, or Path+=Line for lists "
                      "(e.g. VideoOptions.VideoStreamCopy=1, CodecOptions+=g=15)");
  convert->add_option("--codec-option", request->codec_options,
                      "Set an encoder option: Name=Value (replaces the line of that name)");
  convert->add_option("--threads", request->threads, "Threads for every decoder and encoder");
  convert->add_option("--start", request->start_seconds, "Start position in the source, seconds");
  convert->add_option("--duration", request->duration_seconds, "Longest output duration, seconds");
  convert->add_flag("--quiet,-q", request->quiet, "No log lines and no progress");
  convert->callback([request] {
    TEventLoopDispatcher ui;
    TAVConverter converter(&ui);
    try {
      ApplyRequestOptions(converter, *request);
    } catch (const std::exception& e) {
      throw CLI::ValidationError("--option", e.what());
    }
    converter.SetInputFiles({request->source});
    converter.SetOutputFiles({request->target});
    const int status = RunConversion(converter, request->quiet);
    if (status != 0) throw CLI::RuntimeError(status);
  });
}

}  // namespace veltrano::cli
