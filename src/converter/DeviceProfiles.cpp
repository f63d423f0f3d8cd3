#include "converter/DeviceProfiles.h"

#include <fmt/format.h>

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

namespace veltrano {
namespace {

// What the H.264 decoders of phones, tablets and televisions take: 8-bit 4:2:0
// pictures of the Baseline, Main and High profiles.
TPlayableVideo H264Up(int max_level) {
  return {AV_CODEC_ID_H264,
          {FF_PROFILE_H264_CONSTRAINED_BASELINE, FF_PROFILE_H264_BASELINE, FF_PROFILE_H264_MAIN,
           FF_PROFILE_H264_HIGH},
          max_level,
          {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUVJ420P}};
}

const std::vector<int> kCommonRates{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

TPlayableAudio Aac(int max_channels) {
  return {AV_CODEC_ID_AAC, max_channels, kCommonRates};
}

constexpr int64_t kMbit = 1000000;
constexpr int64_t kKbit = 1000;

std::vector<TDeviceCapabilities> BuildTable() {
  const std::vector<std::string> mp4{"mp4", "mov", "ipod"};
  // Televisions take sound as films bring it: AAC, AC-3 and E-AC-3.
  const std::vector<int> film_rates{32000, 44100, 48000};
  const TPlayableVideo hevc{AV_CODEC_ID_HEVC,
                            {FF_PROFILE_HEVC_MAIN, FF_PROFILE_HEVC_MAIN_10},
                            153,
                            {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P10LE}};
  const TPlayableAudio opus{AV_CODEC_ID_OPUS, 2, {48000}};
  const TPlayableAudio vorbis{AV_CODEC_ID_VORBIS, 2, {}};
  return {
      // Phones and tablets: H.264 High up to level 4.1 (1080p at 30 frames/s)
      // or 3.1 (720p), stereo AAC, MP4.
      {.id = "phone-1080p",
       .video = {H264Up(41)},
       .max_width = 1920,
       .max_height = 1080,
       .max_frame_rate = 30,
       .max_video_bit_rate = 50 * kMbit,
       .audio = {Aac(2)},
       .max_audio_bit_rate = 320 * kKbit,
       .containers = mp4},
      {.id = "phone-720p",
       .video = {H264Up(31)},
       .max_width = 1280,
       .max_height = 720,
       .max_frame_rate = 30,
       .max_video_bit_rate = 17500 * kKbit,
       .audio = {Aac(2)},
       .max_audio_bit_rate = 320 * kKbit,
       .containers = mp4},
      // Televisions: H.265 Main and Main 10 up to level 5.1 (2160p at 60
      // frames/s), H.264 up to 5.1.
      {.id = "tv-4k",
       .video = {hevc, H264Up(51)},
       .max_width = 3840,
       .max_height = 2160,
       .max_frame_rate = 60,
       .max_video_bit_rate = 40 * kMbit,
       .audio = {Aac(8), {AV_CODEC_ID_AC3, 6, film_rates}, {AV_CODEC_ID_EAC3, 8, film_rates}},
       .max_audio_bit_rate = 6144 * kKbit,
       .containers = {"mp4", "mov", "matroska"}},
      // Browsers: VP9 profile 0 or AV1 Main with Opus, in WebM (AV1 also in Matroska).
      {.id = "web-vp9",
       .video = {{AV_CODEC_ID_VP9, {FF_PROFILE_VP9_0}, 0, {AV_PIX_FMT_YUV420P}}},
       .max_width = 1920,
       .max_height = 1080,
       .max_frame_rate = 60,
       .max_video_bit_rate = 20 * kMbit,
       .audio = {opus, vorbis},
       .max_audio_bit_rate = 512 * kKbit,
       .containers = {"webm"}},
      {.id = "web-av1",
       .video = {{AV_CODEC_ID_AV1, {FF_PROFILE_AV1_MAIN}, 0, {AV_PIX_FMT_YUV420P}}},
       .max_width = 1920,
       .max_height = 1080,
       .max_frame_rate = 60,
       .max_video_bit_rate = 20 * kMbit,
       .audio = {opus, vorbis},
       .max_audio_bit_rate = 512 * kKbit,
       .containers = {"webm", "matroska"}},
      // Archives: the video codec is what counts; sound and subtitles of
      // every kind stay as they came, in Matroska.
      {.id = "archive-hevc", .video = {{AV_CODEC_ID_HEVC, {}, 0, {}}}, .containers = {"matroska"}},
      {.id = "archive-av1", .video = {{AV_CODEC_ID_AV1, {}, 0, {}}}, .containers = {"matroska"}},
      // Sound files, as the usual players take them.
      {.id = "audio-opus",
       .audio = {{AV_CODEC_ID_OPUS, 8, {48000}}},
       .max_audio_bit_rate = 512 * kKbit,
       .containers = {"ogg", "opus"}},
      {.id = "audio-aac", .audio = {Aac(8)}, .max_audio_bit_rate = 640 * kKbit, .containers = mp4},
      {.id = "audio-flac", .audio = {{AV_CODEC_ID_FLAC, 8, {}}}, .containers = {"flac"}},
      {.id = "audio-alac", .audio = {{AV_CODEC_ID_ALAC, 8, {}}}, .containers = mp4},
      {.id = "audio-mp3",
       .audio = {{AV_CODEC_ID_MP3, 2, kCommonRates}},
       .max_audio_bit_rate = 320 * kKbit,
       .containers = {"mp3"}},
  };
}

template <class T>
bool Contains(const std::vector<T>& list, const T& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

std::string ProfileName(int codec_id, int profile) {
  const char* name = avcodec_profile_name(static_cast<AVCodecID>(codec_id), profile);
  return name != nullptr ? name : std::to_string(profile);
}

// True when width x height fits the device's box either way round.
bool FitsBox(const TDeviceCapabilities& device, int width, int height) {
  if (device.max_width <= 0 || device.max_height <= 0 || width <= 0 || height <= 0) return true;
  const int box_long = std::max(device.max_width, device.max_height);
  const int box_short = std::min(device.max_width, device.max_height);
  return std::max(width, height) <= box_long && std::min(width, height) <= box_short;
}

void VideoProblems(const TDeviceCapabilities& device, const TStreamFacts& s,
                   std::vector<std::string>& problems) {
  const std::string codec = CodecDisplayName(s.codec_id);
  if (!device.video.empty()) {
    const auto entry =
        std::find_if(device.video.begin(), device.video.end(),
                     [&s](const TPlayableVideo& v) { return v.codec_id == s.codec_id; });
    if (entry == device.video.end()) {
      problems.push_back(fmt::format("视频编码 {} 不受支持", codec));
    } else {
      if (!entry->profiles.empty() && s.profile != FF_PROFILE_UNKNOWN &&
          !Contains(entry->profiles, s.profile)) {
        problems.push_back(
            fmt::format("{} profile {} 不受支持", codec, ProfileName(s.codec_id, s.profile)));
      }
      if (entry->max_level > 0 && s.level > entry->max_level) {
        problems.push_back(fmt::format("{} level {} > {}", codec, LevelText(s.codec_id, s.level),
                                       LevelText(s.codec_id, entry->max_level)));
      }
      if (!entry->pixel_formats.empty() && s.pix_fmt >= 0 &&
          !Contains(entry->pixel_formats, s.pix_fmt)) {
        const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(s.pix_fmt));
        problems.push_back(fmt::format("像素格式 {} 不受支持", name != nullptr ? name : "?"));
      }
    }
  }
  if (!FitsBox(device, s.width, s.height)) {
    problems.push_back(
        fmt::format("尺寸 {}x{} > {}x{}", s.width, s.height, device.max_width, device.max_height));
  }
  if (device.max_frame_rate > 0 && s.frame_rate > device.max_frame_rate * 1.001) {
    problems.push_back(fmt::format("帧率 {} > {}", RateText(s.frame_rate), device.max_frame_rate));
  }
  if (device.max_video_bit_rate > 0 && s.bit_rate > device.max_video_bit_rate) {
    problems.push_back(fmt::format("视频码率 {} kbit/s > {}", s.bit_rate / kKbit,
                                   device.max_video_bit_rate / kKbit));
  }
}

void AudioProblems(const TDeviceCapabilities& device, const TStreamFacts& s,
                   std::vector<std::string>& problems) {
  const std::string codec = CodecDisplayName(s.codec_id);
  if (!device.audio.empty()) {
    const auto entry =
        std::find_if(device.audio.begin(), device.audio.end(),
                     [&s](const TPlayableAudio& a) { return a.codec_id == s.codec_id; });
    if (entry == device.audio.end()) {
      problems.push_back(fmt::format("音频编码 {} 不受支持", codec));
    } else {
      if (entry->max_channels > 0 && s.channels > entry->max_channels) {
        problems.push_back(fmt::format("{} 声道 {} > {}", codec, s.channels, entry->max_channels));
      }
      if (!entry->sample_rates.empty() && s.sample_rate > 0 &&
          !Contains(entry->sample_rates, s.sample_rate)) {
        problems.push_back(fmt::format("{} 采样率 {} 不受支持", codec, s.sample_rate));
      }
    }
  }
  if (device.max_audio_bit_rate > 0 && s.bit_rate > device.max_audio_bit_rate) {
    problems.push_back(fmt::format("音频码率 {} kbit/s > {}", s.bit_rate / kKbit,
                                   device.max_audio_bit_rate / kKbit));
  }
}

// The profile and level a stream's decoder configuration record carries,
// for streams whose demuxer leaves them unknown (MP4 and Matroska do until
// frames are decoded): H.264 avcC, H.265 hvcC, AV1 av1C.
void ProfileAndLevelOfRecord(const AVCodecParameters* par, int& profile, int& level) {
  const uint8_t* data = par->extradata;
  const int size = par->extradata_size;
  if (data == nullptr) return;
  switch (par->codec_id) {
    case AV_CODEC_ID_H264:
      if (size >= 4 && data[0] == 1) {
        // Constraint flag 1 makes Baseline "Constrained Baseline".
        profile = data[1] == FF_PROFILE_H264_BASELINE && (data[2] & 0x40)
                      ? FF_PROFILE_H264_CONSTRAINED_BASELINE
                      : data[1];
        level = data[3];
      }
      break;
    case AV_CODEC_ID_HEVC:
      if (size >= 13 && data[0] == 1) {
        profile = data[1] & 0x1f;
        level = data[12];
      }
      break;
    case AV_CODEC_ID_AV1:
      if (size >= 2 && (data[0] & 0x80)) {
        profile = data[1] >> 5;
        level = data[1] & 0x1f;
      }
      break;
    default:
      break;
  }
}

}  // namespace

TStreamFacts FactsOf(const AVStream* st) {
  const AVCodecParameters* par = st->codecpar;
  TStreamFacts facts;
  facts.kind = par->codec_type;
  facts.codec_id = par->codec_id;
  facts.profile = par->profile;
  facts.level = par->level;
  if (facts.profile == FF_PROFILE_UNKNOWN || facts.level == FF_LEVEL_UNKNOWN) {
    int profile = facts.profile;
    int level = facts.level;
    ProfileAndLevelOfRecord(par, profile, level);
    if (facts.profile == FF_PROFILE_UNKNOWN) facts.profile = profile;
    if (facts.level == FF_LEVEL_UNKNOWN) facts.level = level;
  }
  facts.pix_fmt = par->codec_type == AVMEDIA_TYPE_VIDEO ? par->format : -1;
  facts.width = par->width;
  facts.height = par->height;
  const AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
  facts.frame_rate = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
  facts.bit_rate = par->bit_rate;
  facts.channels = par->ch_layout.nb_channels;
  facts.sample_rate = par->sample_rate;
  return facts;
}

const std::vector<TDeviceCapabilities>& DeviceTable() {
  static const std::vector<TDeviceCapabilities> table = BuildTable();
  return table;
}

const TDeviceCapabilities* FindDevice(std::string_view id) {
  for (const TDeviceCapabilities& device : DeviceTable()) {
    if (device.id == id) return &device;
  }
  return nullptr;
}

std::string CodecDisplayName(int codec_id) {
  switch (codec_id) {
    case AV_CODEC_ID_H264:
      return "H.264";
    case AV_CODEC_ID_HEVC:
      return "H.265";
    case AV_CODEC_ID_VP9:
      return "VP9";
    case AV_CODEC_ID_AV1:
      return "AV1";
    case AV_CODEC_ID_AAC:
      return "AAC";
    case AV_CODEC_ID_AC3:
      return "AC-3";
    case AV_CODEC_ID_EAC3:
      return "E-AC-3";
    case AV_CODEC_ID_OPUS:
      return "Opus";
    case AV_CODEC_ID_FLAC:
      return "FLAC";
    case AV_CODEC_ID_ALAC:
      return "ALAC";
    case AV_CODEC_ID_MP3:
      return "MP3";
    default:
      return avcodec_get_name(static_cast<AVCodecID>(codec_id));
  }
}

std::string LevelText(int codec_id, int level) {
  switch (codec_id) {
    case AV_CODEC_ID_H264:
      return level == 9 ? "1b" : fmt::format("{}.{}", level / 10, level % 10);
    case AV_CODEC_ID_HEVC:
      return fmt::format("{}.{}", level / 30, (level % 30) / 3);
    case AV_CODEC_ID_AV1:
      return fmt::format("{}.{}", 2 + level / 4, level % 4);
    default:
      return std::to_string(level);
  }
}

std::string RateText(double rate) {
  // Whole numbers without decimals, others with up to two.
  std::string text = fmt::format("{:.2f}", rate);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

std::vector<std::string> PlaybackProblems(const TDeviceCapabilities& device,
                                          const TStreamFacts& stream) {
  std::vector<std::string> problems;
  if (stream.kind == AVMEDIA_TYPE_VIDEO) VideoProblems(device, stream, problems);
  if (stream.kind == AVMEDIA_TYPE_AUDIO) AudioProblems(device, stream, problems);
  return problems;
}

std::string ContainerProblem(const TDeviceCapabilities& device, const std::string& format_name) {
  if (device.containers.empty() || Contains(device.containers, format_name)) return {};
  return fmt::format("容器 {} 不受支持", format_name);
}

int DevicePixelFormat(const TDeviceCapabilities& device, int codec_id, int pix_fmt) {
  for (const TPlayableVideo& video : device.video) {
    if (video.codec_id != codec_id || video.pixel_formats.empty()) continue;
    return Contains(video.pixel_formats, pix_fmt) ? pix_fmt : video.pixel_formats.front();
  }
  return pix_fmt;
}

}  // namespace veltrano
