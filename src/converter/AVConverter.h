// TAVConverter: one conversion job and the engine that runs it.
//
// A converter holds its job (input file names, output file names and a
// TAVConvertOptions), runs it on a worker thread of its own and reports
// through four events and a few figures. Several converters run side by side;
// everything a run needs lives in the converter's run state (RunState.h),
// apart from the process-wide log routing (ConvertThread.h). A run reads the
// job's options and never writes them: what it learns of the sources lives in
// the run state, and the figures the user interface reads are atomics here.
//
// The run (AVConverter.cpp), carried out on the worker thread:
//   1. parse StreamMaps into the stream map table;
//   2. hand AudioOptions.Bitrate ("ab") and VideoOptions.Bitrate ("b") to
//      the option setter; 3. then every CodecOptions line;
//   4. resolve the forced input and output formats, and check the outputs:
//      none may be one of the inputs, none may exist unless Overwrite is set;
//   5. open every input (InputOpening.cpp): the demuxers, and the source's
//      parameters (TStreamParameters) in the run state;
//   6. copy InputTSScale into the timestamp scale table;
//   7. open every output under a work name of its own, "<name>.<tag>.part",
//      created exclusively (SafeOutputs.cpp), and create its streams
//      (OutputSetup.cpp), derived from the source's parameters;
//   8. Transcode: stream mapping and codec setup (TranscodeSetup.cpp), which
//      ends with the run's plan (Plan(), ConversionPlan.h: which input stream
//      feeds each output stream, copied or re-encoded and why, the encoder
//      and its parameters; printed in the log at the info level), the main
//      loop (MainLoop.cpp), the flush and the trailers;
//   9. close the outputs and give them their names (completed or stopped) or
//      remove them (failed), release the run, return to csNone and raise
//      OnComplete, or OnStopped for a run that was stopped and did not fail.
// Every file a run creates and publishes is announced through OnOutput before
// the step can matter (converter/OutputRecord.h).
// A failure of any step ends the run the same way: its message is kept
// (ErrorMsg), the run is released, OnComplete follows on the user-interface
// thread and then the error box; the owner tells failure from success by
// ErrorMsg. After a completed run the output is probed and what differs from
// the request is logged as a warning ("输出检查: ...").
//
// The packet path, one packet at a time on the worker:
//   reader (av_read_frame into TTranscodeState::packet, MainLoop.cpp)
//   -> decoder (the input stream's context; decoded frames in
//      TInputStreamState::frame) - or, for a copied stream, straight on
//   -> video: filter graph (crop, scale, the user's filters; the picture
//      taken from the sink in TOutputStreamState::filtered) and frame-rate
//      sync (VideoPath.cpp); audio: resampler into the stream's sample FIFO
//      (AudioPath.cpp); subtitles: re-timed (SubtitlePath.cpp)
//   -> encoder (the output stream's context; packets in
//      TTranscodeState::out_packet)
//   -> bitstream filters -> timestamp repair -> interleaving muxer (Muxing.cpp).
// Every buffer belongs to the record named above and is reused packet after
// packet; the muxer takes each packet's reference. All FFmpeg handles live in
// the owners of FFmpegPtr.h inside the run state, so any way out of a stage
// releases them.
//
// Threads: Convert, Pause, Resume, Stop and the figure reads belong to the
// user-interface thread. The worker never waits for that thread: it keeps
// its figures in atomics, which the user-interface thread reads whenever it
// likes, and queues its events there through an IDispatcher, in order:
// OnProgress (at most every 100 ms and at the end; never more than one
// queued at a time, as the handler reads the latest figures anyway), then
// one end event: OnStopped for a stopped run, otherwise OnComplete, and for
// a failed run the error box after OnComplete, so the owner has marked the
// failure before the box shows. OnLog is raised on the worker itself, before
// the end event is queued. Stop and Pause take effect from the moment
// Convert returns: a stop also ends a slow open or read through the
// demuxer's interrupt callback. A paused worker sleeps on a condition
// variable.
//
// Ownership: the converter owns its options, name lists, worker thread and
// the run state (FFmpeg contexts, records); it must outlive its worker, so the
// destructor stops a running job and waits for it. Events still queued for a
// converter that has been destroyed are dropped; a converter is destroyed on
// the user-interface thread, where its events run.
#pragma once

#include <atomic>
#include <cstdarg>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "converter/AVOptions.h"
#include "converter/ConversionPlan.h"
#include "converter/Dispatcher.h"
#include "converter/OutputRecord.h"

struct AVCodec;
struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVSubtitle;
struct AVRational;
struct AVFormatContext;
struct AVInputFormat;
struct AVOutputFormat;
struct AVStream;

namespace veltrano {

enum TAVConvertState : uint8_t { csNone, csRunning, csStopped, csPaused };

class TAVConvertThread;
struct TRunState;
struct TOutputFile;
struct TEncodedStream;
struct TStreamParameters;
struct TInputStreamState;
struct TOutputStreamState;
struct TStreamRequest;
class Dictionary;
enum class TMediaKind : int;

// The value GetLeftTime gives while the remaining time is not known yet.
inline constexpr int64_t kUnknownLeftTime = 362439;

class TAVConverter {
 public:
  using TAVLogEvent = std::function<void(TAVConverter& sender, int level, const std::string& log)>;
  using TAVProgressEvent = std::function<void(TAVConverter& sender)>;
  using TNotifyEvent = std::function<void(TAVConverter& sender)>;
  using TOutputEvent = std::function<void(TAVConverter& sender, const TOutputRecord& record)>;

  // `dispatcher` reaches the user-interface thread; nullptr uses the default.
  explicit TAVConverter(IDispatcher* dispatcher = nullptr);
  virtual ~TAVConverter();
  TAVConverter(const TAVConverter&) = delete;
  TAVConverter& operator=(const TAVConverter&) = delete;

  // The job.
  TAVConvertOptions& ConvertOptions() { return FConvertOptions; }
  const TAVConvertOptions& ConvertOptions() const { return FConvertOptions; }
  void SetConvertOptions(const TAVConvertOptions& value) { FConvertOptions.Assign(value); }
  const TStrings& InputFiles() const { return FInputFiles; }
  void SetInputFiles(const TStrings& value) { FInputFiles = value; }
  const TStrings& OutputFiles() const { return FOutputFiles; }
  void SetOutputFiles(const TStrings& value) { FOutputFiles = value; }
  // Whether the run may replace outputs that exist already (default false:
  // an existing target fails the run with "目标文件已存在: PATH").
  bool Overwrite() const { return FOverwrite; }
  void SetOverwrite(bool value) { FOverwrite = value; }

  // Events; set them before Convert.
  void SetOnLog(TAVLogEvent handler) { FOnLog = std::move(handler); }
  void SetOnProgress(TAVProgressEvent handler) { FOnProgress = std::move(handler); }
  void SetOnComplete(TNotifyEvent handler) { FOnComplete = std::move(handler); }
  void SetOnStopped(TNotifyEvent handler) { FOnStopped = std::move(handler); }
  // Raised on the worker, which waits for it (see converter/OutputRecord.h).
  void SetOnOutput(TOutputEvent handler) { FOnOutput = std::move(handler); }

  // Figures (seconds unless said otherwise).
  double ConvertedDuration() const { return FConvertedDuration; }
  void SetConvertedDuration(double value) { FConvertedDuration = value; }
  double Duration() const { return FDuration; }
  void SetDuration(double value) { FDuration = value; }
  double Bitrate() const { return FBitrate; }  // kbit/s
  void SetBitrate(double value) { FBitrate = value; }
  int32_t Progress() const;                    // percent, not clamped
  int64_t StartTime() const { return timer_start; }  // µs wall clock
  int64_t LastTime() const { return last_time; }     // µs wall clock
  int64_t TargetFileSize() const { return FTargetFileSize; }
  int64_t AudioSize() const { return FAudioSize; }          // bytes of audio packets written
  int64_t VideoSize() const { return FVideoSize; }          // bytes of video packets written
  int64_t FramesDecoded() const { return FFramesDecoded; }  // video frames decoded
  int64_t SourceFileSize() const { return FSourceFileSize; }
  int64_t GetUsedTime() const;                 // whole seconds
  int64_t GetLeftTime() const;                 // whole seconds; kUnknownLeftTime when unknown
  TAVConvertState State() const { return FState; }
  // The wall-clock marks of the run (µs); the main loop keeps them.
  void SetRunClock(int64_t start, int64_t last) {
    timer_start = start;
    last_time = last;
  }

  // What the setup of the last run made of the job (ConversionPlan.h), as
  // far as it got: empty from Convert on, the inputs once they are open,
  // complete once every output stream is mapped.
  // The worker writes it; read it when the run has ended.
  const TConversionPlan& Plan() const { return FPlan; }

  // The failure that ended the last run; empty when it did not fail.
  std::string ErrorMsg() const;
  // Most verbose library log level forwarded to OnLog (24: warnings).
  int LogLevel() const { return FLogLevel; }
  void SetLogLevel(int level) { FLogLevel = level; }

  // Starts the job on a new worker thread. A previous run must have ended.
  void Convert();
  void Pause();   // csRunning -> csPaused
  void Resume();  // csPaused -> csRunning
  void Stop();    // csRunning or csPaused -> csStopped
  // True from Convert until the worker has finished the run and its end
  // event (OnComplete or OnStopped) has run on the user-interface thread.
  bool IsRunning() const;
  // Waits for the worker to finish; on the user-interface thread it keeps
  // dispatching until the run's end event has run too.
  void WaitFor();

  IDispatcher& Dispatcher() const { return *FDispatcher; }

 protected:
  virtual void DoLog(int level, const std::string& text);
  virtual void DoStopped();
  virtual void DoError();
  // Stream mapping, codec setup, main loop, flush and trailers. A failure
  // escapes as an exception, which the run sequence reports.
  virtual void Transcode();
  virtual void DoComplete();

  // The state of the current run (valid on the worker between steps 1 and 9).
  TRunState& Run() { return *run_; }

 private:
  friend class TAVConvertThread;
  friend void EngineLogRouter(void*, int, const char*, va_list);

  // The run sequence (AVConverter.cpp); executed by the worker thread.
  void Execute();
  void OpenInputsAndOutputs();
  void CopyTimestampScales();
  void ReleaseRun(bool failed);
  void ReportFailure(const std::string& message);
  std::string NamedFailure(const std::string& message) const;
  [[noreturn]] void EncodingFailed(const TOutputStreamState& ost, const char* kind,
                                   int error) const;
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
  AVStream* NewOutputStream(TOutputFile& file, int n, TMediaKind kind,
                            const AVCodec* encoder);
  TEncodedStream NewEncodedStream(TOutputFile& file, int n, TMediaKind kind,
                                  const std::string& encoder_name, bool copy, int32_t codec_tag);
  void CreateVideoStream(TOutputFile& file, int n, const TStreamParameters& out);
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
  void CreateOutputRecords();
  void ChooseSource(TOutputStreamState& ost, int n);
  bool InProgram(const TInputStreamState& ist, int program_id) const;
  void PrepareOutputStream(TOutputStreamState& ost);
  void PrepareStreamCopy(TOutputStreamState& ost, TInputStreamState& ist);
  void PrepareEncoding(TOutputStreamState& ost, TInputStreamState& ist);
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
  bool ReadFailed(int file, int error);
  bool AllOutputsFinished(const TInputStreamState& ist) const;
  void CorrectTimestamps(TInputStreamState& ist, AVPacket* pkt);
  bool ReachedStartTime(const TInputStreamState& ist) const;
  int64_t RecordingLimit(AVRational time_base) const;
  void EmulateRate(const TInputStreamState& ist) const;
  int ProcessInputPacket(TInputStreamState& ist, const AVPacket* pkt);
  int SourceIndex(const TInputStreamState& ist) const;
  void StreamCopyPacket(TOutputStreamState& ost, TInputStreamState& ist, const AVPacket* in);
  void ReportProgress(bool last);
  void FlushDecoders();

  // Writing side (Muxing.cpp).
  void WriteHeaders();
  void InitBitstreamFilters(TOutputStreamState& ost);
  void WritePacket(TOutputStreamState& ost, AVPacket* pkt);
  void FilterAndMux(TOutputStreamState& ost, size_t filter, AVPacket* pkt, AVRational tb);
  void Mux(TOutputStreamState& ost, AVPacket* pkt, AVRational tb);
  void KeepDecodeTimesIncreasing(TOutputStreamState& ost, AVPacket* pkt);
  void WriteTrailers();

  // Audio path (AudioPath.cpp).
  int DecodeAudio(TInputStreamState& ist, const AVPacket* pkt);
  double SyncInputSeconds(const TOutputStreamState& ost) const;
  void PrepareAudioConverter(TOutputStreamState& ost, const AVFrame* frame);
  void QueueAudio(TOutputStreamState& ost, const uint8_t* const* data, int count);
  void DoAudioOut(TOutputStreamState& ost, TInputStreamState& ist, const AVFrame* frame);
  void EncodeQueuedAudio(TOutputStreamState& ost, bool last);
  void EncodeAudioSamples(TOutputStreamState& ost, int count);
  void ReceiveAudioPackets(TOutputStreamState& ost);
  void FlushAudio(TOutputStreamState& ost);

  // Video path (VideoPath.cpp).
  int DecodeVideo(TInputStreamState& ist, const AVPacket* pkt);
  int ConfigureVideoFilters(TInputStreamState& ist, TOutputStreamState& ost);
  void FilterVideoFrame(TOutputStreamState& ost, TInputStreamState& ist, AVFrame* frame);
  int64_t VideoFramesToWrite(TOutputStreamState& ost, double sync_ipts);
  void OutputVideoFrame(TOutputStreamState& ost, TInputStreamState& ist, AVFrame* picture);
  void WriteVideoCopies(TOutputStreamState& ost, const TInputStreamState& ist, AVFrame* picture,
                        int64_t copies);
  void EncodeVideoFrame(TOutputStreamState& ost, const AVFrame* picture);
  void FlushVideo(TOutputStreamState& ost);

  // Subtitle path (SubtitlePath.cpp).
  int DecodeSubtitle(TInputStreamState& ist, const AVPacket* pkt);
  void OutputSubtitle(TOutputStreamState& ost, TInputStreamState& ist, AVSubtitle& subtitle,
                      int64_t pts);

  // Ends an output stream whose next frame would pass the requested span:
  // its encoder is flushed, and nothing more is written to it.
  void FinishStream(TOutputStreamState& ost);

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
  std::mutex state_mutex_;             // pairs with state_changed_
  std::condition_variable state_changed_;
  std::unique_ptr<TAVConvertThread> FThread;
  mutable std::mutex error_mutex_;
  std::string FErrorMsg;
  std::atomic<int> FLogLevel{24};

  std::atomic<double> FDuration{0};
  std::atomic<double> FConvertedDuration{0};
  std::atomic<double> FBitrate{0};
  std::atomic<int64_t> FTargetFileSize{0};
  std::atomic<int64_t> FSourceFileSize{0};
  std::atomic<int64_t> FAudioSize{0};
  std::atomic<int64_t> FVideoSize{0};
  std::atomic<int64_t> FFramesDecoded{0};
  std::atomic<int64_t> timer_start{0};
  std::atomic<int64_t> last_time{0};

  std::unique_ptr<TRunState> run_;

  // Expires when the converter is destroyed: queued events check it.
  std::shared_ptr<int> life_ = std::make_shared<int>(0);
  std::atomic<bool> progress_queued_{false};
  std::atomic<uint64_t> run_number_{0};        // of the last Convert
  std::atomic<uint64_t> ended_run_number_{0};  // whose end event has run
};

}  // namespace veltrano
