// `veltrano-cli convert`: one conversion with the engine, its log on stderr
// and a progress line when stderr is a terminal.
#pragma once

#include <csignal>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace veltrano {
class TAVConverter;
}

namespace veltrano::cli {

// What `convert` was asked to do.
struct TConvertRequest {
  std::string source;
  std::string target;
  std::vector<std::string> options;        // Path=Value / Path+=Line
  std::vector<std::string> codec_options;  // Name=Value through SetAdvancedOption
  int threads = -1;                        // -1: keep the options' value
  double start_seconds = -1;
  double duration_seconds = -1;
  bool quiet = false;
};

void AddConvertCommand(CLI::App& app);

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

// Applies the request's option assignments to the converter's options.
// Throws EPropertyPath or std::invalid_argument with a message for the user.
void ApplyRequestOptions(TAVConverter& converter, const TConvertRequest& request);

// Runs `converter` to its end with the log and progress on stderr; Ctrl+C
// stops it cleanly. The exit status: 0 completed, 1 failed, 130 stopped.
int RunConversion(TAVConverter& converter, bool quiet);

}  // namespace veltrano::cli
