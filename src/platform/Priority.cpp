#include "platform/Priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace veltrano {

std::optional<int> NiceValueOfPriorityLevel(int level) {
  static constexpr std::array<int, 6> kNice{19, 10, 0, -5, -10, -15};
  if (level < 0 || level >= static_cast<int>(kNice.size())) return std::nullopt;
  return kNice[level];
}

bool SetProcessPriorityLevel(int level) {
  const std::optional<int> nice = NiceValueOfPriorityLevel(level);
  if (!nice) return false;
  // On Linux the nice value belongs to each thread, so every thread of the
  // process (conversions already running included) is given the value.
  bool all = true;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
    const id_t tid = static_cast<id_t>(std::strtol(entry.path().filename().c_str(), nullptr, 10));
    if (tid == 0) continue;
    if (setpriority(PRIO_PROCESS, tid, *nice) != 0) all = false;
  }
  if (error) {
    all = setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), *nice) == 0;
  }
  return all;
}

}  // namespace veltrano
