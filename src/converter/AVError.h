// Failures of the engine and fatal internal checks.
#pragma once

#include <stdexcept>
#include <string>

namespace veltrano {

// A failure of a conversion step. The message is the text the user sees in the
// error box and the task log, exactly as the engine words it.
class EAVError : public std::runtime_error {
 public:
  explicit EAVError(const std::string& message) : std::runtime_error(message) {}
};

// `text` (as the engine words the failure) followed by the file concerned
// and the reason the system or the media library gave: "TEXT FILE: REASON".
// An empty reason leaves ": REASON" out.
std::string WithReason(const std::string& text, const std::string& file, const std::string& reason);
// The system's text for an errno value.
std::string SystemErrorText(int error);

// Raised by Assign between unrelated settings classes.
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

// Prints "Assertion failure" with the unit and line to stderr and aborts.
[[noreturn]] void AssertionFailure(const char* unit, int line, const char* condition);

}  // namespace veltrano

// A programming error: never caught, always fatal.
#define VEL_ASSERT(condition)                                          \
  do {                                                                 \
    if (!(condition)) {                                                \
      ::veltrano::AssertionFailure(__FILE__, __LINE__, #condition);    \
    }                                                                  \
  } while (false)
