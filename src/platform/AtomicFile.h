// Replacing a file so that a crash never leaves it half-written.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace veltrano {

// A file that could not be written; the message names the file and the cause.
class EFileWriteError : public std::runtime_error {
 public:
  explicit EFileWriteError(const std::string& message) : std::runtime_error(message) {}
};

// Writes `content` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`. Returns false (leaving any old file untouched and
// no temporary file behind) when a step fails.
bool WriteFileAtomically(const std::string& path, std::string_view content);

// The same, raising EFileWriteError ("Cannot create file \"%s\". %s") on failure.
void WriteFileAtomicallyOrThrow(const std::string& path, std::string_view content);

}  // namespace veltrano
