// The worker thread of a conversion and the process-wide thread registry.
//
// The media library reports log messages through one process-wide callback
// that carries no converter. The registry maps each worker's thread id to its
// thread object, so the log router can hand a message to the converter whose
// worker raised it. Messages of other threads (the user-interface thread, the
// library's own threads) reach no converter.
#pragma once

#include <atomic>
#include <cstdarg>
#include <functional>
#include <string>
#include <thread>

namespace veltrano {

class TAVConverter;
class TConverterEngine;

class TAVConvertThread {
 public:
  // Starts the thread at once; it runs the converter's run sequence.
  explicit TAVConvertThread(TConverterEngine& engine);
  // Joins the thread (the run must have ended or be ending).
  ~TAVConvertThread();
  TAVConvertThread(const TAVConvertThread&) = delete;
  TAVConvertThread& operator=(const TAVConvertThread&) = delete;

  TAVConverter& Converter() const;
  TConverterEngine& Engine() const { return engine_; }
  bool Finished() const { return finished_; }
  bool IsCurrentThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  void Execute();

  TConverterEngine& engine_;
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

// Registry lookups (for tests and diagnostics).
TAVConvertThread* FindConvertThread(std::thread::id id);
int RegisteredConvertThreadCount();

// While it lives, the library's messages raised on the thread that created
// it go to `take` (level and text) instead of the thread's converter: a
// stage that expects messages of its own (the completion check's decoders)
// reads them and reports in its own words.
class TLogCapture {
 public:
  explicit TLogCapture(std::function<void(int level, const std::string& text)> take);
  ~TLogCapture();
  TLogCapture(const TLogCapture&) = delete;
  TLogCapture& operator=(const TLogCapture&) = delete;

 private:
  friend void EngineLogRouter(void*, int, const char*, va_list);
  std::function<void(int, const std::string&)> take_;
  TLogCapture* previous_;
};

// The library log callback: formats the message (at most 1024 bytes), finds
// the converter of the calling thread and hands it the text when the level is
// within the converter's log level. Never throws.
void EngineLogRouter(void* avcl, int level, const char* format, va_list args);

}  // namespace veltrano
