// The user profile store: every parametric profile (the built-in ones
// included, once the user has saved) in the INI file Profiles.ini of the
// application-data folder, section "Profile". Once that file exists it is the
// source of all parametric profiles; disc-standard and image-sequence
// profiles always come from the catalogue.
//
// Keys of profile N: DescriptionN, ExtensionN, CategoryN, IsVideoN,
// SampleRateN, AudioEncoderN, AudioChannelsN, AudioBitrateN, FormatN,
// OptionsN (comma text) and, for video profiles, FrameWidthN, FrameHeightN,
// VideoEncoderN, FrameRateN, VideoBitrateN; "ProfileCount" once. Pass and
// aspect ratio are not stored.
//
// Later keys, which older readers ignore: AudioQualityN, DeviceN,
// KeepAllTracksN, VideoQualityN, MaxFrameWidthN, MaxFrameHeightN,
// MaxFrameRateN (each written only when not at its default), the encoder or
// channel choice of values older readers do not know by name
// (AudioEncoderNameN, VideoEncoderNameN, AudioChannelsNameN, beside a value
// they know in the old key), and "CatalogueVersion" once: a store without it
// predates today's category, whose profiles then join the stored ones.
#pragma once

#include <memory>
#include <string>

#include "converter/AVProfile.h"

namespace veltrano {

inline constexpr const char* kCatalogueVersionKey = "CatalogueVersion";
inline constexpr int kCatalogueVersion = 2;

// Writes every parametric profile of `list`, in list order, numbered from 0,
// then "ProfileCount". Other keys of the file stay (numbers left over from a
// longer store are ignored when reading). The file is replaced atomically;
// EFileWriteError when it cannot be written. Missing folders are created.
void SaveProfiles(const TAVProfileList& list, const std::string& file_name);
void SaveProfiles(const TAVProfileList& list);  // GetProfilesFile()

// When `file_name` exists: removes the parametric profiles of `list` and
// appends the stored ones; missing or malformed values keep the
// construction values. Returns whether the file was read (a file that
// exists but cannot be read counts as missing).
bool LoadProfiles(TAVProfileList& list, const std::string& file_name);
bool LoadProfiles(TAVProfileList& list);  // GetProfilesFile()

// The catalogue generation a store was written by: kCatalogueVersion since
// today's category exists, 1 for older stores (and missing files).
int StoredCatalogueVersion(const std::string& file_name);

// The program's profile list: the catalogue and today's category, with the
// user's stored profiles in place of their parametric ones when the store
// exists (today's are added to a store that predates them); the remux
// profiles last.
std::unique_ptr<TAVProfileList> CreateProfileList();

}  // namespace veltrano
