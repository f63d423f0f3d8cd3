// TAVConverter: one conversion job and the engine that runs it.
//
// A converter holds its job (input file names, output file names and a
// TAVConvertOptions), runs it on a worker thread of its own and reports
// through four events and a few figures. This header is all its users see:
// the job, the events, the control, the figures and the plan. Everything
// else lives in its engine (TConverterEngine, converter/engine/, a folder only
// the converter library reaches), so that a change inside the run recompiles
// none of the window, the task layer or the command line. Several converters
// run side by side; everything a run needs lives in the engine's run state
// (engine/RunState.h), apart from the process-wide log routing
// (ConvertThread.h). A run reads the job's options and never writes them:
// what it learns of the sources lives in the run state, and the figures the
// user interface reads are atomics of the engine.
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
// The packet path, one packet at a time on the worker, and which object owns
// what on it, in the order the data flows (headers in converter/engine/):
//   input file (TInputFile, InputFile.h): the demuxer, a decoder context per
//     stream, the byte stream of a source read only once, the records of its
//     streams (TInputStreamState: clock, decoded frame) and its reading state
//     (end reached, "call again later", timestamp offset and scales). It
//     reads the next packet and corrects its times, and decodes: pictures,
//     samples (their volume applied) or subtitles, as a TDecoded.
//   -> the main loop (TConverterEngine, MainLoop.cpp) owns nothing of the
//     data: it chooses the input furthest behind, has it read, and moves the
//     packet, as it is or decoded, to the paths the source stream feeds
//     (TTranscodeState::routes); at the end it has the inputs drain their
//     decoders into the paths and finishes the paths.
//   -> one path per output stream (TOutputPath, OutputPath.h: "send a packet",
//     "send a frame", "finish"), which owns its stream's record
//     (TOutputStreamState: encoder, sync position, frames written, two-pass
//     statistics) and the packet it writes, and the state of its kind:
//        copy (TCopyPath, OutputPath.cpp): the packet re-timed as it is;
//        audio (TAudioPath, AudioPath.cpp): the resampler, the FIFO of
//          samples waiting for a full encoder frame, the encoder's frame;
//        video (TVideoPath, VideoPath.cpp): the filter graph (crop, scale,
//          the user's filters), the picture taken from its sink and the
//          frame-rate sync's correction;
//        subtitles (TSubtitlePath, SubtitlePath.cpp): the encoding buffer;
//      finishing a path drains what it and its encoder still hold.
//   -> output file (TOutputFile, OutputFile.h): the muxer, the encoder
//      contexts of its streams, the work file it writes under, and per stream
//      (TMuxedStream) the bitstream filters, the last decode time (for the
//      repair of times that do not increase) and what was muxed; it writes
//      each packet through the interleaving muxer, and the trailer.
// The paths and files see the run through a TRunContext (RunContext.h):
// the options, the log, the stop request and the figures they count.
// Every buffer belongs to the object named above and is reused packet after
// packet; the muxer takes each packet's reference. All FFmpeg handles live in
// the owners of FFmpegPtr.h inside these objects, so any way out of a stage
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
// Ownership: the converter owns its engine, which owns the options, name
// lists, worker thread and the run state (FFmpeg contexts, records); the
// engine must outlive its worker, so the
// destructor stops a running job and waits for it. Events still queued for a
// converter that has been destroyed are dropped; a converter is destroyed on
// the user-interface thread, where its events run.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "converter/AVOptions.h"
#include "converter/ConversionPlan.h"
#include "converter/Dispatcher.h"
#include "converter/OutputRecord.h"

namespace veltrano {

enum TAVConvertState : uint8_t { csNone, csRunning, csStopped, csPaused };

// The value GetLeftTime gives while the remaining time is not known yet.
inline constexpr int64_t kUnknownLeftTime = 362439;

class TAVConverter;
class TConverterEngine;
using TAVLogEvent = std::function<void(TAVConverter& sender, int level, const std::string& log)>;
using TAVProgressEvent = std::function<void(TAVConverter& sender)>;
using TNotifyEvent = std::function<void(TAVConverter& sender)>;
using TOutputEvent = std::function<void(TAVConverter& sender, const TOutputRecord& record)>;

// The percentage of a run done when `converted` of the source's `duration`
// seconds are converted, measured against the span the options ask for (from
// StartTime, at most RecordingTime); not clamped, 0 while nothing is known.
int32_t ProgressPercent(const TAVConvertOptions& options, double duration, double converted);
// The seconds left of a run `progress` percent done after `used` seconds;
// kUnknownLeftTime while the progress is 0.
int64_t LeftSeconds(int32_t progress, int64_t used);

class TAVConverter {
 public:
  // `dispatcher` reaches the user-interface thread; nullptr uses the default.
  explicit TAVConverter(IDispatcher* dispatcher = nullptr);
  ~TAVConverter();

  // The job.
  TAVConvertOptions& ConvertOptions();
  const TAVConvertOptions& ConvertOptions() const;
  void SetConvertOptions(const TAVConvertOptions& value);
  const TStrings& InputFiles() const;
  void SetInputFiles(const TStrings& value);
  const TStrings& OutputFiles() const;
  void SetOutputFiles(const TStrings& value);
  // Whether the run may replace outputs that exist already (default false:
  // an existing target fails the run with "目标文件已存在: PATH").
  void SetOverwrite(bool value);

  // Events; set them before Convert.
  void SetOnLog(TAVLogEvent handler);
  void SetOnProgress(TAVProgressEvent handler);
  void SetOnComplete(TNotifyEvent handler);
  void SetOnStopped(TNotifyEvent handler);
  // Raised on the worker, which waits for it (see converter/OutputRecord.h).
  void SetOnOutput(TOutputEvent handler);

  // Figures (seconds unless said otherwise).
  double ConvertedDuration() const;
  // The source's duration: the caller may set it for a source that does not
  // tell its own; a run replaces it with the one the source tells.
  double Duration() const;
  void SetDuration(double value);
  double Bitrate() const;     // kbit/s
  int32_t Progress() const;   // percent, not clamped (ProgressPercent)
  int64_t StartTime() const;  // µs wall clock
  int64_t LastTime() const;   // µs wall clock
  int64_t TargetFileSize() const;
  int64_t AudioSize() const;      // bytes of audio packets written
  int64_t VideoSize() const;      // bytes of video packets written
  int64_t FramesDecoded() const;  // video frames decoded
  int64_t SourceFileSize() const;
  int64_t GetUsedTime() const;  // whole seconds
  int64_t GetLeftTime() const;  // whole seconds; kUnknownLeftTime when unknown
  TAVConvertState State() const;

  // What the setup of the last run made of the job (ConversionPlan.h), as
  // far as it got: empty from Convert on, the inputs once they are open,
  // complete once every output stream is mapped.
  // The worker writes it; read it when the run has ended.
  const TConversionPlan& Plan() const;

  // The failure that ended the last run; empty when it did not fail.
  std::string ErrorMsg() const;
  // Most verbose library log level forwarded to OnLog (default 24: warnings).
  void SetLogLevel(int level);

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

 private:
  // The job, events, figures and the run itself (converter/engine/).
  // Not copyable: a converter is one job and its worker.
  std::unique_ptr<TConverterEngine> engine_;
};

}  // namespace veltrano
