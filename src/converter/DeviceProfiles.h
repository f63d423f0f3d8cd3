// What today's devices and formats play: one table, by device id, naming the
// video codecs with their profiles and levels, the largest picture and frame
// rate, the highest bit rates, the audio codecs with their channels and
// sample rates, and the containers a device opens.
//
// Two users read it: the copy decision (a source stream that the device
// cannot play never "already fits", StreamFit.h) and the check after a
// conversion that warns when the output may not play on its device. A device
// profile names its entry through TAVConvertOptions::Device.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct AVStream;
struct AVFormatContext;

namespace veltrano {

// One stream as the table compares it: a source stream, an output stream
// read back, or what an encoder is about to make. Unknown values are 0
// (profile and level: the library's -99).
struct TStreamFacts {
  int kind = -1;  // AVMediaType
  int codec_id = 0;
  int profile = -99;
  int level = -99;
  int pix_fmt = -1;
  int width = 0;
  int height = 0;
  double frame_rate = 0;
  int64_t bit_rate = 0;  // bit/s
  int channels = 0;
  int sample_rate = 0;
};

// The facts of `st` as its codec parameters and the demuxer give them.
TStreamFacts FactsOf(const AVStream* st);

struct TPlayableVideo {
  int codec_id = 0;
  std::vector<int> profiles;       // profiles it plays; empty: any
  int max_level = 0;               // in the library's numbering (H.264 41, H.265 153); 0: any
  std::vector<int> pixel_formats;  // empty: any; encodes for the device use the first
};

struct TPlayableAudio {
  int codec_id = 0;
  int max_channels = 0;           // 0: any
  std::vector<int> sample_rates;  // empty: any
};

struct TDeviceCapabilities {
  std::string id{};
  std::vector<TPlayableVideo> video{};  // empty: any video codec
  int max_width = 0;  // a box either way round (a portrait picture fits it turned); 0: any
  int max_height = 0;
  int max_frame_rate = 0;                 // 0: any
  int64_t max_video_bit_rate = 0;         // bit/s; 0: any
  std::vector<TPlayableAudio> audio{};    // empty: any audio codec
  int64_t max_audio_bit_rate = 0;         // bit/s per stream; 0: any
  std::vector<std::string> containers{};  // muxer names; empty: any
};

// Every device of the table, in the order people see them.
const std::vector<TDeviceCapabilities>& DeviceTable();
// The device called `id`; nullptr for an unknown (or empty) id.
const TDeviceCapabilities* FindDevice(std::string_view id);

// A codec's name for people: "H.264", "H.265", "VP9", "AV1", "AAC", "E-AC-3", …
std::string CodecDisplayName(int codec_id);
// A level as people write it ("4.1" for H.264 41, "5.1" for H.265 153).
std::string LevelText(int codec_id, int level);
// A frame rate as people write it: "30", "29.97".
std::string RateText(double rate);

// What about `stream` the device cannot take ("H.264 level 5.1 > 4.1",
// "声道 6 > 2", …); empty when it plays it. Unknown facts are not held
// against the stream.
std::vector<std::string> PlaybackProblems(const TDeviceCapabilities& device,
                                          const TStreamFacts& stream);
// Why the device does not open files of the muxer `format_name`; empty when it does.
std::string ContainerProblem(const TDeviceCapabilities& device, const std::string& format_name);

// The pixel format an encode of `codec_id` for the device uses: `pix_fmt`
// when the device plays it (or names none), else the device's first.
int DevicePixelFormat(const TDeviceCapabilities& device, int codec_id, int pix_fmt);

}  // namespace veltrano
