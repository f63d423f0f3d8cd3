// Codec lookup by library name, shared by input opening and output setup.
#pragma once

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace veltrano {

// The library's encoder or decoder called `name`, of media kind `kind`.
// An empty name gives nullptr (the library chooses). Throws EAVError
// "Unknown Codec Name" when there is none, "Invalid codec type" when it is
// of another kind.
const AVCodec* FindCodecByName(const std::string& name, AVMediaType kind, bool encoder);

}  // namespace veltrano
