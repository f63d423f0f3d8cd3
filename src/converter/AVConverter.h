// TAVConverter: one conversion job and the engine that runs it.
//
// A converter holds its job (input file names, output file names and a
// TAVConvertOptions), runs it on a worker thread of its own and reports
// through four events and a few figures. Several converters run side by side;
// everything a run needs lives in the converter, apart from the process-wide
// log routing (ConvertThread.h).
//
// The run, carried out on the worker thread (TAVConvertThread):
//   1. parse StreamMaps into the stream map table;
//   2. hand AudioOptions.Bitrate ("ab") and VideoOptions.Bitrate ("b") to
//      the option setter; 3. then every CodecOptions line;
//   4. resolve the forced input format and the output format;
//   5. open every input (InputOpening.cpp);
//   6. copy InputTSScale into the timestamp scale table;
//   7. open every output and create its streams (OutputSetup.cpp);
//   8. Transcode: stream mapping, codec setup, main loop, flush;
//   9. release the run, return to csNone and, unless the run was stopped,
//      raise OnComplete.
// A failure of any step ends the run the same way: its message is kept
// (ErrorMsg), shown in the error box on the user-interface thread, the run is
// released and OnComplete follows; the owner tells failure from success by
// ErrorMsg. A stopped run raises OnStopped and no OnComplete.
//
// Threads: Convert, Pause, Resume, Stop and the figure reads belong to the
// user-interface thread. The worker hands OnProgress, OnStopped, the error box
// and OnComplete to that thread through an IDispatcher and waits for them;
// OnProgress at most every 100 ms (and at the end). OnLog is raised on the
// worker itself. A paused worker sleeps on a condition variable.
//
// Ownership: the converter owns its options, name lists, worker thread and
// the run state (FFmpeg contexts, records); it must outlive its worker, so the
// destructor stops a running job and waits for it.
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
#include "converter/Dispatcher.h"

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
struct TInputStreamState;
struct TOutputStreamState;
class Dictionary;
enum class TMediaKind : int;

// The value GetLeftTime gives while the remaining time is not known yet.
inline constexpr int64_t kUnknownLeftTime = 362439;

class TAVConverter {
 public:
  using TAVLogEvent = std::function<void(TAVConverter& sender, int level, const std::string& log)>;
  using TAVProgressEvent = std::function<void(TAVConverter& sender)>;
  using TNotifyEvent = std::function<void(TAVConverter& sender)>;

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

  // Events; set them before Convert.
  void SetOnLog(TAVLogEvent handler) { FOnLog = std::move(handler); }
  void SetOnProgress(TAVProgressEvent handler) { FOnProgress = std::move(handler); }
  void SetOnComplete(TNotifyEvent handler) { FOnComplete = std::move(handler); }
  void SetOnStopped(TNotifyEvent handler) { FOnStopped = std::move(handler); }

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
  int64_t SourceFileSize() const { return FSourceFileSize; }
  int64_t GetUsedTime() const;                 // whole seconds
  int64_t GetLeftTime() const;                 // whole seconds; kUnknownLeftTime when unknown
  TAVConvertState State() const { return FState; }

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
  // True from Convert until the worker has finished the run.
  bool IsRunning() const;
  // Waits for the worker to finish; on the user-interface thread it keeps
  // dispatching so that the worker's hand-overs can run.
  void WaitFor();

  IDispatcher& Dispatcher() const { return *FDispatcher; }

 protected:
  virtual void DoLog(int level, const std::string& text);
  virtual void DoStopped();
  virtual void DoError();
  // Stream mapping, codec setup, main loop and flush. Failures are kept in
  // ErrorMsg and shown; they do not escape.
  virtual void Transcode();
  virtual void DoComplete();

  // The state of the current run (valid on the worker between steps 1 and 9).
  TRunState& Run() { return *run_; }
  // The start offset that input opening leaves for the transcoder (µs).
  int64_t StartOffset() const { return TempStartTime; }
  // The wall-clock marks of the run (µs); the main loop keeps them.
  void SetRunClock(int64_t start, int64_t last) {
    timer_start = start;
    last_time = last;
  }

 private:
  friend class TAVConvertThread;
  friend void EngineLogRouter(void*, int, const char*, va_list);

  // The run sequence; executed by the worker thread.
  void Execute();
  void PrepareRun();
  void ParseStreamMaps();
  void ApplyCodecOptions();
  int SetOption(const std::string& name, const std::string& value);
  void CopyTemplateOptions(void* target, const void* option_template, int mask) const;
  void ReleaseRun();
  void RunOnUiThread(const std::function<void()>& fn);
  void SetError(const std::string& message);

  // Input opening (InputOpening.cpp).
  void ResolveFormats();
  void OpenInputFile(int n);
  void ReadDecoderParameters(int n);
  void ReadVideoParameters(AVStream* st, AVCodecContext* dec);
  std::vector<int64_t> CountAnalysisFrames(int n) const;

  // Output setup (OutputSetup.cpp).
  void OpenOutputFile(int n);
  void PrepareWorkingCopy();
  void DecideStreamKinds(const AVOutputFormat* format, bool& video, bool& audio,
                         bool& subtitle) const;
  AVStream* NewOutputStream(TOutputFile& file, int n, TMediaKind kind,
                            const AVCodec* encoder);
  void CreateVideoStream(TOutputFile& file, int n);
  void CreateAudioStream(TOutputFile& file, int n);
  void CreateSubtitleStream(TOutputFile& file, int n);
  void ApplyMuxerSettings(TOutputFile& file);
  const AVCodec* FindEncoder(const std::string& name, int kind);

  // Transcode setup (TranscodeSetup.cpp).
  void SetupTranscode();
  void CreateInputRecords();
  void CreateOutputRecords();
  void ChooseSource(TOutputStreamState& ost, int n);
  bool InProgram(const TInputStreamState& ist, int program_id) const;
  void PrepareOutputStream(TOutputStreamState& ost);
  void PrepareStreamCopy(TOutputStreamState& ost, TInputStreamState& ist);
  void PrepareEncoding(TOutputStreamState& ost, TInputStreamState& ist);
  void PrepareTwoPass(TOutputStreamState& ost);
  int OutputStreamNumber(const TOutputStreamState& ost) const;
  Dictionary EncoderOptions(const TOutputStreamState& ost, const AVCodec* codec) const;
  void OpenEncoders();
  void ReconcileRateLimits(AVCodecContext& enc);
  void OpenDecoders();
  void CopyChapters(size_t input, size_t output);
  void WriteHeaders();
  void InitBitstreamFilters(TOutputStreamState& ost);

  // Main loop and packet path (MainLoop.cpp).
  void MainLoop();
  void HandOverProgress(bool force);
  void WaitWhilePaused();
  int ChooseInputFile(double& opts_min);
  void CorrectTimestamps(TInputStreamState& ist, AVPacket* pkt);
  bool ReachedStartTime(const TInputStreamState& ist) const;
  int64_t RecordingLimit(AVRational time_base) const;
  void EmulateRate(const TInputStreamState& ist) const;
  int ProcessInputPacket(TInputStreamState& ist, const AVPacket* pkt);
  int SourceIndex(const TInputStreamState& ist) const;
  int DecodeAudio(TInputStreamState& ist, const AVPacket* pkt);
  int DecodeVideo(TInputStreamState& ist, const AVPacket* pkt);
  int DecodeSubtitle(TInputStreamState& ist, const AVPacket* pkt);
  void StreamCopyPacket(TOutputStreamState& ost, TInputStreamState& ist, const AVPacket* in);
  void WritePacket(TOutputStreamState& ost, AVPacket* pkt);
  void FilterAndMux(TOutputStreamState& ost, size_t filter, AVPacket* pkt, AVRational tb);
  void Mux(TOutputStreamState& ost, AVPacket* pkt, AVRational tb);
  void KeepDecodeTimesIncreasing(TOutputStreamState& ost, AVPacket* pkt);
  void ReportProgress(bool last);
  void FlushEncoders(TInputStreamState& ist);
  void FinishTranscode();

  // Audio path (AudioPath.cpp).
  double SyncInputSeconds(const TOutputStreamState& ost) const;
  void PrepareAudioConverter(TOutputStreamState& ost, const AVFrame* frame);
  void QueueAudio(TOutputStreamState& ost, const uint8_t* const* data, int count);
  void DoAudioOut(TOutputStreamState& ost, TInputStreamState& ist, const AVFrame* frame);
  void EncodeQueuedAudio(TOutputStreamState& ost, bool last);
  void EncodeAudioSamples(TOutputStreamState& ost, int count);
  void ReceiveAudioPackets(TOutputStreamState& ost);
  void FlushAudio(TOutputStreamState& ost);

  // Video and subtitle paths (VideoPath.cpp).
  int ConfigureVideoFilters(TInputStreamState& ist, TOutputStreamState& ost);
  void FilterVideoFrame(TOutputStreamState& ost, TInputStreamState& ist, AVFrame* frame);
  void OutputVideoFrame(TOutputStreamState& ost, TInputStreamState& ist, AVFrame* picture);
  void EncodeVideoFrame(TOutputStreamState& ost, const AVFrame* picture);
  void OutputSubtitle(TOutputStreamState& ost, TInputStreamState& ist, AVSubtitle& subtitle,
                      int64_t pts);

  IDispatcher* FDispatcher;
  TStrings FInputFiles;
  TStrings FOutputFiles;
  TAVConvertOptions FConvertOptions;
  TAVLogEvent FOnLog;
  TAVProgressEvent FOnProgress;
  TNotifyEvent FOnComplete;
  TNotifyEvent FOnStopped;

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
  std::atomic<int64_t> timer_start{0};
  std::atomic<int64_t> last_time{0};

  // Kept between runs: names accepted by the option setter, the formats
  // resolved last, and the working copy of the source's parameters that input
  // opening leaves for output setup.
  TStrings Opt_names;
  const AVInputFormat* file_iformat = nullptr;
  const AVOutputFormat* file_oformat = nullptr;
  int32_t _AudioChannels = 0;
  int32_t _AudioSampleRate = 0;
  int32_t _AudioSampleFmt = -1;
  int64_t _ChannelLayout = 0;
  int32_t _FrameWidth = 0;
  int32_t _FrameHeight = 0;
  int64_t TempStartTime = 0;

  std::unique_ptr<TRunState> run_;
};

}  // namespace veltrano
