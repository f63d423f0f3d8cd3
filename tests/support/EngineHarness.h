// Helpers for tests that run converters: a recorder for the message boxes,
// a converter that keeps what its events told, and running a job to its end.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "converter/AVConverter.h"
#include "converter/Dispatcher.h"
#include "converter/MessageBoxes.h"

namespace veltrano::test {

// Records every error box (and answers warnings) while it lives.
class TMessageRecorder {
 public:
  explicit TMessageRecorder(bool answer_warnings = false);
  ~TMessageRecorder();
  std::vector<std::string> Errors() const;
  std::vector<std::string> Warnings() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> errors_;
  std::vector<std::string> warnings_;
  TErrorBoxHandler previous_error_;
  TAskWarningHandler previous_warning_;
};

// What a converter's events reported, and on which threads.
struct TEventLog {
  std::mutex mutex;
  std::vector<std::pair<int, std::string>> logs;
  int progress = 0;
  int completed = 0;
  int stopped = 0;
  bool progress_on_ui_thread = true;

  std::vector<std::string> LogTexts();
  bool HasLog(const std::string& fragment);
};

// Connects all four events of `converter` to `events`.
void RecordEvents(TAVConverter& converter, TEventLog& events, IDispatcher& ui);

// Starts `converter` and dispatches on this thread until its run has ended.
// Returns false when it did not end within `timeout`.
bool RunToEnd(TAVConverter& converter, TEventLoopDispatcher& ui,
              std::chrono::milliseconds timeout = std::chrono::minutes(3));

// The outcome of one conversion run by ConvertFiles.
struct TConversionResult {
  bool ended = false;
  std::string error;                 // the converter's ErrorMsg
  std::vector<std::string> errors;   // error boxes shown
  int completed = 0;
  int stopped = 0;
  int progress = 0;
  std::vector<std::string> logs;
  bool Ok() const { return ended && error.empty() && completed == 1; }
};

// Runs one converter on `inputs` into `outputs` with its own dispatcher;
// `setup` adjusts the converter (options, events) before it starts.
// A run that has not ended after `timeout` is stopped (and `ended` is false).
TConversionResult ConvertFiles(const std::vector<std::string>& inputs,
                               const std::vector<std::string>& outputs,
                               const std::function<void(TAVConverter&)>& setup = {},
                               std::chrono::milliseconds timeout = std::chrono::minutes(3));

}  // namespace veltrano::test
