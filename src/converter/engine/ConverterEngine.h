// TConverterEngine: the inside of a TAVConverter, which holds one and hands
// every call of its interface to it. Only the converter library sees this
// header (see engine/README.md).
//
// The engine keeps the job (names, options), the events, the control state
// and the figures; while a run goes on it also owns the run state
// (RunState.h: the input and output files) and, during the transcode, its
// records and output paths (TranscodeState.h, OutputPath.h). It sets the run
// up and runs its main loop; the packet path itself belongs to the input
// files, the paths and the output files, which see the run through the
// engine's TRunContext.
// Its member functions are grouped by the file that defines them, in the
// order of the run (AVConverter.h, "The run").
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "converter/AVConverter.h"
#include "engine/RunContext.h"
#include "engine/RunState.h"

struct AVCodec;
struct AVCodecContext;
struct AVPacket;
struct AVFormatContext;
struct AVOutputFormat;
struct AVStream;

namespace veltrano {

class TAVConvertThread;
struct TRunState;
struct TOutputFile;
struct TEncodedStream;
struct TStreamParameters;
struct TInputStreamState;
struct TDecoded;
class TOutputPath;
struct TOutputStreamState;
struct TStreamRequest;
class Dictionary;
class TStreamIO;
enum class TMediaKind : int;

class TConverterEngine {
 public:
  TConverterEngine(TAVConverter& owner, IDispatcher* dispatcher);
  ~TConverterEngine();
  TConverterEngine(const TConverterEngine&) = delete;
  TConverterEngine& operator=(const TConverterEngine&) = delete;

  // The figures and control the converter's interface reads (AVConverter.cpp).
  int32_t Progress() const;
  int64_t GetUsedTime() const;
  std::string ErrorMsg() const;
  void Convert();
  void Pause();
  void Resume();
  void Stop();
  bool IsRunning() const;
  void WaitFor();
  int LogLevel() const { return FLogLevel; }
  TAVConvertState State() const { return FState; }
  IDispatcher& Dispatcher() const { return *FDispatcher; }
  TAVConverter& Owner() const { return owner_; }

  // The run sequence (AVConverter.cpp); executed by the worker thread.
  void Execute();
  void DoLog(int level, const std::string& text);

  TAVConverter& owner_;
  IDispatcher* FDispatcher;
  TStrings FInputFiles;
  TStrings FOutputFiles;
  TAVConvertOptions FConvertOptions;
  TConversionPlan FPlan;
  bool FOverwrite = false;
  TAVLogEvent FOnLog;
  TAVProgressEvent FOnProgress;
  TNotifyEvent FOnComplete;
  TNotifyEvent FOnStopped;
  TOutputEvent FOnOutput;

  std::atomic<TAVConvertState> FState{csNone};
  std::atomic<int> FLogLevel{24};
  std::atomic<double> FDuration{0};
  std::atomic<double> FConvertedDuration{0};
  std::atomic<double> FBitrate{0};
  std::atomic<int64_t> FTargetFileSize{0};
  std::atomic<int64_t> FSourceFileSize{0};
  TStreamFigures figures_;  // what the paths and decoders count
  std::atomic<int64_t> timer_start{0};
  std::atomic<int64_t> last_time{0};

 private:
  void DoStopped();
  void DoError();
  // Stream mapping, codec setup, main loop, flush and trailers. A failure
  // escapes as an exception, which the run sequence reports.
  void Transcode();
  void DoComplete();

  void OpenInputsAndOutputs();
  void CopyTimestampScales();
  void ReleaseRun(bool failed);
  void ReportFailure(const std::string& message);
  std::string NamedFailure(const std::string& message) const;
  void QueueEndEvent(bool stopped);
  bool StopRequested();
  void ThrowIfStopped();
  // Queues `fn` for the user-interface thread; it is dropped when the
  // converter is gone by then.
  void PostToUiThread(std::function<void()> fn);
  // Shows a message of a run that goes on, without waiting for the box.
  void ShowErrorBoxLater(const std::string& text);
  void WaitForWorker();
  void SetError(const std::string& message);
  void ResetFigures();

  // Option setter and templates (OptionTemplates.cpp).
  void PrepareRun();
  void ParseStreamMaps();
  void ApplyCodecOptions();
  int SetOption(const std::string& name, const std::string& value);
  void CopyTemplateOptions(void* target, const void* option_template, int mask) const;

  // Outputs that never destroy anything (SafeOutputs.cpp).
  void CheckOutputTargets() const;
  void OpenWorkFile(TOutputFile& file, const AVOutputFormat* format);
  void PublishWorkFile(TOutputFile& file);
  void DiscardWorkFile(TOutputFile& file);
  void Announce(TOutputRecord::TStep step, const TOutputFile& file, const TFileIdentity& identity);
  void AnnounceQuietly(TOutputRecord::TStep step, const TOutputFile& file,
                       const TFileIdentity& identity);
  void CloseOutputs(bool failed);
  void CheckCompletedOutputs();

  // Input opening (InputOpening.cpp).
  void ResolveFormats();
  void OpenInputFile(int n);
  Dictionary DemuxerParameters() const;
  void ForceDecoders(AVFormatContext* ctx) const;
  std::unique_ptr<TStreamIO> OpenSourceStream(int n);
  void SelectProgram(AVFormatContext* ctx) const;
  void ReadDecoderParameters(int n);
  void ReadVideoParameters(AVStream* st, AVCodecContext* dec);
  std::vector<int64_t> CountAnalysisFrames(int n) const;

  // Silent tracks for containers that need audio the source lacks (SilentTrack.cpp).
  void AddSilentTracks();
  void EndGeneratedInputs();

  // Output setup (OutputSetup.cpp).
  void OpenOutputFile(int n);
  TStreamParameters OutputParameters(const TStreamParameters& source) const;
  std::vector<const AVCodecContext*> MappedTracks(int type) const;
  AVStream* NewOutputStream(TOutputFile& file, TMediaKind kind, const AVCodec* encoder);
  TEncodedStream NewEncodedStream(TOutputFile& file, int n, TMediaKind kind,
                                  const std::string& encoder_name, bool copy, int32_t codec_tag);
  void CreateVideoStream(TOutputFile& file, int n, const TStreamParameters& out);
  void ConfigureVideoEncoder(TOutputFile& file, AVStream* st, AVCodecContext* c,
                             const AVCodec* encoder, AVCodecID codec_id,
                             const TStreamParameters& out);
  void CreateAudioStreams(TOutputFile& file, int n, const TStreamParameters& out);
  void CreateAudioStream(TOutputFile& file, int n, const TStreamParameters& out);
  void CreateSubtitleStreams(TOutputFile& file, int n);
  void CreateSubtitleStream(TOutputFile& file, int n);
  void ApplyMuxerSettings(TOutputFile& file);
  const AVCodec* FindEncoder(const std::string& name, int kind);

  // Transcode setup (TranscodeSetup.cpp).
  void SetupTranscode();
  void RecordPlan();
  void CreateInputRecords();
  std::vector<std::unique_ptr<TOutputStreamState>> CreateOutputRecords();
  void ChooseSource(TOutputStreamState& ost, int n);
  bool InProgram(const TInputStreamState& ist, int program_id) const;
  std::unique_ptr<TOutputPath> PrepareOutputStream(std::unique_ptr<TOutputStreamState> record);
  void PrepareStreamCopy(TOutputStreamState& ost, TInputStreamState& ist);
  std::unique_ptr<TOutputPath> PrepareEncoding(std::unique_ptr<TOutputStreamState> record,
                                               TInputStreamState& ist);
  std::unique_ptr<TOutputPath> PrepareVideoEncoding(std::unique_ptr<TOutputStreamState> record,
                                                    TInputStreamState& ist);
  void PrepareSubtitleEncoding(TOutputStreamState& ost, const TInputStreamState& ist);
  void RoutePaths();
  void PrepareTwoPass(TOutputStreamState& ost);
  void RemoveTwoPassFolders() const;
  int OutputStreamNumber(const TOutputStreamState& ost) const;
  Dictionary EncoderOptions(const TOutputStreamState& ost, const AVCodec* codec) const;
  void OpenEncoders();
  int OpenEncoder(TOutputStreamState& ost, const AVCodec* codec, Dictionary& options);
  void ReconcileRateLimits(AVCodecContext& enc);
  void OpenDecoders();
  void CopyChapters(size_t input, size_t output);

  // Copying what already fits, and keeping every track (CopyDecision.cpp).
  bool CopiesFittingStream(TOutputStreamState& ost, const TInputStreamState& ist);
  TStreamRequest FitRequest(const TOutputStreamState& ost) const;
  int64_t MeasuredBitRate(const TInputStreamState& ist);
  void AddKeptTrackMaps(const AVOutputFormat* format);
  // What the output's device may not play (PlaybackCheck.cpp).
  void CheckDevicePlayback();

  // Main loop (MainLoop.cpp).
  void MainLoop();
  void HandOverProgress(bool force);
  void WaitWhilePaused();
  int ChooseInputFile(double& opts_min);
  bool AllOutputsFinished(const TInputStreamState& ist) const;
  bool ReachedStartTime(const TInputStreamState& ist) const;
  void EmulateRate(const TInputStreamState& ist) const;
  int ProcessInputPacket(TInputStreamState& ist, const AVPacket* pkt);
  void SendDecoded(TInputStreamState& ist, TDecoded& decoded);
  const std::vector<TOutputPath*>& PathsOf(const TInputStreamState& ist) const;
  int SourceIndex(const TInputStreamState& ist) const;
  void ReportProgress(bool last);
  void FlushDecoders();

  // The headers of the outputs, once every path is ready.
  void WriteHeaders();

  std::mutex state_mutex_;  // pairs with state_changed_
  std::condition_variable state_changed_;
  std::unique_ptr<TAVConvertThread> FThread;
  mutable std::mutex error_mutex_;
  std::string FErrorMsg;

  std::unique_ptr<TRunState> run_;
  // The run as its input files, output files and paths see it.
  TRunContext context_{FConvertOptions, figures_,
                       [this](int level, const std::string& text) { DoLog(level, text); },
                       [this] { return StopRequested(); }};

  // Expires when the converter is destroyed: queued events check it.
  std::shared_ptr<int> life_ = std::make_shared<int>(0);
  std::atomic<bool> progress_queued_{false};
  std::atomic<uint64_t> run_number_{0};        // of the last Convert
  std::atomic<uint64_t> ended_run_number_{0};  // whose end event has run
};

}  // namespace veltrano
