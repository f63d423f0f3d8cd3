#include "converter/StreamProtocol.h"

#include <charconv>
#include <map>
#include <mutex>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include "converter/AVError.h"

namespace veltrano {
namespace {

constexpr char kPrefix[] = "stream:";
constexpr int kIOBufferSize = 32768;

std::mutex registry_mutex;
int next_number = 1;
std::map<int, std::unique_ptr<TStream>>& Registry() {
  static std::map<int, std::unique_ptr<TStream>> registry;
  return registry;
}

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  const int n = static_cast<TStream*>(opaque)->Read(buffer, size);
  if (n == 0) return AVERROR_EOF;
  return n < 0 ? AVERROR(EIO) : n;
}

int64_t SeekStream(void* opaque, int64_t offset, int whence) {
  TStream* stream = static_cast<TStream*>(opaque);
  if (whence & AVSEEK_SIZE) return stream->Size();
  const int origin = whence & ~AVSEEK_FORCE;
  if (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END) return AVERROR(EINVAL);
  const int64_t position = stream->Seek(offset, origin);
  return position < 0 ? AVERROR(EIO) : position;
}

// The number of "stream:N[.ext]"; throws for anything else.
int ParseStreamNumber(const std::string& name) {
  std::string rest = name;
  const size_t prefix = rest.find(kPrefix);
  if (prefix != std::string::npos) rest.erase(prefix, sizeof kPrefix - 1);
  const size_t dot = rest.rfind('.');
  if (dot != std::string::npos) rest.erase(dot);
  int number = 0;
  auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
  if (rest.empty() || ec != std::errc() || end != rest.data() + rest.size()) {
    throw EAVError("'" + name + "' is not a valid stream name");
  }
  return number;
}

}  // namespace

std::string RegisteredStreamSource(const std::string& name) {
  int number = 0;
  try {
    number = ParseStreamNumber(name);
  } catch (const EAVError&) {
    return {};
  }
  std::lock_guard lock(registry_mutex);
  auto it = Registry().find(number);
  return it == Registry().end() ? std::string() : it->second->SourcePath();
}

int RegisterStream(std::unique_ptr<TStream> stream) {
  VEL_ASSERT(stream != nullptr);
  std::lock_guard lock(registry_mutex);
  const int number = next_number++;
  Registry().emplace(number, std::move(stream));
  return number;
}

std::string StreamName(int number) { return kPrefix + std::to_string(number); }

void UnregisterStream(int number) {
  std::unique_ptr<TStream> removed;
  std::lock_guard lock(registry_mutex);
  auto it = Registry().find(number);
  if (it == Registry().end()) return;
  removed = std::move(it->second);
  Registry().erase(it);
}

bool IsStreamName(const std::string& name) { return name.rfind(kPrefix, 0) == 0; }

void ReleaseUnopenedStream(const std::string& name) {
  if (!IsStreamName(name)) return;
  try {
    UnregisterStream(ParseStreamNumber(name));
  } catch (const EAVError&) {
    // Not a number: nothing was registered under it.
  }
}

int RegisteredStreamCount() {
  std::lock_guard lock(registry_mutex);
  return static_cast<int>(Registry().size());
}

TStreamIO::TStreamIO(std::unique_ptr<TStream> stream) : stream_(std::move(stream)) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kIOBufferSize));
  if (buffer == nullptr) throw EAVError("Out of memory");
  context_ = avio_alloc_context(buffer, kIOBufferSize, 0, stream_.get(), &ReadPacket, nullptr,
                                &SeekStream);
  if (context_ == nullptr) {
    av_free(buffer);
    throw EAVError("Out of memory");
  }
}

TStreamIO::~TStreamIO() {
  if (context_ != nullptr) {
    // The library may have replaced the buffer; free the one it holds now.
    av_freep(&context_->buffer);
    avio_context_free(&context_);
  }
}

std::unique_ptr<TStreamIO> OpenStreamIO(const std::string& name) {
  const int number = ParseStreamNumber(name);
  std::unique_ptr<TStream> stream;
  {
    std::lock_guard lock(registry_mutex);
    auto it = Registry().find(number);
    if (it == Registry().end()) throw EAVError("No stream is registered as '" + name + "'");
    stream = std::move(it->second);
    Registry().erase(it);
  }
  return std::make_unique<TStreamIO>(std::move(stream));
}

}  // namespace veltrano
