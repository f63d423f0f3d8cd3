#include "converter/ConvertThread.h"

#include <pthread.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "engine/ConverterEngine.h"

namespace veltrano {
namespace {

std::mutex registry_mutex;
thread_local TLogCapture* current_capture = nullptr;
std::map<std::thread::id, TAVConvertThread*>& Registry() {
  static std::map<std::thread::id, TAVConvertThread*> registry;
  return registry;
}

// Names the thread for debuggers and `top -H` (at most 15 bytes on Linux).
void NameCurrentThread(const std::string& first_input) {
  std::string name = "Converting " + first_input;
  const size_t slash = first_input.find_last_of('/');
  if (slash != std::string::npos) name = "Conv " + first_input.substr(slash + 1);
  name.resize(std::min<size_t>(name.size(), 15));
  pthread_setname_np(pthread_self(), name.c_str());
}

// Adds the calling thread's entry for as long as it lives.
class TRegistration {
 public:
  explicit TRegistration(TAVConvertThread* thread) {
    std::lock_guard lock(registry_mutex);
    Registry()[std::this_thread::get_id()] = thread;
  }
  ~TRegistration() {
    std::lock_guard lock(registry_mutex);
    Registry().erase(std::this_thread::get_id());
  }
};

}  // namespace

TAVConvertThread::TAVConvertThread(TConverterEngine& engine)
    : engine_(engine), thread_([this] { Execute(); }) {}

TAVConverter& TAVConvertThread::Converter() const {
  return engine_.Owner();
}

TAVConvertThread::~TAVConvertThread() {
  if (thread_.joinable()) thread_.join();
}

void TAVConvertThread::Execute() {
  const TStrings& inputs = engine_.FInputFiles;
  NameCurrentThread(inputs.empty() ? std::string() : inputs.front());
  {
    TRegistration registration(this);
    engine_.Execute();
  }
  finished_ = true;
  // Wake a user-interface thread that waits for this run to end.
  engine_.Dispatcher().Post([] {});
}

TLogCapture::TLogCapture(std::function<void(int, const std::string&)> take)
    : take_(std::move(take)), previous_(current_capture) {
  current_capture = this;
}

TLogCapture::~TLogCapture() {
  current_capture = previous_;
}

TAVConvertThread* FindConvertThread(std::thread::id id) {
  std::lock_guard lock(registry_mutex);
  auto it = Registry().find(id);
  return it == Registry().end() ? nullptr : it->second;
}

int RegisteredConvertThreadCount() {
  std::lock_guard lock(registry_mutex);
  return static_cast<int>(Registry().size());
}

void EngineLogRouter(void* /*avcl*/, int level, const char* format, va_list args) {
  try {
    char buffer[2048] = {0};
    va_list copy;
    va_copy(copy, args);
    // At most 1024 bytes of text (plus the terminating zero).
    std::vsnprintf(buffer, 1025, format, copy);
    va_end(copy);
    if (current_capture != nullptr) {
      current_capture->take_(level, std::string(buffer, std::strlen(buffer)));
      return;
    }
    // The converter stays alive while its worker is registered, and only the
    // worker itself raises messages under its id, so the lookup's result is
    // safe to use after the registry lock is released.
    TAVConvertThread* thread = FindConvertThread(std::this_thread::get_id());
    if (thread == nullptr) return;
    TConverterEngine& engine = thread->Engine();
    if (level > engine.LogLevel()) return;
    engine.DoLog(level, std::string(buffer, std::strlen(buffer)));
  } catch (...) {
    // A log line is never worth ending a conversion for.
  }
}

}  // namespace veltrano
