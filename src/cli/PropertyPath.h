// Setting stored properties of a settings object by their path, as the
// command line takes them: "VideoOptions.VideoStreamCopy=1",
// "OutputFormat=avi", "CodecOptions+=g=15" (a line appended to a list).
#pragma once

#include <stdexcept>
#include <string>

#include "converter/Persistent.h"

namespace veltrano::cli {

class EPropertyPath : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Applies one "Path=Value" or "Path+=Line" assignment to `root`. Names are
// matched without regard to case. Throws EPropertyPath with a message that
// says what is wrong.
void AssignProperty(TPersistent& root, const std::string& assignment);

}  // namespace veltrano::cli
