// The built-in category of today's devices and formats, listed after the
// catalogue's 13: phones and tablets (H.264 1080p and 720p), televisions
// (H.265 4K in MP4 or MKV), the web (VP9 or AV1 with Opus), archives (H.265
// or AV1 in MKV keeping every track), sound files (Opus, AAC-LC, FLAC, ALAC,
// MP3 VBR) and changing the container only (MP4, MKV).
//
// Its profiles ask for constant quality and a largest size rather than fixed
// bit rates and sizes, and name the device they are made for, so that
// source streams which already fit are copied.
#pragma once

#include "converter/AVProfile.h"

namespace veltrano {

inline constexpr const char* kDeviceCategory = "现代设备与格式";
inline constexpr int kDeviceCatalogueProfileCount = 16;

// The category's profiles in list order, each with its component name
// ("pfPhone1080", …) and the category set.
std::vector<std::unique_ptr<TAVProfile>> DeviceCatalogueProfiles();

// Appends the category to `list`'s categories and its profiles to the list.
void BuildDeviceCatalogue(TAVProfileList& list);

}  // namespace veltrano
