// How profiles are kept in the store's INI form: one key per setting under
// the profile's index, and the keys older readers do not know.
#include "converter/AVProfile.h"
#include "converter/NumberText.h"
#include "converter/TextLists.h"

namespace veltrano {
namespace {

// How the store keeps an enumeration that gained values older readers do
// not know: such a value goes into the old key as `fallback`, something
// they can apply, and by name into a key of its own. The name counts only
// while the old key still holds the fallback, so a change made by an older
// reader is not undone.
struct TExtendedEnum {
  const char* key;
  const char* name_key;
  int32_t legacy_count;  // the values older readers know: 0 to legacy_count - 1
  const std::vector<std::string>& names;
  int32_t (*fallback)(int32_t value);  // what older readers get for a newer value
};

void WriteExtended(TCustomIniFile& ini, int index, const TExtendedEnum& e, int32_t value) {
  const bool newer = value >= e.legacy_count && value < static_cast<int32_t>(e.names.size());
  ini.WriteInteger(kProfileSection, ProfileKey(e.key, index), newer ? e.fallback(value) : value);
  if (newer) {
    ini.WriteString(kProfileSection, ProfileKey(e.name_key, index), e.names[value]);
  } else {
    ini.DeleteKey(kProfileSection, ProfileKey(e.name_key, index));
  }
}

int32_t ReadExtended(const TCustomIniFile& ini, int index, const TExtendedEnum& e,
                     int32_t current) {
  const int32_t value = ini.ReadInteger(kProfileSection, ProfileKey(e.key, index), current);
  const std::string name = ini.ReadString(kProfileSection, ProfileKey(e.name_key, index), "");
  for (int32_t i = e.legacy_count; i < static_cast<int32_t>(e.names.size()); ++i) {
    if (e.names[i] == name && e.fallback(i) == value) return i;
  }
  return value;
}

// What older readers make instead of the values they do not know.
int32_t LegacyAudioEncoder(int32_t encoder) {
  switch (static_cast<TCustomAudioEncoder>(encoder)) {
    case TCustomAudioEncoder::FLAC:
      return static_cast<int32_t>(TCustomAudioEncoder::PCM_S16LE);
    case TCustomAudioEncoder::EAC3:
      return static_cast<int32_t>(TCustomAudioEncoder::AC3);
    default:
      return static_cast<int32_t>(TCustomAudioEncoder::AAC);
  }
}
int32_t LegacyVideoEncoder(int32_t) {
  return static_cast<int32_t>(TCustomVideoEncoder::H264);
}
int32_t LegacyChannels(int32_t) {
  return static_cast<int32_t>(TCustomAudioChannels::stereo2);
}

const TExtendedEnum& AudioEncoderKeys() {
  static const TExtendedEnum keys{"AudioEncoder", "AudioEncoderName", 8, AudioEncoderNames(),
                                  &LegacyAudioEncoder};
  return keys;
}
const TExtendedEnum& AudioChannelKeys() {
  static const TExtendedEnum keys{"AudioChannels", "AudioChannelsName", 2, AudioChannelNames(),
                                  &LegacyChannels};
  return keys;
}
const TExtendedEnum& VideoEncoderKeys() {
  static const TExtendedEnum keys{"VideoEncoder", "VideoEncoderName", 9, VideoEncoderNames(),
                                  &LegacyVideoEncoder};
  return keys;
}

// New keys hold a value only when it is not the default; otherwise they go,
// so that a value cleared in the editor does not come back from the file.
void WriteOrDelete(TCustomIniFile& ini, const std::string& key, bool present,
                   const std::string& value) {
  if (present) {
    ini.WriteString(kProfileSection, key, value);
  } else {
    ini.DeleteKey(kProfileSection, key);
  }
}

}  // namespace

void TAVProfile::WriteToIni(TCustomIniFile& AIni, int Index) const {
  AIni.WriteString(kProfileSection, ProfileKey("Description", Index), FDescription);
  AIni.WriteString(kProfileSection, ProfileKey("Extension", Index), FExtension);
  AIni.WriteString(kProfileSection, ProfileKey("Category", Index), FCategory);
}

void TAVProfile::ReadFromIni(const TCustomIniFile& AIni, int Index) {
  FDescription = AIni.ReadString(kProfileSection, ProfileKey("Description", Index), FDescription);
  FExtension = AIni.ReadString(kProfileSection, ProfileKey("Extension", Index), FExtension);
  FCategory = AIni.ReadString(kProfileSection, ProfileKey("Category", Index), FCategory);
}

void TAVCustomAudioProfile::WriteToIni(TCustomIniFile& AIni, int Index) const {
  TAVProfile::WriteToIni(AIni, Index);
  const auto key = [Index](const char* name) { return ProfileKey(name, Index); };
  AIni.WriteInteger(kProfileSection, key("IsVideo"), 0);
  AIni.WriteInteger(kProfileSection, key("SampleRate"), FSampleRate);
  WriteExtended(AIni, Index, AudioEncoderKeys(), static_cast<int32_t>(FAudioEncoder));
  WriteExtended(AIni, Index, AudioChannelKeys(), static_cast<int32_t>(FAudioChannels));
  AIni.WriteFloat(kProfileSection, key("AudioBitrate"), FAudioBitrate);
  AIni.WriteInteger(kProfileSection, key("Format"), static_cast<int32_t>(FFormat));
  AIni.WriteString(kProfileSection, key("Options"), CommaText(FOptions));
  // Keys older readers do not know, and ignore.
  WriteOrDelete(AIni, key("AudioQuality"), FAudioQuality >= 0, FloatToText(FAudioQuality));
  WriteOrDelete(AIni, key("Device"), !FDevice.empty(), FDevice);
  WriteOrDelete(AIni, key("KeepAllTracks"), FKeepAllTracks, "1");
}

void TAVCustomAudioProfile::ReadFromIni(const TCustomIniFile& AIni, int Index) {
  TAVProfile::ReadFromIni(AIni, Index);
  const auto key = [Index](const char* name) { return ProfileKey(name, Index); };
  FSampleRate = AIni.ReadInteger(kProfileSection, key("SampleRate"), FSampleRate);
  FAudioEncoder = static_cast<TCustomAudioEncoder>(
      ReadExtended(AIni, Index, AudioEncoderKeys(), static_cast<int32_t>(FAudioEncoder)));
  FAudioChannels = static_cast<TCustomAudioChannels>(
      ReadExtended(AIni, Index, AudioChannelKeys(), static_cast<int32_t>(FAudioChannels)));
  FAudioBitrate = AIni.ReadFloat(kProfileSection, key("AudioBitrate"), FAudioBitrate);
  FFormat = static_cast<TCustomAVFormat>(
      AIni.ReadInteger(kProfileSection, key("Format"), static_cast<int32_t>(FFormat)));
  FOptions = ParseCommaText(AIni.ReadString(kProfileSection, key("Options"), CommaText(FOptions)));
  FAudioQuality = AIni.ReadFloat(kProfileSection, key("AudioQuality"), FAudioQuality);
  FDevice = AIni.ReadString(kProfileSection, key("Device"), FDevice);
  FKeepAllTracks = AIni.ReadBool(kProfileSection, key("KeepAllTracks"), FKeepAllTracks);
}

void TAVCustomVideoProfile::WriteToIni(TCustomIniFile& AIni, int Index) const {
  TAVCustomAudioProfile::WriteToIni(AIni, Index);
  const auto key = [Index](const char* name) { return ProfileKey(name, Index); };
  AIni.WriteInteger(kProfileSection, key("IsVideo"), 1);
  AIni.WriteInteger(kProfileSection, key("FrameWidth"), FFrameWidth);
  AIni.WriteInteger(kProfileSection, key("FrameHeight"), FFrameHeight);
  WriteExtended(AIni, Index, VideoEncoderKeys(), static_cast<int32_t>(FVideoEncoder));
  AIni.WriteInteger(kProfileSection, key("FrameRate"), static_cast<int32_t>(FFrameRate));
  AIni.WriteInteger(kProfileSection, key("VideoBitrate"), FVideoBitrate);
  // Keys older readers do not know: they keep the source's size and rate and
  // the encoder's own rate control.
  WriteOrDelete(AIni, key("VideoQuality"), FVideoQuality > 0, FloatToText(FVideoQuality));
  WriteOrDelete(AIni, key("MaxFrameWidth"), FMaxFrameWidth > 0, std::to_string(FMaxFrameWidth));
  WriteOrDelete(AIni, key("MaxFrameHeight"), FMaxFrameHeight > 0, std::to_string(FMaxFrameHeight));
  WriteOrDelete(AIni, key("MaxFrameRate"), FMaxFrameRate > 0, std::to_string(FMaxFrameRate));
}

void TAVCustomVideoProfile::ReadFromIni(const TCustomIniFile& AIni, int Index) {
  TAVCustomAudioProfile::ReadFromIni(AIni, Index);
  const auto key = [Index](const char* name) { return ProfileKey(name, Index); };
  FFrameWidth = AIni.ReadInteger(kProfileSection, key("FrameWidth"), FFrameWidth);
  FFrameHeight = AIni.ReadInteger(kProfileSection, key("FrameHeight"), FFrameHeight);
  FVideoEncoder = static_cast<TCustomVideoEncoder>(
      ReadExtended(AIni, Index, VideoEncoderKeys(), static_cast<int32_t>(FVideoEncoder)));
  FFrameRate = static_cast<TCustomFrameRate>(
      AIni.ReadInteger(kProfileSection, key("FrameRate"), static_cast<int32_t>(FFrameRate)));
  FVideoBitrate = AIni.ReadInteger(kProfileSection, key("VideoBitrate"), FVideoBitrate);
  FVideoQuality = AIni.ReadFloat(kProfileSection, key("VideoQuality"), FVideoQuality);
  FMaxFrameWidth = AIni.ReadInteger(kProfileSection, key("MaxFrameWidth"), FMaxFrameWidth);
  FMaxFrameHeight = AIni.ReadInteger(kProfileSection, key("MaxFrameHeight"), FMaxFrameHeight);
  FMaxFrameRate = AIni.ReadInteger(kProfileSection, key("MaxFrameRate"), FMaxFrameRate);
}

}  // namespace veltrano
