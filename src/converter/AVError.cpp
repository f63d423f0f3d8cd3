#include "converter/AVError.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace veltrano {

void AssertionFailure(const char* unit, int line, const char* condition) {
  std::fprintf(stderr, "Assertion failure (%s, line %d): %s\n", unit, line, condition);
  std::fflush(stderr);
  std::abort();
}

std::string WithReason(const std::string& text, const std::string& file,
                       const std::string& reason) {
  std::string message = text;
  if (!file.empty()) {
    if (!message.empty() && message.back() != ' ') message += ' ';
    message += file;
  }
  if (!reason.empty()) message += ": " + reason;
  return message;
}

std::string SystemErrorText(int error) {
  return std::generic_category().message(error);
}

}  // namespace veltrano
