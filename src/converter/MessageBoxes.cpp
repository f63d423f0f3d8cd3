#include "converter/MessageBoxes.h"

#include <cstdio>
#include <mutex>

namespace veltrano {
namespace {

std::mutex handler_mutex;
TErrorBoxHandler error_handler;
TAskWarningHandler warning_handler;

}  // namespace

void ShowErrorBox(const std::string& text) {
  TErrorBoxHandler handler;
  {
    std::lock_guard lock(handler_mutex);
    handler = error_handler;
  }
  if (handler) {
    handler(text);
  } else {
    std::fprintf(stderr, "Error: %s\n", text.c_str());
  }
}

bool AskWarning(const std::string& text) {
  TAskWarningHandler handler;
  {
    std::lock_guard lock(handler_mutex);
    handler = warning_handler;
  }
  if (handler) return handler(text);
  std::fprintf(stderr, "Warning: %s (answered No)\n", text.c_str());
  return false;
}

TErrorBoxHandler SetErrorBoxHandler(TErrorBoxHandler handler) {
  std::lock_guard lock(handler_mutex);
  std::swap(error_handler, handler);
  return handler;
}

TAskWarningHandler SetAskWarningHandler(TAskWarningHandler handler) {
  std::lock_guard lock(handler_mutex);
  std::swap(warning_handler, handler);
  return handler;
}

}  // namespace veltrano
