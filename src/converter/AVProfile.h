// Output profiles: named presets that fill a converter's TAVConvertOptions
// with codec names, container, frame size and rate, bitrates and codec
// parameters.
//
// Three families:
//   - parametric profiles (TAVCustomAudioProfile, TAVCustomVideoProfile):
//     every value is a property; the user edits them and the profile store
//     keeps them (common/ProfileStore.h);
//   - disc-standard profiles (TAVTargetProfile and its five descendants):
//     fixed recipes for VCD, SVCD, DVD, DV and DV50 in three TV norms;
//   - image sequences (TAVImageProfile) and the H.264 encoder presets
//     (TAVX264Profile, used by the H.264 path of the video profiles).
//
// Ownership: a TAVProfileList owns the profiles it holds. Adding hands the
// profile over, removing hands it back, and destroying the list destroys the
// remaining profiles from the last. A profile knows its list and its position.
//
// Profiles write their options exactly as the catalogue has always spelt
// them (old libx264 option names included); the engine translates legacy
// spellings when it opens the encoder.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "converter/AVOptions.h"
#include "converter/CustomIniFile.h"

namespace veltrano {

class TAVConverter;
class TAVProfileList;

// Enumerations. Their ordinals are stored in the user profile store, so the
// order is fixed. A value read from a hand-edited store may lie outside the
// enumerators; the profile keeps it and only applying it fails.
//
// The encoders and the channel choice gained values later (from OPUS, H265
// and chOriginal on). Older readers of the store do not know them: the store
// gives them a value they know in the old key and the new one by name in a
// key of its own (see TAVCustomAudioProfile::WriteToIni).

// clang-format off
enum class TCustomAudioEncoder : int32_t {
  AAC, WMAV2, AC3, MP2, MP3, PCM_S16LE, RA1, AMR_NB,
  OPUS, FLAC, ALAC, EAC3
};
enum class TCustomVideoEncoder : int32_t {
  H263, H264, MPEG4, WMV2, MPEG2VIDEO, MSMPEGV3, RV20, XVID, FLV,
  H265, VP9, AV1
};
enum class TCustomAVFormat : int32_t {
  F_NONE, F_RM, F_MP4, F_ASF, F_AVI, F_3GP, F_3GP2, F_FLV, F_MOV,
  F_PSP, F_IPOD, F_SVCD, F_VCD, F_VOB, F_DVD, F_WEBM, F_AC3
};
enum class TCustomFrameRate : int32_t { rOriginal, r1499, r20, r2397, r24, r25, r2997, r30 };
// chOriginal keeps the source's channels.
enum class TCustomAudioChannels : int32_t { mono1, stereo2, chOriginal };
enum class TAVAspectRatio : int32_t { AR_NONE, AR4_3 };
enum class TAVTarget : int32_t { pal, ntsc, film };
enum class TAVImageType : int32_t { bitmap, jpeg, png, gif, tiff };
enum class TPreset : int32_t {
  basic, FastFirstPass, SlowFirstPass, Common, HighQuality, Best,
  LosslessFast, LosslessMedium, LosslessSlow, LosslessSlower, LosslessMax
};
enum class TAVFrameSize : int32_t {
  fsOriginal, fsNtsc, fsPal, fsQntsc, fsIPaq, fsPsp, fsSpal, fsIPhoneWide, fsIPhone, fsSqcif,
  fsQcif, fsCif, fs4cif, fs16cif, fsQqvga, fsQvga, fsVga, fsSvga, fsXga, fsUxga, fsQxga,
  fsSxga, fsQsxga, fsHsxga, fsWvga,
  fsWxga, fsWsxga, fsWuxga, fsWoxga, fsWqsxga, fsWquxga, fsWhsxga, fsWhuxga, fsCga, fsEga,
  fsHd480, fsHd720, fsHd1080, fsMceHd
};
// clang-format on

// Enumerator names in ordinal order ("AAC" … "AMR_NB", "H263" … "FLV", …).
const std::vector<std::string>& AudioEncoderNames();
const std::vector<std::string>& VideoEncoderNames();
const std::vector<std::string>& AVFormatNames();    // "F_NONE" … "F_AC3"
const std::vector<std::string>& FrameRateLabels();  // "Original", "14.99", … "30"
const std::vector<std::string>& TargetNames();      // "pal", "ntsc", "film"
const std::vector<std::string>& ImageTypeNames();
const std::vector<std::string>& PresetNames();

// The library names a profile writes; none for an ordinal outside the enumeration.
std::optional<std::string> AudioCodecName(TCustomAudioEncoder encoder);  // "libfaac" …
std::optional<std::string> VideoCodecName(TCustomVideoEncoder encoder);  // "h263" …
const std::vector<std::string>& AudioChannelNames();  // "mono1", "stereo2", "chOriginal"
// "" for F_NONE (the output format is left as it is), "rm", "mp4", …
std::optional<std::string> OutputFormatName(TCustomAVFormat format);
// The rate a frame-rate choice sets; none for rOriginal and unknown ordinals.
std::optional<TRational> CustomFrameRateValue(TCustomFrameRate rate);
// 25/1, 30000/1001, 24000/1001.
TRational TargetFrameRate(TAVTarget target);

struct TFrameDimensions {
  int32_t width = 0;
  int32_t height = 0;
};
inline constexpr int kFrameSizeCount = 39;
TFrameDimensions FrameSizeDimensions(TAVFrameSize size);
// The first size of the table with exactly these dimensions; fsOriginal when none.
TAVFrameSize FrameSizeOf(int32_t width, int32_t height);

// TAVProfile ---------------------------------------------------------------------

class TAVProfile {
 public:
  virtual ~TAVProfile();
  TAVProfile(const TAVProfile&) = delete;
  TAVProfile& operator=(const TAVProfile&) = delete;

  virtual const char* ClassName() const = 0;

  // The component name of a catalogue entry ("pfVcd", "pfAAC", …); empty otherwise.
  const std::string& Name() const { return FName; }
  void SetName(const std::string& value) { FName = value; }

  // The display name, and the key under which a task remembers its profile.
  const std::string& Description() const { return FDescription; }
  void SetDescription(const std::string& value) { FDescription = value; }
  // Replaces the target file's extension, dot included (".mp4"); for image
  // sequences a numbered pattern ("%1d.jpg").
  const std::string& Extension() const { return FExtension; }
  void SetExtension(const std::string& value) { FExtension = value; }
  // The caption of the category the profile is listed under (compared
  // without regard to letter case).
  const std::string& Category() const { return FCategory; }
  void SetCategory(const std::string& value) { FCategory = value; }

  // The list that holds the profile; nullptr when it is in none.
  TAVProfileList* ProfileList() const { return FProfileList; }
  // What windows keep instead of the profile's address: the list finds the
  // profile by it (TAVProfileList::FindHandle) as long as it holds it, and
  // no other profile ever gets the same handle. 0 while in no list.
  uint64_t Handle() const { return FHandle; }
  // Position in the list, -1 when in none. Setting it moves the profile; the
  // value is clamped to the list; without a list nothing happens.
  int Index() const;
  void SetIndex(int value);

  // Fills the options of `AVConverter`; true when done. Raises EAVError when
  // an encoder or format ordinal lies outside its enumeration (options set
  // before that step stay set).
  bool ApplyProfile(TAVConverter& AVConverter) const;
  bool ApplyProfile(TAVConvertOptions& O) const { return DoApplyProfile(O); }

  // Writes or reads this profile's keys, numbered `Index`, in the section
  // "Profile". Reading keeps a key's current value when the key is missing.
  void SaveToFile(TCustomIniFile& AIni, int Index) const { WriteToIni(AIni, Index); }
  void LoadFromFile(const TCustomIniFile& AIni, int Index) { ReadFromIni(AIni, Index); }

 protected:
  TAVProfile() = default;

  virtual void WriteToIni(TCustomIniFile& AIni, int Index) const;
  virtual void ReadFromIni(const TCustomIniFile& AIni, int Index);
  virtual bool DoApplyProfile(TAVConvertOptions& O) const = 0;

 private:
  friend class TAVProfileList;

  std::string FName;
  std::string FDescription;
  std::string FExtension;
  std::string FCategory;
  TAVProfileList* FProfileList = nullptr;
  uint64_t FHandle = 0;
};

// The INI section of the profile store and the key of one numbered value.
inline constexpr const char* kProfileSection = "Profile";
std::string ProfileKey(const char* name, int index);

// Parametric profiles ----------------------------------------------------------------

class TAVCustomAudioProfile : public TAVProfile {
 public:
  TAVCustomAudioProfile() = default;
  const char* ClassName() const override { return "TAVCustomAudioProfile"; }

  int32_t SampleRate() const { return FSampleRate; }  // Hz
  TCustomAudioEncoder AudioEncoder() const { return FAudioEncoder; }
  double AudioBitrate() const { return FAudioBitrate; }  // kbit/s, fractions allowed
  TCustomAudioChannels AudioChannels() const { return FAudioChannels; }
  TCustomAVFormat Format() const { return FFormat; }
  const TStrings& Options() const { return FOptions; }  // name=value lines
  // The encoder's enumerator name ("AAC" …); the ordinal in decimal when unknown.
  std::string AudioEncoderName() const;
  // VBR quality instead of the bit rate (the encoder's scale: MP3 0 best to
  // 9); negative: none, the bit rate counts.
  double AudioQuality() const { return FAudioQuality; }
  // The device the profile is made for (converter/DeviceProfiles.h); empty
  // for none. With a device, source streams that already fit are copied.
  const std::string& Device() const { return FDevice; }
  // Every audio and subtitle track of the source goes out, not only one.
  bool KeepAllTracks() const { return FKeepAllTracks; }

  void SetSampleRate(int32_t value) { FSampleRate = value; }
  void SetAudioEncoder(TCustomAudioEncoder value) { FAudioEncoder = value; }
  void SetAudioBitrate(double value) { FAudioBitrate = value; }
  void SetAudioChannels(TCustomAudioChannels value) { FAudioChannels = value; }
  void SetFormat(TCustomAVFormat value) { FFormat = value; }
  void SetOptions(const TStrings& value) { FOptions = value; }
  void SetAudioQuality(double value) { FAudioQuality = value; }
  void SetDevice(const std::string& value) { FDevice = value; }
  void SetKeepAllTracks(bool value) { FKeepAllTracks = value; }

 protected:
  void WriteToIni(TCustomIniFile& AIni, int Index) const override;
  void ReadFromIni(const TCustomIniFile& AIni, int Index) override;
  bool DoApplyProfile(TAVConvertOptions& O) const override;
  // The audio steps: switch video and subtitles off (subtitles stay when all
  // tracks are kept), the device and track choice, then, unless audio is
  // copied, codec, format, bitrate or quality, rate, channels and options.
  void ApplyAudioSettings(TAVConvertOptions& O) const;
  // The Options lines, through SetAdvancedOption.
  void ApplyOptionLines(TAVConvertOptions& O) const;

 private:
  int32_t FSampleRate = 0;
  TCustomAudioEncoder FAudioEncoder = TCustomAudioEncoder::AAC;
  double FAudioBitrate = 0.0;
  TCustomAudioChannels FAudioChannels = TCustomAudioChannels::mono1;
  TCustomAVFormat FFormat = TCustomAVFormat::F_NONE;
  TStrings FOptions;
  double FAudioQuality = -1.0;
  std::string FDevice;
  bool FKeepAllTracks = false;
};

class TAVCustomVideoProfile : public TAVCustomAudioProfile {
 public:
  TAVCustomVideoProfile() = default;
  const char* ClassName() const override { return "TAVCustomVideoProfile"; }

  int32_t FrameWidth() const { return FFrameWidth; }  // 0 keeps the source's
  int32_t FrameHeight() const { return FFrameHeight; }
  TCustomVideoEncoder VideoEncoder() const { return FVideoEncoder; }
  TCustomFrameRate FrameRate() const { return FFrameRate; }
  int32_t VideoBitrate() const { return FVideoBitrate; }  // kbit/s
  int32_t Pass() const { return FPass; }
  TAVAspectRatio FrameAspectRatio() const { return FFrameAspectRatio; }
  TAVFrameSize FrameSize() const { return FrameSizeOf(FFrameWidth, FFrameHeight); }
  std::string VideoEncoderName() const;
  // 0 for rOriginal, else the nominal rate of the label (14.99, 20, … 30).
  double VideoFrameRate() const;
  // Constant quality (CRF/CQ) instead of the bit rate; 0: none.
  double VideoQuality() const { return FVideoQuality; }
  // A box the source's picture is scaled down to fit, keeping its aspect
  // ratio, when FrameWidth and FrameHeight leave the size to the source; 0: none.
  int32_t MaxFrameWidth() const { return FMaxFrameWidth; }
  int32_t MaxFrameHeight() const { return FMaxFrameHeight; }
  // With FrameRate rOriginal: the source's rate, but at most this; 0: no limit.
  int32_t MaxFrameRate() const { return FMaxFrameRate; }

  void SetFrameWidth(int32_t value) { FFrameWidth = value; }
  void SetFrameHeight(int32_t value) { FFrameHeight = value; }
  void SetVideoEncoder(TCustomVideoEncoder value) { FVideoEncoder = value; }
  void SetFrameRate(TCustomFrameRate value) { FFrameRate = value; }
  void SetVideoBitrate(int32_t value) { FVideoBitrate = value; }
  void SetPass(int32_t value) { FPass = value; }
  void SetFrameAspectRatio(TAVAspectRatio value) { FFrameAspectRatio = value; }
  void SetVideoQuality(double value) { FVideoQuality = value; }
  void SetMaxFrameWidth(int32_t value) { FMaxFrameWidth = value; }
  void SetMaxFrameHeight(int32_t value) { FMaxFrameHeight = value; }
  void SetMaxFrameRate(int32_t value) { FMaxFrameRate = value; }

 protected:
  void WriteToIni(TCustomIniFile& AIni, int Index) const override;
  void ReadFromIni(const TCustomIniFile& AIni, int Index) override;
  bool DoApplyProfile(TAVConvertOptions& O) const override;

 private:
  // The basic x264 preset, then "mbd"="rd" and "level"="41".
  static void ApplyX264Defaults(TAVConvertOptions& O);
  // The speed settings of the encoders added later (x265, VP9, SVT-AV1).
  static void ApplyEncoderDefaults(TCustomVideoEncoder encoder, TAVConvertOptions& O);

  int32_t FFrameWidth = 0;
  int32_t FFrameHeight = 0;
  TCustomVideoEncoder FVideoEncoder = TCustomVideoEncoder::H263;
  TCustomFrameRate FFrameRate = TCustomFrameRate::rOriginal;
  int32_t FVideoBitrate = 0;
  int32_t FPass = 0;
  TAVAspectRatio FFrameAspectRatio = TAVAspectRatio::AR_NONE;
  double FVideoQuality = 0.0;
  int32_t FMaxFrameWidth = 0;
  int32_t FMaxFrameHeight = 0;
  int32_t FMaxFrameRate = 0;
};

// Disc-standard profiles -------------------------------------------------------------

class TAVTargetProfile : public TAVProfile {
 public:
  TAVTarget Target() const { return FTarget; }
  void SetTarget(TAVTarget value) { FTarget = value; }

 protected:
  TAVTargetProfile() = default;
  // True for the television norms of 480 lines (ntsc and film).
  bool Is480Lines() const { return FTarget != TAVTarget::pal; }

 private:
  TAVTarget FTarget = TAVTarget::pal;
};

class TAVVcdProfile : public TAVTargetProfile {
 public:
  TAVVcdProfile();
  const char* ClassName() const override { return "TAVVcdProfile"; }

 protected:
  bool DoApplyProfile(TAVConvertOptions& O) const override;
};

class TAVSVcdProfile : public TAVTargetProfile {
 public:
  TAVSVcdProfile();
  const char* ClassName() const override { return "TAVSVcdProfile"; }

 protected:
  bool DoApplyProfile(TAVConvertOptions& O) const override;
};

class TAVDvdProfile : public TAVTargetProfile {
 public:
  TAVDvdProfile();
  const char* ClassName() const override { return "TAVDvdProfile"; }

 protected:
  bool DoApplyProfile(TAVConvertOptions& O) const override;
};

class TAVDvProfile : public TAVTargetProfile {
 public:
  TAVDvProfile();
  const char* ClassName() const override { return "TAVDvProfile"; }

 protected:
  bool DoApplyProfile(TAVConvertOptions& O) const override;
};

class TAVDv50Profile : public TAVTargetProfile {
 public:
  TAVDv50Profile();
  const char* ClassName() const override { return "TAVDv50Profile"; }

 protected:
  bool DoApplyProfile(TAVConvertOptions& O) const override;
};

// Special profiles -------------------------------------------------------------------

class TAVImageProfile : public TAVProfile {
 public:
  TAVImageProfile();
  const char* ClassName() const override { return "TAVImageProfile"; }

  // Descriptive only: the image format follows from the target's extension.
  TAVImageType ImageType() const { return FImageType; }
  void SetImageType(TAVImageType value) { FImageType = value; }

 protected:
  bool DoApplyProfile(TAVConvertOptions& O) const override;

 private:
  TAVImageType FImageType = TAVImageType::bitmap;
};

// Changing the container only: every video, audio and subtitle stream of
// the source is copied into `Format` ("mp4", "matroska"); a stream the
// container cannot hold fails the conversion with a message naming it.
class TAVRemuxProfile : public TAVProfile {
 public:
  TAVRemuxProfile() = default;
  const char* ClassName() const override { return "TAVRemuxProfile"; }

  // The muxer's name.
  const std::string& Format() const { return FFormat; }
  void SetFormat(const std::string& value) { FFormat = value; }

 protected:
  bool DoApplyProfile(TAVConvertOptions& O) const override;

 private:
  std::string FFormat;
};

class TAVX264Profile : public TAVProfile {
 public:
  TAVX264Profile();
  const char* ClassName() const override { return "TAVX264Profile"; }

  TPreset preset() const { return Fpreset; }
  void Setpreset(TPreset value) { Fpreset = value; }

 protected:
  bool DoApplyProfile(TAVConvertOptions& O) const override;

 private:
  TPreset Fpreset = TPreset::basic;
};

// TAVProfileList ---------------------------------------------------------------------

class TAVProfileList {
 public:
  TAVProfileList() = default;
  // Destroys the remaining profiles one by one from the last.
  ~TAVProfileList();
  TAVProfileList(const TAVProfileList&) = delete;
  TAVProfileList& operator=(const TAVProfileList&) = delete;

  // Appends `profile` and takes it over; returns it.
  TAVProfile* AddProfile(std::unique_ptr<TAVProfile> profile);
  template <class T>
  T* Add(std::unique_ptr<T> profile) {
    T* raw = profile.get();
    AddProfile(std::move(profile));
    return raw;
  }
  // Takes `profile` out of the list and hands it back (destroying it unless
  // the caller keeps it); nullptr when it is not in this list.
  std::unique_ptr<TAVProfile> RemoveProfile(TAVProfile* profile);
  // Removes and destroys every parametric profile (audio and video), walking
  // from the last; disc-standard, image and H.264 preset profiles stay.
  void Clear();

  int ProfileCount() const { return static_cast<int>(FProfiles.size()); }
  TAVProfile* Profiles(int index) const;
  int IndexOf(const TAVProfile* profile) const;

  // The ordered category captions shown to the user.
  const TStrings& Categories() const { return FCategories; }
  void SetCategories(const TStrings& value) { FCategories = value; }

  // The profiles listed under `caption` (Category equal ignoring letter
  // case), in list order: what the new-conversion wizard offers.
  std::vector<TAVProfile*> ProfilesOfCategory(std::string_view caption) const;
  // The first profile whose Description is exactly `description`.
  TAVProfile* FindProfile(std::string_view description) const;
  // The profile of `handle` (TAVProfile::Handle); nullptr once it has left
  // the list (deleted in the profile editor, say).
  TAVProfile* FindHandle(uint64_t handle) const;

 private:
  friend class TAVProfile;
  void MoveProfile(int from, int to);

  std::vector<std::unique_ptr<TAVProfile>> FProfiles;
  TStrings FCategories;
  uint64_t FLastHandle = 0;
};

}  // namespace veltrano
