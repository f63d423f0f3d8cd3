// The fixed recipes: the disc standards (VCD, SVCD, DVD, DV, DV50), image
// sequences and the x264 presets.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "converter/AVProfile.h"

namespace veltrano {
namespace {

using TOptionPairs = std::vector<std::pair<std::string, std::string>>;

void SetAdvancedOptions(TAVConvertOptions& O, const TOptionPairs& options) {
  for (const auto& [key, value] : options) O.SetAdvancedOption(key, value);
}

// The MPEG disc standards differ only in their numbers.
struct TDiscRecipe {
  std::string video_codec;
  std::string audio_codec;
  std::string format;
  TFrameDimensions size_625;  // pal
  TFrameDimensions size_525;  // ntsc and film
  int32_t video_bitrate = 0;  // bit/s
  int32_t audio_bitrate = 0;  // bit/s
  TOptionPairs advanced;
  int32_t sample_rate = 0;
  int32_t channels = 0;       // 0: unchanged
  float mux_preload = -1.0f;  // negative: unchanged
};

const TDiscRecipe& VcdRecipe() {
  static const TDiscRecipe recipe{"mpeg1video",
                                  "mp2",
                                  "vcd",
                                  {352, 288},
                                  {352, 240},
                                  1150000,
                                  224000,
                                  {{"maxrate", "1150000"},
                                   {"minrate", "1150000"},
                                   {"bufsize", "327680"},
                                   {"packetsize", "2324"},
                                   {"muxrate", "1411200"}},
                                  44100,
                                  2,
                                  0.44f};
  return recipe;
}

const TDiscRecipe& SVcdRecipe() {
  static const TDiscRecipe recipe{"mpeg2video",
                                  "mp2",
                                  "svcd",
                                  {480, 576},
                                  {480, 480},
                                  2040000,
                                  224000,
                                  {{"maxrate", "2516000"},
                                   {"minrate", "0"},
                                   {"bufsize", "1835008"},
                                   {"flags", "+scan_offset"},
                                   {"packetsize", "2324"}},
                                  44100,
                                  0,
                                  -1.0f};
  return recipe;
}

const TDiscRecipe& DvdRecipe() {
  static const TDiscRecipe recipe{"mpeg2video",
                                  "ac3",
                                  "dvd",
                                  {720, 576},
                                  {720, 480},
                                  6000000,
                                  448000,
                                  {{"maxrate", "9000000"},
                                   {"minrate", "0"},
                                   {"bufsize", "1835008"},
                                   {"packetsize", "2048"},
                                   {"muxrate", "10080000"}},
                                  48000,
                                  0,
                                  -1.0f};
  return recipe;
}

void ApplyDiscRecipe(TAVConvertOptions& O, const TDiscRecipe& recipe, TAVTarget target) {
  const bool lines_525 = target != TAVTarget::pal;
  TVideoOptions& video = O.VideoOptions();
  TAudioOptions& audio = O.AudioOptions();
  video.SetEncoderVideoCodecName(recipe.video_codec);
  audio.SetEncoderAudioCodecName(recipe.audio_codec);
  O.SetOutputFormat(recipe.format);

  const TFrameDimensions size = lines_525 ? recipe.size_525 : recipe.size_625;
  video.SetFrameWidth(size.width);
  video.SetFrameHeight(size.height);
  // The GOP line is appended, not set: applying twice leaves two lines.
  TStrings codec_options = O.CodecOptions();
  codec_options.push_back(lines_525 ? "g=18" : "g=15");
  O.SetCodecOptions(codec_options);

  video.SetBitrate(recipe.video_bitrate);
  audio.SetBitrate(recipe.audio_bitrate);
  SetAdvancedOptions(O, recipe.advanced);
  audio.SetAudioSampleRate(recipe.sample_rate);
  if (recipe.channels > 0) audio.SetAudioChannels(recipe.channels);
  if (recipe.mux_preload >= 0) O.MuxerOptions().SetMuxPreload(recipe.mux_preload);
  video.SetFrameRate(TargetFrameRate(target));
  video.SetCustomFrameRate(true);
}

// Pixel formats of the media library: yuv420p, yuv422p, yuv411p.
constexpr int32_t kPixFmtYuv420p = 0;
constexpr int32_t kPixFmtYuv422p = 4;
constexpr int32_t kPixFmtYuv411p = 7;

// x264 presets: the five varying values of the common head, then the tail.
struct TX264Preset {
  std::string partitions;
  std::string me_method;
  std::string subq;
  std::string me_range;
  std::string b_strategy;
  TOptionPairs tail;
};

const std::vector<TX264Preset>& X264Presets() {
  static const std::string kAllParts = "+parti8x8+parti4x4+partp8x8+partb8x8";
  static const std::string kLosslessParts = "+parti8x8+parti4x4+partp8x8+partp4x4-partb8x8";
  static const std::vector<TX264Preset> presets{
      // basic
      {kAllParts,
       "hex",
       "7",
       "16",
       "1",
       {{"bf", "3"},
        {"refs", "3"},
        {"directpred", "1"},
        {"trellis", "1"},
        {"flags2", "+mixed_refs+wpred+dct8x8+fastpskip+mbtree"},
        {"wpredp", "2"}}},
      // FastFirstPass
      {"-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8",
       "dia",
       "2",
       "16",
       "1",
       {{"bf", "3"},
        {"refs", "1"},
        {"directpred", "3"},
        {"trellis", "0"},
        {"flags2", "-bpyramid-wpred-mixed_refs-dct8x8+fastpskip+mbtree"},
        {"wpredp", "2"}}},
      // SlowFirstPass
      {kAllParts,
       "hex",
       "6",
       "16",
       "2",
       {{"bf", "3"},
        {"refs", "1"},
        {"directpred", "3"},
        {"trellis", "0"},
        {"flags2", "+wpred+dct8x8+fastpskip+mbtree"},
        {"wpredp", "2"}}},
      // Common
      {kAllParts,
       "hex",
       "6",
       "16",
       "1",
       {{"bf", "3"},
        {"refs", "2"},
        {"directpred", "3"},
        {"trellis", "0"},
        {"flags2", "+wpred+dct8x8+fastpskip+mbtree"},
        {"wpredp", "2"}}},
      // HighQuality
      {kAllParts,
       "umh",
       "8",
       "16",
       "2",
       {{"bf", "3"},
        {"refs", "4"},
        {"directpred", "3"},
        {"trellis", "1"},
        {"flags2", "+wpred+mixed_refs+dct8x8+fastpskip+mbtree"},
        {"wpredp", "2"}}},
      // Best
      {"+parti8x8+parti4x4+partp8x8+partp4x4+partb8x8",
       "tesa",
       "10",
       "24",
       "2",
       {{"bf", "3"},
        {"refs", "16"},
        {"directpred", "3"},
        {"trellis", "2"},
        {"flags2", "+wpred+mixed_refs+dct8x8-fastpskip+mbtree"},
        {"wpredp", "2"}}},
      // LosslessFast
      {"-parti8x8+parti4x4+partp8x8-partp4x4-partb8x8",
       "hex",
       "3",
       "16",
       "1",
       {{"directpred", "1"}, {"cqp", "0"}, {"flags2", "+fastpskip+mbtree"}, {"wpredp", "0"}}},
      // LosslessMedium
      {"-parti8x8+parti4x4+partp8x8+partp4x4-partb8x8",
       "hex",
       "5",
       "16",
       "1",
       {{"directpred", "1"}, {"cqp", "0"}, {"flags2", "+fastpskip+mbtree"}, {"wpredp", "2"}}},
      // LosslessSlow
      {kLosslessParts,
       "umh",
       "6",
       "16",
       "1",
       {{"refs", "2"},
        {"directpred", "1"},
        {"cqp", "0"},
        {"flags2", "+dct8x8+fastpskip+mbtree"},
        {"wpredp", "2"}}},
      // LosslessSlower
      {kLosslessParts,
       "umh",
       "8",
       "16",
       "1",
       {{"refs", "4"},
        {"directpred", "1"},
        {"cqp", "0"},
        {"flags2", "+mixed_refs+dct8x8+fastpskip+mbtree"},
        {"wpredp", "2"}}},
      // LosslessMax
      {kLosslessParts,
       "esa",
       "8",
       "16",
       "1",
       {{"refs", "16"},
        {"directpred", "1"},
        {"cqp", "0"},
        {"flags2", "+mixed_refs+dct8x8+fastpskip+mbtree"},
        {"wpredp", "2"}}},
  };
  return presets;
}

}  // namespace

TAVVcdProfile::TAVVcdProfile() {
  SetDescription("VCD");
  SetExtension(".mpg");
}

bool TAVVcdProfile::DoApplyProfile(TAVConvertOptions& O) const {
  ApplyDiscRecipe(O, VcdRecipe(), Target());
  return true;
}

TAVSVcdProfile::TAVSVcdProfile() {
  SetDescription("SVCD");
  SetExtension(".mpg");
}

bool TAVSVcdProfile::DoApplyProfile(TAVConvertOptions& O) const {
  ApplyDiscRecipe(O, SVcdRecipe(), Target());
  return true;
}

TAVDvdProfile::TAVDvdProfile() {
  SetDescription("DVD");
  SetExtension(".vob");
}

bool TAVDvdProfile::DoApplyProfile(TAVConvertOptions& O) const {
  ApplyDiscRecipe(O, DvdRecipe(), Target());
  return true;
}

TAVDvProfile::TAVDvProfile() {
  SetDescription("DV");
  SetExtension(".dv");
}

bool TAVDvProfile::DoApplyProfile(TAVConvertOptions& O) const {
  TVideoOptions& video = O.VideoOptions();
  O.SetOutputFormat("dv");
  if (Is480Lines()) {
    video.SetFrameWidth(720);
    video.SetFrameHeight(480);
    video.SetFramePixFormat(kPixFmtYuv411p);
  } else {
    video.SetFrameWidth(720);
    video.SetFrameHeight(576);
    video.SetFramePixFormat(kPixFmtYuv420p);
  }
  O.AudioOptions().SetAudioSampleRate(48000);
  O.AudioOptions().SetAudioChannels(2);
  video.SetFrameRate(TargetFrameRate(Target()));
  video.SetCustomFrameRate(true);
  return true;
}

TAVDv50Profile::TAVDv50Profile() {
  SetDescription("DV50");
  SetExtension(".dv");
}

bool TAVDv50Profile::DoApplyProfile(TAVConvertOptions& O) const {
  // DV50 pictures exist in the two television sizes only; without one the
  // encoder refuses every other source.
  O.VideoOptions().SetFrameWidth(720);
  O.VideoOptions().SetFrameHeight(Is480Lines() ? 480 : 576);
  O.VideoOptions().SetFramePixFormat(kPixFmtYuv422p);
  O.VideoOptions().SetFrameRate(TargetFrameRate(Target()));
  O.VideoOptions().SetCustomFrameRate(true);
  return true;
}

TAVImageProfile::TAVImageProfile() {
  SetDescription("Image Sequence Profile");
}

bool TAVImageProfile::DoApplyProfile(TAVConvertOptions& O) const {
  O.SetThreadCount(1);
  return true;
}

bool TAVRemuxProfile::DoApplyProfile(TAVConvertOptions& O) const {
  O.VideoOptions().SetVideoDisable(false);
  O.VideoOptions().SetVideoStreamCopy(true);
  O.AudioOptions().SetAudioStreamCopy(true);
  O.SubtitleOptions().SetSubtitleDisable(false);
  O.SubtitleOptions().SetSubtitleStreamCopy(true);
  O.SetKeepAllTracks(true);
  O.SetOutputFormat(FFormat);
  return true;
}

TAVX264Profile::TAVX264Profile() {
  SetDescription("H264 Profile");
  SetExtension(".mp4");
}

bool TAVX264Profile::DoApplyProfile(TAVConvertOptions& O) const {
  const auto ordinal = static_cast<int32_t>(Fpreset);
  const std::vector<TX264Preset>& presets = X264Presets();
  if (ordinal < 0 || ordinal >= static_cast<int32_t>(presets.size())) return true;
  const TX264Preset& p = presets[ordinal];
  SetAdvancedOptions(O, {{"coder", "1"},
                         {"flags", "+loop"},
                         {"cmp", "+chroma"},
                         {"partitions", p.partitions},
                         {"me_method", p.me_method},
                         {"subq", p.subq},
                         {"me_range", p.me_range},
                         {"g", "250"},
                         {"keyint_min", "25"},
                         {"sc_threshold", "40"},
                         {"i_qfactor", "0.71"},
                         {"b_strategy", p.b_strategy},
                         {"qcomp", "0.6"},
                         {"qmin", "10"},
                         {"qmax", "51"},
                         {"qdiff", "4"}});
  SetAdvancedOptions(O, p.tail);
  return true;
}

}  // namespace veltrano
