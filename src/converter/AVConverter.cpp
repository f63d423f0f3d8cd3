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
#include "converter/LegacyOptions.h"
#include "converter/RunState.h"
#include "converter/TranscodeState.h"

namespace veltrano {

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

TAVConverter::TAVConverter(IDispatcher* dispatcher)
    : FDispatcher(dispatcher != nullptr ? dispatcher : &DefaultDispatcher()) {
  LoadMediaLibraries();
}

TAVConverter::~TAVConverter() {
  if (FThread) {
    Stop();
    WaitFor();
  }
}

// Figures ---------------------------------------------------------------------

int32_t TAVConverter::Progress() const {
  const double start = static_cast<double>(FConvertOptions.StartTime());
  const int64_t recording = FConvertOptions.RecordingTime();
  const double duration = FDuration;
  const double converted = FConvertedDuration;
  if (start <= 0 && duration * 1000000.0 <= static_cast<double>(recording)) {
    if (duration <= 0) return 0;
    return static_cast<int32_t>(std::nearbyint(converted / duration * 100.0));
  }
  const int64_t total = std::llround(duration * 1000000.0) - FConvertOptions.StartTime();
  const int64_t span = std::min(recording, total);
  if (span <= 0) return 0;
  return static_cast<int32_t>(
      std::nearbyint(converted * 100.0 * 1000000.0 / static_cast<double>(span)));
}

int64_t TAVConverter::GetUsedTime() const { return (last_time - timer_start) / 1000000; }

int64_t TAVConverter::GetLeftTime() const {
  const int64_t progress = Progress();
  if (progress <= 0) return kUnknownLeftTime;
  return GetUsedTime() * (100 - progress) / progress;
}

std::string TAVConverter::ErrorMsg() const {
  std::lock_guard lock(error_mutex_);
  return FErrorMsg;
}

void TAVConverter::SetError(const std::string& message) {
  std::lock_guard lock(error_mutex_);
  FErrorMsg = message;
}

// Control ---------------------------------------------------------------------

void TAVConverter::Convert() {
  if (FThread) {
    VEL_ASSERT(FThread->Finished());  // a converter runs one job at a time
    FThread.reset();
  }
  SetError(std::string());
  FThread = std::make_unique<TAVConvertThread>(*this);
}

void TAVConverter::Pause() {
  TAVConvertState expected = csRunning;
  FState.compare_exchange_strong(expected, csPaused);
}

void TAVConverter::Resume() {
  TAVConvertState expected = csPaused;
  if (FState.compare_exchange_strong(expected, csRunning)) {
    std::lock_guard lock(state_mutex_);
    state_changed_.notify_all();
  }
}

void TAVConverter::Stop() {
  TAVConvertState current = FState;
  while (current == csRunning || current == csPaused) {
    if (FState.compare_exchange_weak(current, csStopped)) {
      std::lock_guard lock(state_mutex_);
      state_changed_.notify_all();
      return;
    }
  }
}

bool TAVConverter::IsRunning() const { return FThread && !FThread->Finished(); }

void TAVConverter::WaitFor() {
  if (!FThread) return;
  while (!FThread->Finished()) {
    if (FDispatcher->IsUiThread()) {
      FDispatcher->ProcessPending(std::chrono::milliseconds(20));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  FThread.reset();
}

// Events ----------------------------------------------------------------------

void TAVConverter::RunOnUiThread(const std::function<void()>& fn) {
  FDispatcher->RunBlocking(fn);
}

void TAVConverter::DoLog(int level, const std::string& text) {
  if (FOnLog) FOnLog(*this, level, text);
}

void TAVConverter::DoStopped() {
  if (FOnStopped) FOnStopped(*this);
}

void TAVConverter::DoError() { ShowErrorBox(ErrorMsg()); }

void TAVConverter::DoComplete() {
  if (!FOnComplete) return;
  try {
    FOnComplete(*this);
  } catch (...) {
    // A failing completion handler must not take the worker down.
  }
}

// Option setter and templates -------------------------------------------------

namespace {

// The parameter flag each media kind's options carry (0 matches any option).
constexpr int kKindOptionFlags[kMediaKindCount] = {
    AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0, AV_OPT_FLAG_SUBTITLE_PARAM, 0};

// Options that today's library shares between audio and video but that mean
// the video encoder in the option names the system uses (audio has its own
// "ab"): they are set on the video template only.
bool IsVideoOnlyOption(const std::string& name) {
  return name == "b" || name == "bt" || name == "maxrate" || name == "minrate" ||
         name == "bufsize";
}

}  // namespace

void TAVConverter::PrepareRun() {
  run_ = std::make_unique<TRunState>();
  for (int k = 0; k < kMediaKindCount; ++k) {
    run_->avcodec_opts[k].reset(avcodec_alloc_context3(nullptr));
    if (!run_->avcodec_opts[k]) throw EAVError("Out of memory");
    run_->avcodec_opts[k]->codec_type = ToAVMediaType(static_cast<TMediaKind>(k));
  }
  run_->avformat_opts.reset(avformat_alloc_context());
  run_->sws_opts.reset(sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_YUV420P,
                                      FConvertOptions.SwsFlags(), nullptr, nullptr, nullptr));
  if (!run_->avformat_opts || !run_->sws_opts) throw EAVError("Out of memory");
}

int TAVConverter::SetOption(const std::string& name, const std::string& value) {
  TRunState& run = *run_;
  const char* key = name.c_str();
  const char* text = value.c_str();
  const AVOption* found = nullptr;
  int ret = 0;
  const int last_kind = IsVideoOnlyOption(name) ? 0 : kMediaKindCount - 1;
  for (int k = 0; k <= last_kind && ret >= 0; ++k) {
    const AVOption* o = av_opt_find(run.avcodec_opts[0].get(), key, nullptr, kKindOptionFlags[k], 0);
    if (o != nullptr) {
      found = o;
      ret = av_opt_set(run.avcodec_opts[k].get(), key, text, 0);
    }
  }
  if (found == nullptr) {
    found = av_opt_find(run.avformat_opts.get(), key, nullptr, 0, 0);
    if (found != nullptr) ret = av_opt_set(run.avformat_opts.get(), key, text, 0);
  }
  if (found == nullptr) {
    found = av_opt_find(run.sws_opts.get(), key, nullptr, 0, 0);
    if (found != nullptr) ret = av_opt_set(run.sws_opts.get(), key, text, 0);
  }
  if (found == nullptr && name.size() > 1 && (name[0] == 'a' || name[0] == 'v' || name[0] == 's')) {
    const TMediaKind kind = name[0] == 'a'   ? TMediaKind::Audio
                            : name[0] == 'v' ? TMediaKind::Video
                                             : TMediaKind::Subtitle;
    AVCodecContext* target = run.avcodec_opts[static_cast<int>(kind)].get();
    found = av_opt_find(target, key + 1, nullptr, 0, 0);
    if (found != nullptr) ret = av_opt_set(target, key + 1, text, 0);
  }
  if (found != nullptr && ret < 0) {
    RunOnUiThread([] { ShowErrorBox("Invalid value for Option!"); });
    return -1;
  }
  if (found == nullptr) {
    // Not a generic option: keep it for the encoders, which may know it
    // as a private option (what none of them takes is logged then).
    run.private_codec_options.emplace_back(name, value);
    return 0;
  }
  Opt_names.push_back(found->name);
  return 0;
}

void TAVConverter::CopyTemplateOptions(void* target, const void* option_template, int mask) const {
  for (const std::string& name : Opt_names) {
    const AVOption* o = av_opt_find(const_cast<void*>(option_template), name.c_str(), nullptr, 0, 0);
    if (o == nullptr || (o->flags & mask) != mask) continue;
    uint8_t* text = nullptr;
    if (av_opt_get(const_cast<void*>(option_template), name.c_str(), 0, &text) >= 0 &&
        text != nullptr) {
      av_opt_set(target, name.c_str(), reinterpret_cast<const char*>(text), 0);
    }
    av_free(text);
  }
}

// The run ---------------------------------------------------------------------

void TAVConverter::ParseStreamMaps() {
  const TStrings& lines = FConvertOptions.StreamMaps();
  if (static_cast<int>(lines.size()) > kMaxStreams) {
    throw EAVError("Too many stream maps (at most " + std::to_string(kMaxStreams) + ")");
  }
  for (const std::string& line : lines) {
    auto [file, stream] = SplitNameValue(line);
    TStreamMap map;
    try {
      size_t used_file = 0;
      size_t used_stream = 0;
      map.file_index = std::stoi(file, &used_file);
      map.stream_index = std::stoi(stream, &used_stream);
      if (used_file != file.size() || used_stream != stream.size()) throw std::invalid_argument(line);
    } catch (const std::logic_error&) {
      throw EAVError("'" + line + "' is not a valid stream map");
    }
    map.sync_file_index = map.file_index;
    map.sync_stream_index = map.stream_index;
    run_->stream_maps.push_back(map);
  }
}

void TAVConverter::ApplyCodecOptions() {
  if (FConvertOptions.AudioOptions().Bitrate() != 0) {
    SetOption("ab", std::to_string(FConvertOptions.AudioOptions().Bitrate()));
  }
  if (FConvertOptions.VideoOptions().Bitrate() != 0) {
    SetOption("b", std::to_string(FConvertOptions.VideoOptions().Bitrate()));
  }
  // Lines in the spellings of older libraries are translated first.
  for (const std::string& line : FConvertOptions.CodecOptions()) {
    if (line.empty()) continue;
    auto [name, value] = SplitNameValue(line);
    for (const auto& [today_name, today_value] : TranslateCodecOption(name, value)) {
      SetOption(today_name, today_value);
    }
  }
}

void TAVConverter::Execute() {
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
    for (int n = 0; n < static_cast<int>(FInputFiles.size()); ++n) OpenInputFile(n);
    run_->input_files_ts_scale.resize(run_->input_files.size());
    for (size_t n = 0; n < run_->input_files.size(); ++n) {
      run_->input_files_ts_scale[n].assign(run_->input_files[n].ctx->nb_streams, 0.0);
    }
    for (const TInputTSScaleEntry& e : FConvertOptions.InputTSScale()) {
      if (e.file_index >= 0 && e.file_index < static_cast<int>(run_->input_files_ts_scale.size()) &&
          e.stream_index >= 0 &&
          e.stream_index < static_cast<int>(run_->input_files_ts_scale[e.file_index].size())) {
        run_->input_files_ts_scale[e.file_index][e.stream_index] = e.scale;
      }
    }
    for (int n = 0; n < static_cast<int>(FOutputFiles.size()); ++n) OpenOutputFile(n);
    Transcode();
  } catch (const std::exception& e) {
    // A step before transcoding failed: report it like a transcode failure.
    SetError(e.what());
    RunOnUiThread([this] { DoError(); });
  }
  ReleaseRun();
}

void TAVConverter::ReleaseRun() {
  // Outputs first (their byte streams are closed by their owners), then inputs
  // and templates: destroying the run state releases every handle in it.
  if (run_) {
    run_->transcode.reset();
    run_->output_files.clear();
    run_->bitstream_filters.clear();
    run_->input_files.clear();
  }
  run_.reset();
  const bool stopped = FState == csStopped;
  FState = csNone;
  if (!stopped) RunOnUiThread([this] { DoComplete(); });
}

}  // namespace veltrano
