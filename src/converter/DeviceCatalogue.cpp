#include "converter/DeviceCatalogue.h"

#include <memory>

#include "converter/TextLists.h"

namespace veltrano {
namespace {

using A = TCustomAudioEncoder;
using V = TCustomVideoEncoder;
using F = TCustomAVFormat;
using C = TCustomAudioChannels;

struct TVideoEntry {
  const char* name;
  const char* description;
  const char* extension;
  const char* device;
  F format;
  V video;
  double quality;
  int32_t max_width;
  int32_t max_height;
  int32_t max_rate;  // frames per second; 0: the source's
  A audio;
  double audio_kbits;
  C channels;
  const char* options;  // comma text
  bool keep_all_tracks;
};

struct TAudioEntry {
  const char* name;
  const char* description;
  const char* extension;
  const char* device;
  A audio;
  double audio_kbits;
  double quality;  // negative: the bit rate counts
  C channels;
};

// clang-format off
const TVideoEntry kVideo[] = {
  {"pfPhone1080", "Phone/Tablet H.264 1080p", ".mp4", "phone-1080p", F::F_MP4, V::H264, 22,
   1920, 1080, 30, A::AAC, 160, C::stereo2, "", false},
  {"pfPhone720", "Phone/Tablet H.264 720p", ".mp4", "phone-720p", F::F_MP4, V::H264, 23,
   1280, 720, 30, A::AAC, 128, C::stereo2, "level=31", false},
  {"pfTv4kHevc", "TV 4K H.265 (MP4)", ".mp4", "tv-4k", F::F_MP4, V::H265, 24,
   3840, 2160, 60, A::AAC, 192, C::stereo2, "", false},
  {"pfTv4kHevcMkv", "TV 4K H.265 (MKV)", ".mkv", "tv-4k", F::F_NONE, V::H265, 24,
   3840, 2160, 60, A::AAC, 192, C::stereo2, "", false},
  {"pfWebVp9", "Web VP9 + Opus (WebM)", ".webm", "web-vp9", F::F_WEBM, V::VP9, 32,
   1920, 1080, 60, A::OPUS, 128, C::stereo2, "", false},
  {"pfWebAv1", "Web AV1 + Opus (WebM)", ".webm", "web-av1", F::F_WEBM, V::AV1, 35,
   1920, 1080, 60, A::OPUS, 128, C::stereo2, "", false},
  {"pfWebAv1Mkv", "Web AV1 + Opus (MKV)", ".mkv", "web-av1", F::F_NONE, V::AV1, 35,
   1920, 1080, 60, A::OPUS, 128, C::stereo2, "", false},
  {"pfArchiveHevc", "Archive H.265 (MKV, every track)", ".mkv", "archive-hevc", F::F_NONE,
   V::H265, 20, 0, 0, 0, A::FLAC, 0, C::chOriginal, "preset=slow", true},
  {"pfArchiveAv1", "Archive AV1 (MKV, every track)", ".mkv", "archive-av1", F::F_NONE,
   V::AV1, 28, 0, 0, 0, A::FLAC, 0, C::chOriginal, "preset=6", true},
};

const TAudioEntry kAudio[] = {
  {"pfOpus", "Opus Audio", ".opus", "audio-opus", A::OPUS, 128, -1, C::stereo2},
  {"pfAacLc", "AAC-LC Audio (M4A)", ".m4a", "audio-aac", A::AAC, 192, -1, C::stereo2},
  {"pfFlac", "FLAC Audio (lossless)", ".flac", "audio-flac", A::FLAC, 0, -1, C::chOriginal},
  {"pfAlac", "ALAC Audio (lossless, M4A)", ".m4a", "audio-alac", A::ALAC, 0, -1, C::chOriginal},
  {"pfMp3Vbr", "MP3 VBR Audio", ".mp3", "audio-mp3", A::MP3, 0, 2, C::stereo2},
};
// clang-format on

void Describe(TAVProfile& p, const char* name, const char* description, const char* extension) {
  p.SetName(name);
  p.SetDescription(description);
  p.SetExtension(extension);
  p.SetCategory(kDeviceCategory);
}

std::unique_ptr<TAVProfile> VideoProfile(const TVideoEntry& e) {
  auto p = std::make_unique<TAVCustomVideoProfile>();
  Describe(*p, e.name, e.description, e.extension);
  p->SetDevice(e.device);
  p->SetFormat(e.format);
  p->SetVideoEncoder(e.video);
  p->SetVideoQuality(e.quality);
  p->SetMaxFrameWidth(e.max_width);
  p->SetMaxFrameHeight(e.max_height);
  p->SetMaxFrameRate(e.max_rate);
  p->SetAudioEncoder(e.audio);
  p->SetAudioBitrate(e.audio_kbits);
  p->SetAudioChannels(e.channels);
  p->SetOptions(ParseCommaText(e.options));
  p->SetKeepAllTracks(e.keep_all_tracks);
  return p;
}

std::unique_ptr<TAVProfile> AudioProfile(const TAudioEntry& e) {
  auto p = std::make_unique<TAVCustomAudioProfile>();
  Describe(*p, e.name, e.description, e.extension);
  p->SetDevice(e.device);
  p->SetAudioEncoder(e.audio);
  p->SetAudioBitrate(e.audio_kbits);
  p->SetAudioQuality(e.quality);
  p->SetAudioChannels(e.channels);
  return p;
}

std::unique_ptr<TAVProfile> RemuxProfile(const char* name, const char* description,
                                         const char* extension, const char* format) {
  auto p = std::make_unique<TAVRemuxProfile>();
  Describe(*p, name, description, extension);
  p->SetFormat(format);
  return p;
}

}  // namespace

std::vector<std::unique_ptr<TAVProfile>> DeviceCatalogueProfiles() {
  std::vector<std::unique_ptr<TAVProfile>> profiles;
  for (const TVideoEntry& entry : kVideo) profiles.push_back(VideoProfile(entry));
  for (const TAudioEntry& entry : kAudio) profiles.push_back(AudioProfile(entry));
  profiles.push_back(
      RemuxProfile("pfRemuxMp4", "remux: change the container only (MP4)", ".mp4", "mp4"));
  profiles.push_back(
      RemuxProfile("pfRemuxMkv", "remux: change the container only (MKV)", ".mkv", "matroska"));
  return profiles;
}

void BuildDeviceCatalogue(TAVProfileList& list) {
  TStrings categories = list.Categories();
  categories.push_back(kDeviceCategory);
  list.SetCategories(categories);
  for (std::unique_ptr<TAVProfile>& profile : DeviceCatalogueProfiles()) {
    list.AddProfile(std::move(profile));
  }
}

}  // namespace veltrano
