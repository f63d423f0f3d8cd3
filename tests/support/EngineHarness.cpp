#include "support/EngineHarness.h"

namespace veltrano::test {

TMessageRecorder::TMessageRecorder(bool answer_warnings) {
  previous_error_ = SetErrorBoxHandler([this](const std::string& text) {
    std::lock_guard lock(mutex_);
    errors_.push_back(text);
  });
  previous_warning_ = SetAskWarningHandler([this, answer_warnings](const std::string& text) {
    std::lock_guard lock(mutex_);
    warnings_.push_back(text);
    return answer_warnings;
  });
}

TMessageRecorder::~TMessageRecorder() {
  SetErrorBoxHandler(previous_error_);
  SetAskWarningHandler(previous_warning_);
}

std::vector<std::string> TMessageRecorder::Errors() const {
  std::lock_guard lock(mutex_);
  return errors_;
}

std::vector<std::string> TMessageRecorder::Warnings() const {
  std::lock_guard lock(mutex_);
  return warnings_;
}

std::vector<std::string> TEventLog::LogTexts() {
  std::lock_guard lock(mutex);
  std::vector<std::string> texts;
  for (const auto& [level, text] : logs) texts.push_back(text);
  return texts;
}

bool TEventLog::HasLog(const std::string& fragment) {
  std::lock_guard lock(mutex);
  for (const auto& [level, text] : logs) {
    if (text.find(fragment) != std::string::npos) return true;
  }
  return false;
}

void RecordEvents(TAVConverter& converter, TEventLog& events, IDispatcher& ui) {
  converter.SetOnLog([&events](TAVConverter&, int level, const std::string& text) {
    std::lock_guard lock(events.mutex);
    events.logs.emplace_back(level, text);
  });
  converter.SetOnProgress([&events, &ui](TAVConverter&) {
    std::lock_guard lock(events.mutex);
    ++events.progress;
    events.progress_on_ui_thread &= ui.IsUiThread();
  });
  converter.SetOnComplete([&events](TAVConverter&) {
    std::lock_guard lock(events.mutex);
    ++events.completed;
  });
  converter.SetOnStopped([&events](TAVConverter&) {
    std::lock_guard lock(events.mutex);
    ++events.stopped;
  });
}

bool RunToEnd(TAVConverter& converter, TEventLoopDispatcher& ui,
              std::chrono::milliseconds timeout) {
  converter.Convert();
  const bool ended = ui.RunUntil([&] { return !converter.IsRunning(); }, timeout);
  if (ended) converter.WaitFor();
  return ended;
}

TConversionResult ConvertFiles(const std::vector<std::string>& inputs,
                               const std::vector<std::string>& outputs,
                               const std::function<void(TAVConverter&)>& setup,
                               std::chrono::milliseconds timeout) {
  TEventLoopDispatcher ui;
  TMessageRecorder messages;
  TEventLog events;
  TAVConverter converter(&ui);
  RecordEvents(converter, events, ui);
  converter.SetInputFiles(inputs);
  converter.SetOutputFiles(outputs);
  if (setup) setup(converter);
  TConversionResult result;
  result.ended = RunToEnd(converter, ui, timeout);
  if (!result.ended) {
    converter.Stop();
    converter.WaitFor();
  }
  result.error = converter.ErrorMsg();
  result.errors = messages.Errors();
  result.completed = events.completed;
  result.stopped = events.stopped;
  result.progress = events.progress;
  result.logs = events.LogTexts();
  return result;
}

}  // namespace veltrano::test
