// The command line's answer to an existing target, as the ffmpeg command
// line gives it.
#pragma once

#include <string>

#include "converter/AVConverter.h"

namespace veltrano {

// Sets the converter's Overwrite flag for `target`: -y (`overwrite`) says
// yes, -n (`no_overwrite`) no; with neither, a terminal on standard input is
// asked "File '...' already exists. Overwrite? [y/N]", and without one the
// engine refuses the existing target itself. False only when the user
// answered no.
bool MayWriteTarget(bool overwrite, bool no_overwrite, const std::string& target,
                    TAVConverter& converter);

}  // namespace veltrano
