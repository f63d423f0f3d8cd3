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
#pragma once

#include <memory>
#include <string>

#include "converter/AVProfile.h"

namespace veltrano {

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

// The program's profile list: the catalogue, with the user's stored profiles
// in place of its parametric ones when the store exists.
std::unique_ptr<TAVProfileList> CreateProfileList();

}  // namespace veltrano
