// Choices output setup makes against what an encoder or muxer supports, and
// the bitstream filter chains. Free functions so that they are easy to test.
#pragma once

#include <functional>
#include <string>

#include "converter/AVOptions.h"
#include "engine/RunState.h"

namespace veltrano {

// The chain for `names`, in order. An unknown first name gives no chain at
// all; an unknown later name is left out. Each unknown name is reported
// through `show_error` as "Invalid BitstreamFilter <name>".
TBitstreamFilterChain BuildBitstreamFilterChain(
    const TStrings& names, const std::function<void(const std::string&)>& show_error);

// `requested` when the encoder lists it (or lists nothing), else the first
// listed format; MJPEG with unofficial compliance keeps YUV 4:2:0 and 4:2:2.
AVPixelFormat ChoosePixelFormat(const AVCodec* encoder, AVPixelFormat requested, int compliance);

// `requested` when the encoder lists it (or lists nothing), else the first listed.
AVSampleFormat ChooseSampleFormat(const AVCodec* encoder, AVSampleFormat requested);

// The listed rate nearest to `requested` (the first of equals) in `chosen`;
// true when it differs from the requested rate. Without a list, `requested`.
bool ChooseSampleRate(const AVCodec* encoder, int requested, int& chosen);

// A library-allocated copy of a quantiser matrix (the codec context frees it).
uint16_t* CopyMatrix(const TQuantMatrix& matrix);

// The muxer of target `name`: `forced` when given, else the one its name
// suggests; nullptr when there is none. (A run guesses once, for its first
// output, and writes every later output with the same muxer.) Only picture targets (".png",
// ".jpg", ".bmp", ".gif", ".tif" and the like, or a forced "image2") take a
// number in their name ("frame%d.png") as one picture per file; any other
// target takes its name literally.
const AVOutputFormat* OutputFormatFor(const std::string& name, const AVOutputFormat* forced);
// True when `format` writes the target `name` as numbered pictures.
bool IsPictureSequence(const std::string& name, const AVOutputFormat* format);

// True when the muxer has a private option called `name`.
bool MuxerHasOption(const AVOutputFormat* format, const char* name);

// Asks `c` (an encoder context, allocated for its encoder) for constant
// quality `quality`: the encoder's own CRF/CQ option when it has one (then
// without a target bit rate unless `bit_rate_asked`), else fixed-quality
// encoding at that quantiser. Returns the picture quality in lambda units for
// the fixed-quality case, 0 otherwise; negative when the encoder refused the value.
float ApplyVideoQuality(AVCodecContext* c, float quality, bool bit_rate_asked);

}  // namespace veltrano
