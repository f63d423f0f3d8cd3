#include "converter/AVConverter.h"

#include <cmath>
#include <exception>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

#include "converter/AVError.h"
#include "converter/AVLib.h"
#include "converter/ConvertThread.h"
#include "converter/MessageBoxes.h"
#include "converter/StreamProtocol.h"
#include "engine/ConverterEngine.h"
#include "engine/RunState.h"
#include "engine/TranscodeState.h"

namespace veltrano {

void TakeAudioParameters(TStreamParameters& parameters, const AVCodecContext* decoder) {
  parameters.channel_layout = decoder->ch_layout.order == AV_CHANNEL_ORDER_NATIVE
                                  ? static_cast<int64_t>(decoder->ch_layout.u.mask)
                                  : 0;
  parameters.audio_channels = decoder->ch_layout.nb_channels;
  parameters.audio_sample_rate = decoder->sample_rate;
  parameters.audio_sample_fmt = decoder->sample_fmt;
}

AVMediaType ToAVMediaType(TMediaKind kind) {
  switch (kind) {
    case TMediaKind::Video: return AVMEDIA_TYPE_VIDEO;
    case TMediaKind::Audio: return AVMEDIA_TYPE_AUDIO;
    case TMediaKind::Data: return AVMEDIA_TYPE_DATA;
    case TMediaKind::Subtitle: return AVMEDIA_TYPE_SUBTITLE;
    case TMediaKind::Attachment: return AVMEDIA_TYPE_ATTACHMENT;
  }
  return AVMEDIA_TYPE_UNKNOWN;
}

TRunState::TRunState() = default;
TRunState::~TRunState() = default;

TConverterEngine::TConverterEngine(TAVConverter& owner, IDispatcher* dispatcher)
    : owner_(owner), FDispatcher(dispatcher != nullptr ? dispatcher : &DefaultDispatcher()) {
  LoadMediaLibraries();
}

TConverterEngine::~TConverterEngine() {
  life_.reset();  // what the worker queued for this converter is dropped
  if (FThread) {
    Stop();
    WaitForWorker();
  }
}

// Figures ---------------------------------------------------------------------

int32_t ProgressPercent(const TAVConvertOptions& options, double duration, double converted) {
  const double start = static_cast<double>(options.StartTime());
  const int64_t recording = options.RecordingTime();
  if (start <= 0 && duration * 1000000.0 <= static_cast<double>(recording)) {
    if (duration <= 0) return 0;
    return static_cast<int32_t>(std::nearbyint(converted / duration * 100.0));
  }
  const int64_t total = std::llround(duration * 1000000.0) - options.StartTime();
  const int64_t span = std::min(recording, total);
  if (span <= 0) return 0;
  return static_cast<int32_t>(
      std::nearbyint(converted * 100.0 * 1000000.0 / static_cast<double>(span)));
}

int64_t LeftSeconds(int32_t progress, int64_t used) {
  if (progress <= 0) return kUnknownLeftTime;
  return used * (100 - progress) / progress;
}

int32_t TConverterEngine::Progress() const {
  return ProgressPercent(FConvertOptions, FDuration, FConvertedDuration);
}

int64_t TConverterEngine::GetUsedTime() const {
  return (last_time - timer_start) / 1000000;
}

std::string TConverterEngine::ErrorMsg() const {
  std::lock_guard lock(error_mutex_);
  return FErrorMsg;
}

void TConverterEngine::SetError(const std::string& message) {
  std::lock_guard lock(error_mutex_);
  FErrorMsg = message;
}

// Control ---------------------------------------------------------------------

void TConverterEngine::Convert() {
  if (FThread) {
    VEL_ASSERT(FThread->Finished());  // a converter runs one job at a time
    FThread.reset();
  }
  SetError(std::string());
  ResetFigures();
  FPlan = TConversionPlan();
  ++run_number_;
  // Running from here on, so that Stop and Pause take effect during opening.
  FState = csRunning;
  FThread = std::make_unique<TAVConvertThread>(*this);
}

// The figures of the previous run; the duration stays, as the caller may
// have set it for a source that does not tell its own.
void TConverterEngine::ResetFigures() {
  FConvertedDuration = 0;
  FBitrate = 0;
  FTargetFileSize = 0;
  FSourceFileSize = 0;
  figures_.audio_size = 0;
  figures_.video_size = 0;
  figures_.frames_decoded = 0;
  timer_start = 0;
  last_time = 0;
}

void TConverterEngine::Pause() {
  TAVConvertState expected = csRunning;
  FState.compare_exchange_strong(expected, csPaused);
}

void TConverterEngine::Resume() {
  TAVConvertState expected = csPaused;
  if (FState.compare_exchange_strong(expected, csRunning)) {
    std::lock_guard lock(state_mutex_);
    state_changed_.notify_all();
  }
}

void TConverterEngine::Stop() {
  TAVConvertState current = FState;
  while (current == csRunning || current == csPaused) {
    if (FState.compare_exchange_weak(current, csStopped)) {
      std::lock_guard lock(state_mutex_);
      state_changed_.notify_all();
      return;
    }
  }
}

bool TConverterEngine::IsRunning() const {
  return FThread && (!FThread->Finished() || ended_run_number_ != run_number_);
}

void TConverterEngine::WaitFor() {
  if (!FThread) return;
  const bool ui = FDispatcher->IsUiThread();
  while (!FThread->Finished() || (ui && ended_run_number_ != run_number_)) {
    if (ui) {
      FDispatcher->ProcessPending(std::chrono::milliseconds(20));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  FThread.reset();
}

// Only for the destructor: the end event will not run any more.
void TConverterEngine::WaitForWorker() {
  while (!FThread->Finished()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  FThread.reset();
}

// Events ----------------------------------------------------------------------

void TConverterEngine::PostToUiThread(std::function<void()> fn) {
  FDispatcher->Post([life = std::weak_ptr<int>(life_), fn = std::move(fn)] {
    if (!life.expired()) fn();
  });
}

void TConverterEngine::ShowErrorBoxLater(const std::string& text) {
  FDispatcher->Post([text] { ShowErrorBox(text); });
}

void TConverterEngine::DoLog(int level, const std::string& text) {
  if (FOnLog) FOnLog(owner_, level, text);
}

void TConverterEngine::DoStopped() {
  if (FOnStopped) FOnStopped(owner_);
}

void TConverterEngine::DoError() {
  ShowErrorBox(ErrorMsg());
}

void TConverterEngine::DoComplete() {
  if (!FOnComplete) return;
  try {
    FOnComplete(owner_);
  } catch (...) {
    // A failing completion handler must not take the worker down.
  }
}

void TConverterEngine::Execute() {
  bool failed = false;
  try {
    if (static_cast<int>(FInputFiles.size()) > kMaxInputFiles) {
      throw EAVError("Too many input files (at most " + std::to_string(kMaxInputFiles) + ")");
    }
    if (static_cast<int>(FOutputFiles.size()) > kMaxOutputFiles) {
      throw EAVError("Too many output files (at most " + std::to_string(kMaxOutputFiles) + ")");
    }
    PrepareRun();
    ParseStreamMaps();
    ApplyCodecOptions();
    ResolveFormats();
    CheckOutputTargets();
    OpenInputsAndOutputs();
    FPlan = PlanOfRun(*run_, FInputFiles, FOutputFiles);
    Transcode();
  } catch (const std::exception& e) {
    // A stop that ended a step (an open given up through the interrupt
    // callback, say) is a stop, not a failure.
    failed = FState != csStopped;
    if (failed) ReportFailure(e.what());
  }
  ReleaseRun(failed);
}

void TConverterEngine::OpenInputsAndOutputs() {
  for (int n = 0; n < static_cast<int>(FInputFiles.size()); ++n) {
    OpenInputFile(n);
    ThrowIfStopped();
  }
  AddSilentTracks();
  CopyTimestampScales();
  for (int n = 0; n < static_cast<int>(FOutputFiles.size()); ++n) OpenOutputFile(n);
  ThrowIfStopped();
}

void TConverterEngine::CopyTimestampScales() {
  for (TInputFile& input : run_->input_files) input.ts_scale.assign(input.ctx->nb_streams, 0.0);
  for (const TInputTSScaleEntry& e : FConvertOptions.InputTSScale()) {
    if (e.file_index >= 0 && e.file_index < static_cast<int>(run_->input_files.size()) &&
        e.stream_index >= 0 &&
        e.stream_index < static_cast<int>(run_->input_files[e.file_index].ts_scale.size())) {
      run_->input_files[e.file_index].ts_scale[e.stream_index] = e.scale;
    }
  }
}

void TConverterEngine::Transcode() {
  run_->transcode = std::make_unique<TTranscodeState>();
  SetupTranscode();
  MainLoop();
  FlushDecoders();
  for (TOutputFile& file : run_->output_files) file.WriteTrailer();
  ReportProgress(true);
  HandOverProgress(true);
  // A run that was not stopped and wrote nothing at all did not convert
  // anything (an unreadable source, a start beyond its end): not a success.
  bool wrote = false;
  for (const auto& ost : run_->transcode->output_streams) {
    TOutputFile& file = run_->output_files[ost->file_index];
    const int64_t muxed = file.muxed[ost->index].packets;
    wrote |= muxed > 0;
    file.packets_written.resize(std::max<size_t>(file.packets_written.size(), ost->index + 1), 0);
    file.packets_written[ost->index] = muxed;
  }
  if (!wrote && FState != csStopped) throw EAVError("The source gave nothing to convert");
  RemoveTwoPassFolders();
}

// A failure message that names none of the job's files gets them added, so
// that every message says which conversion failed.
std::string TConverterEngine::NamedFailure(const std::string& message) const {
  auto joined = [&message](const TStrings& names, bool& named) {
    std::string text;
    for (const std::string& name : names) {
      named |= message.find(name) != std::string::npos;
      text += (text.empty() ? "" : ", ") + name;
    }
    return text;
  };
  bool named = false;
  const std::string inputs = joined(FInputFiles, named);
  const std::string outputs = joined(FOutputFiles, named);
  if (named || (inputs.empty() && outputs.empty())) return message;
  return message + " (" + inputs + " → " + outputs + ")";
}

// The message is shown after the run has ended (QueueEndEvent).
void TConverterEngine::ReportFailure(const std::string& raw_message) {
  const std::string message = NamedFailure(raw_message);
  SetError(message);
}

// True when the run is to stop; a paused run waits here until it is resumed
// or stopped. Loops that can run long ask it on every turn.
bool TConverterEngine::StopRequested() {
  WaitWhilePaused();
  return FState == csStopped;
}

void TConverterEngine::ThrowIfStopped() {
  if (FState == csStopped) throw EAVError("Stopped");
}

void TConverterEngine::ReleaseRun(bool failed) {
  // The records of the transcode first, then the outputs (closed, and named
  // or removed), then inputs and templates: destroying the run state
  // releases every handle in it.
  if (run_) {
    run_->transcode.reset();
    try {
      CloseOutputs(failed);
    } catch (const std::exception& e) {
      failed = true;
      ReportFailure(e.what());
    }
    if (!failed && FState != csStopped) CheckCompletedOutputs();
  }
  run_.reset();
  // A "stream:" input is handed to one run; one that failed before opening it
  // must not keep its source (a disc) open.
  for (const std::string& input : FInputFiles) ReleaseUnopenedStream(input);
  // A run that failed is a failure even when a stop came meanwhile (while its
  // error was shown, say): its owner hears of it as of any failed run.
  const bool stopped = !failed && FState == csStopped;
  FState = csNone;
  QueueEndEvent(stopped);
}

void TConverterEngine::QueueEndEvent(bool stopped) {
  FDispatcher->Post([this, life = std::weak_ptr<int>(life_), stopped, run = run_number_.load()] {
    if (life.expired()) return;
    ended_run_number_ = run;
    if (stopped) {
      DoStopped();
    } else {
      DoComplete();
    }
    // A handler may have destroyed the converter; the box comes last, as it
    // waits for the user.
    if (!life.expired() && !ErrorMsg().empty()) DoError();
  });
}

// The converter's interface: each call goes to its engine -----------------------

TAVConverter::TAVConverter(IDispatcher* dispatcher)
    : engine_(std::make_unique<TConverterEngine>(*this, dispatcher)) {}
TAVConverter::~TAVConverter() = default;

TAVConvertOptions& TAVConverter::ConvertOptions() {
  return engine_->FConvertOptions;
}
const TAVConvertOptions& TAVConverter::ConvertOptions() const {
  return engine_->FConvertOptions;
}
void TAVConverter::SetConvertOptions(const TAVConvertOptions& value) {
  engine_->FConvertOptions.Assign(value);
}
const TStrings& TAVConverter::InputFiles() const {
  return engine_->FInputFiles;
}
void TAVConverter::SetInputFiles(const TStrings& value) {
  engine_->FInputFiles = value;
}
const TStrings& TAVConverter::OutputFiles() const {
  return engine_->FOutputFiles;
}
void TAVConverter::SetOutputFiles(const TStrings& value) {
  engine_->FOutputFiles = value;
}
void TAVConverter::SetOverwrite(bool value) {
  engine_->FOverwrite = value;
}

void TAVConverter::SetOnLog(TAVLogEvent handler) {
  engine_->FOnLog = std::move(handler);
}
void TAVConverter::SetOnProgress(TAVProgressEvent handler) {
  engine_->FOnProgress = std::move(handler);
}
void TAVConverter::SetOnComplete(TNotifyEvent handler) {
  engine_->FOnComplete = std::move(handler);
}
void TAVConverter::SetOnStopped(TNotifyEvent handler) {
  engine_->FOnStopped = std::move(handler);
}
void TAVConverter::SetOnOutput(TOutputEvent handler) {
  engine_->FOnOutput = std::move(handler);
}

double TAVConverter::ConvertedDuration() const {
  return engine_->FConvertedDuration;
}
double TAVConverter::Duration() const {
  return engine_->FDuration;
}
void TAVConverter::SetDuration(double value) {
  engine_->FDuration = value;
}
double TAVConverter::Bitrate() const {
  return engine_->FBitrate;
}
int32_t TAVConverter::Progress() const {
  return engine_->Progress();
}
int64_t TAVConverter::StartTime() const {
  return engine_->timer_start;
}
int64_t TAVConverter::LastTime() const {
  return engine_->last_time;
}
int64_t TAVConverter::TargetFileSize() const {
  return engine_->FTargetFileSize;
}
int64_t TAVConverter::AudioSize() const {
  return engine_->figures_.audio_size;
}
int64_t TAVConverter::VideoSize() const {
  return engine_->figures_.video_size;
}
int64_t TAVConverter::FramesDecoded() const {
  return engine_->figures_.frames_decoded;
}
int64_t TAVConverter::SourceFileSize() const {
  return engine_->FSourceFileSize;
}
int64_t TAVConverter::GetUsedTime() const {
  return engine_->GetUsedTime();
}
int64_t TAVConverter::GetLeftTime() const {
  return LeftSeconds(Progress(), GetUsedTime());
}
TAVConvertState TAVConverter::State() const {
  return engine_->State();
}
const TConversionPlan& TAVConverter::Plan() const {
  return engine_->FPlan;
}
std::string TAVConverter::ErrorMsg() const {
  return engine_->ErrorMsg();
}
void TAVConverter::SetLogLevel(int level) {
  engine_->FLogLevel = level;
}

void TAVConverter::Convert() {
  engine_->Convert();
}
void TAVConverter::Pause() {
  engine_->Pause();
}
void TAVConverter::Resume() {
  engine_->Resume();
}
void TAVConverter::Stop() {
  engine_->Stop();
}
bool TAVConverter::IsRunning() const {
  return engine_->IsRunning();
}
void TAVConverter::WaitFor() {
  engine_->WaitFor();
}

}  // namespace veltrano
