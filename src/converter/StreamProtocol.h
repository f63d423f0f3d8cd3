// "stream:N" input names: the system's own stream objects (a DVD title
// stream) read by the demuxer as if they were files.
//
// A stream object is registered under a number; "stream:N" (anything after
// the last dot is an extension and ignored) names it. Until the name is
// opened the object belongs to the registry (for whoever registered it);
// opening the name moves it into the opened input, and closing the input
// frees it. A name is therefore opened once; each consumer registers its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct AVIOContext;

namespace veltrano {

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to `size` bytes; the count delivered, 0 at the end of the data,
  // negative on error.
  virtual int Read(uint8_t* buffer, int size) = 0;
  // Writes `size` bytes; the count written or negative. Streams are read-only
  // unless they say otherwise.
  virtual int Write(const uint8_t* /*buffer*/, int /*size*/) { return -1; }
  // origin 0: from the beginning, 1: from the current position, 2: from the
  // end. The new position, or negative when the stream cannot seek so.
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  // Total size in bytes, or negative when unknown.
  virtual int64_t Size() = 0;
  // The file or folder the stream reads from (a DVD's disc), empty when none.
  virtual std::string SourcePath() const { return {}; }
};

// Registers `stream` and returns its number.
int RegisterStream(std::unique_ptr<TStream> stream);
// "stream:N" for a registered number.
std::string StreamName(int number);
// Removes a stream that was registered but never opened and frees it.
void UnregisterStream(int number);
// Frees the stream of a "stream:N" name that was registered but never
// opened; nothing for other names or for a stream that was opened.
void ReleaseUnopenedStream(const std::string& name);
// True for names of the form "stream:..." (the number is checked on open).
bool IsStreamName(const std::string& name);
// The SourcePath of the registered stream `name`; empty when the name is not
// a registered stream's.
std::string RegisteredStreamSource(const std::string& name);
// Number of registered streams not yet opened.
int RegisteredStreamCount();

// The byte stream of an input opened from a "stream:N" name: a custom
// AVIOContext reading from the stream object it owns.
class TStreamIO {
 public:
  explicit TStreamIO(std::unique_ptr<TStream> stream);
  ~TStreamIO();
  TStreamIO(const TStreamIO&) = delete;
  TStreamIO& operator=(const TStreamIO&) = delete;

  AVIOContext* Context() const { return context_; }
  TStream& Stream() const { return *stream_; }

 private:
  std::unique_ptr<TStream> stream_;
  AVIOContext* context_ = nullptr;
};

// Takes the stream named by `name` out of the registry and wraps it. Throws
// EAVError when the number is malformed or names no live stream.
std::unique_ptr<TStreamIO> OpenStreamIO(const std::string& name);

}  // namespace veltrano
