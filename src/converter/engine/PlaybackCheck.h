// Will the output play on its device: the comparison the completion check
// makes for a conversion that names a device (TAVConvertOptions::Device).
#pragma once

#include <string>
#include <vector>

#include "converter/DeviceProfiles.h"

namespace veltrano {

// What in `file`, read back with libavformat, `device` may not play: the
// container (the muxer `format_name` wrote it), then each stream's codec,
// profile, level, size, frame rate, bit rate, channels and sample rate
// ("H.264 level 5.1 > 4.1"). Empty when it plays, and for a file that
// cannot be read (the completion check reports that itself).
std::vector<std::string> DevicePlaybackProblems(const TDeviceCapabilities& device,
                                                const std::string& file,
                                                const std::string& format_name);

}  // namespace veltrano
