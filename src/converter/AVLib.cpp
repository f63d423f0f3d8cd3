#include "converter/AVLib.h"

#include <atomic>
#include <cmath>
#include <csignal>
#include <mutex>

#include <fmt/format.h>

extern "C" {
#include <libavdevice/avdevice.h>
#include <libavutil/log.h>
}

#include "converter/ConvertThread.h"

namespace veltrano {
namespace {

std::mutex load_mutex;
std::atomic<bool> registered{false};

}  // namespace

void LoadMediaLibraries() {
  std::lock_guard lock(load_mutex);
  if (registered) return;
  avdevice_register_all();
  av_log_set_callback(&EngineLogRouter);
  // A write beyond the file-size limit (ulimit -f) would end the process by
  // this signal, leaving the work file and no word of it; ignored, it becomes
  // the write's "File too large" error, which fails only that conversion.
  std::signal(SIGXFSZ, SIG_IGN);
  registered = true;
}

void UnloadMediaLibraries() {
  std::lock_guard lock(load_mutex);
  if (!registered) return;
  av_log_set_callback(&av_log_default_callback);
  registered = false;
}

bool MediaLibrariesLoaded() { return registered; }

std::string SecondsToTimeText(double seconds) {
  if (!(seconds > 0)) seconds = 0;  // negative and NaN show as zero
  const auto whole = static_cast<int64_t>(seconds);
  const auto millis = static_cast<int64_t>((seconds - static_cast<double>(whole)) * 1000);
  return fmt::format("{:02}:{:02}:{:02}.{:03}", whole / 3600, (whole / 60) % 60, whole % 60,
                     millis);
}

std::string SecondsToClockText(int64_t seconds) {
  return fmt::format("{}:{}:{}", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}

uint32_t SwapRedBlue(uint32_t colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

}  // namespace veltrano
