// The profile base, the parametric profiles, the enumerations and the list.
// The fixed recipes (disc standards, images, x264 presets) are in
// AVProfileRecipes.cpp, the profiles' keys in the store in AVProfileIni.cpp.
#include "converter/AVProfile.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "converter/AVConverter.h"
#include "converter/AVError.h"
#include "converter/NumberText.h"
#include "converter/TextLists.h"

namespace veltrano {
namespace {

template <class E>
std::optional<size_t> OrdinalIn(E value, size_t count) {
  const auto ordinal = static_cast<int64_t>(value);
  if (ordinal < 0 || static_cast<size_t>(ordinal) >= count) return std::nullopt;
  return static_cast<size_t>(ordinal);
}

template <class E>
std::string EnumName(E value, const std::vector<std::string>& names) {
  const std::optional<size_t> ordinal = OrdinalIn(value, names.size());
  return ordinal ? names[*ordinal] : std::to_string(static_cast<int64_t>(value));
}

// kbit/s to bit/s in the 32-bit range of the options (halves round to even).
int32_t KilobitsToBits(double kbits) {
  const double bits = std::nearbyint(kbits * 1000.0);
  if (!(bits > std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (bits > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(bits);
}

int32_t KilobitsToBits(int32_t kbits) {
  const int64_t bits = static_cast<int64_t>(kbits) * 1000;
  return static_cast<int32_t>(std::clamp<int64_t>(bits, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

const std::vector<TFrameDimensions>& FrameSizeTable() {
  static const std::vector<TFrameDimensions> table{
      {0, 0},       {720, 480},   {720, 576},   {352, 240},   {240, 240},   {368, 208},
      {768, 576},   {720, 406},   {480, 320},   {128, 96},    {176, 144},   {352, 288},
      {704, 576},   {1408, 1152}, {160, 120},   {320, 240},   {640, 480},   {800, 600},
      {1024, 768},  {1600, 1200}, {2048, 1536}, {1280, 1024}, {2560, 2048}, {5120, 4096},
      {852, 480},   {1366, 768},  {1600, 1024}, {1920, 1200}, {2560, 1600}, {3200, 2048},
      {3840, 2400}, {6400, 4096}, {7680, 4800}, {320, 200},   {640, 350},   {852, 480},
      {1280, 720},  {1920, 1080}, {1440, 1080},
  };
  return table;
}

}  // namespace

// Enumerations ---------------------------------------------------------------------

const std::vector<std::string>& AudioEncoderNames() {
  static const std::vector<std::string> names{"AAC", "WMAV2",  "AC3",  "MP2",  "MP3",  "PCM_S16LE",
                                              "RA1", "AMR_NB", "OPUS", "FLAC", "ALAC", "EAC3"};
  return names;
}

const std::vector<std::string>& VideoEncoderNames() {
  static const std::vector<std::string> names{"H263",       "H264",     "MPEG4", "WMV2",
                                              "MPEG2VIDEO", "MSMPEGV3", "RV20",  "XVID",
                                              "FLV",        "H265",     "VP9",   "AV1"};
  return names;
}

const std::vector<std::string>& AudioChannelNames() {
  static const std::vector<std::string> names{"mono1", "stereo2", "chOriginal"};
  return names;
}

const std::vector<std::string>& AVFormatNames() {
  static const std::vector<std::string> names{
      "F_NONE", "F_RM",   "F_MP4",  "F_ASF", "F_AVI", "F_3GP", "F_3GP2", "F_FLV", "F_MOV",
      "F_PSP",  "F_IPOD", "F_SVCD", "F_VCD", "F_VOB", "F_DVD", "F_WEBM", "F_AC3"};
  return names;
}

const std::vector<std::string>& FrameRateLabels() {
  static const std::vector<std::string> labels{"Original", "14.99", "20",    "23.97",
                                               "24",       "25",    "29.97", "30"};
  return labels;
}

const std::vector<std::string>& TargetNames() {
  static const std::vector<std::string> names{"pal", "ntsc", "film"};
  return names;
}

const std::vector<std::string>& ImageTypeNames() {
  static const std::vector<std::string> names{"bitmap", "jpeg", "png", "gif", "tiff"};
  return names;
}

const std::vector<std::string>& PresetNames() {
  static const std::vector<std::string> names{
      "basic",        "FastFirstPass",  "SlowFirstPass", "Common",         "HighQuality", "Best",
      "LosslessFast", "LosslessMedium", "LosslessSlow",  "LosslessSlower", "LosslessMax"};
  return names;
}

std::optional<std::string> AudioCodecName(TCustomAudioEncoder encoder) {
  static const std::vector<std::string> codecs{
      "libfaac",           "wmav2",   "ac3",  "mp2",  "libmp3lame", "pcm_s16le", "real_144",
      "libopencore_amrnb", "libopus", "flac", "alac", "eac3"};
  const std::optional<size_t> ordinal = OrdinalIn(encoder, codecs.size());
  if (!ordinal) return std::nullopt;
  return codecs[*ordinal];
}

std::optional<std::string> VideoCodecName(TCustomVideoEncoder encoder) {
  static const std::vector<std::string> codecs{"h263",       "libx264", "mpeg4",      "wmv2",
                                               "mpeg2video", "msmpeg4", "rv20",       "libxvid",
                                               "flv",        "libx265", "libvpx-vp9", "libsvtav1"};
  const std::optional<size_t> ordinal = OrdinalIn(encoder, codecs.size());
  if (!ordinal) return std::nullopt;
  return codecs[*ordinal];
}

std::optional<std::string> OutputFormatName(TCustomAVFormat format) {
  static const std::vector<std::string> formats{"",    "rm",  "mp4", "asf",  "avi",  "3gp",
                                                "3g2", "flv", "mov", "psp",  "ipod", "svcd",
                                                "vcd", "vob", "dvd", "webm", "ac3"};
  const std::optional<size_t> ordinal = OrdinalIn(format, formats.size());
  if (!ordinal) return std::nullopt;
  return formats[*ordinal];
}

std::optional<TRational> CustomFrameRateValue(TCustomFrameRate rate) {
  switch (rate) {
    case TCustomFrameRate::r1499:
      return TRational(15000, 1001);
    case TCustomFrameRate::r20:
      return TRational(20, 1);
    case TCustomFrameRate::r2397:
      return TRational(24000, 1001);
    case TCustomFrameRate::r24:
      return TRational(24, 1);
    case TCustomFrameRate::r25:
      return TRational(25, 1);
    case TCustomFrameRate::r2997:
      return TRational(30000, 1001);
    case TCustomFrameRate::r30:
      return TRational(30, 1);
    default:
      return std::nullopt;
  }
}

TRational TargetFrameRate(TAVTarget target) {
  switch (target) {
    case TAVTarget::ntsc:
      return TRational(30000, 1001);
    case TAVTarget::film:
      return TRational(24000, 1001);
    default:
      return TRational(25, 1);
  }
}

TFrameDimensions FrameSizeDimensions(TAVFrameSize size) {
  const std::optional<size_t> ordinal = OrdinalIn(size, FrameSizeTable().size());
  return ordinal ? FrameSizeTable()[*ordinal] : TFrameDimensions{};
}

TAVFrameSize FrameSizeOf(int32_t width, int32_t height) {
  const std::vector<TFrameDimensions>& table = FrameSizeTable();
  for (size_t i = 0; i < table.size(); ++i) {
    if (table[i].width == width && table[i].height == height) {
      return static_cast<TAVFrameSize>(i);
    }
  }
  return TAVFrameSize::fsOriginal;
}

std::string ProfileKey(const char* name, int index) {
  return std::string(name) + std::to_string(index);
}

// TAVProfile -------------------------------------------------------------------------

TAVProfile::~TAVProfile() {
  // Only the owning list destroys a profile it holds, and it lets go first;
  // anything else would leave the list with a dangling entry.
  VEL_ASSERT(FProfileList == nullptr);
}

int TAVProfile::Index() const {
  return FProfileList == nullptr ? -1 : FProfileList->IndexOf(this);
}

void TAVProfile::SetIndex(int value) {
  if (FProfileList == nullptr) return;
  const int count = FProfileList->ProfileCount();
  const int target = std::clamp(value, 0, count - 1);
  const int current = Index();
  if (target != current) FProfileList->MoveProfile(current, target);
}

bool TAVProfile::ApplyProfile(TAVConverter& AVConverter) const {
  return DoApplyProfile(AVConverter.ConvertOptions());
}

// TAVCustomAudioProfile --------------------------------------------------------------

std::string TAVCustomAudioProfile::AudioEncoderName() const {
  return EnumName(FAudioEncoder, AudioEncoderNames());
}

void TAVCustomAudioProfile::ApplyAudioSettings(TAVConvertOptions& O) const {
  O.VideoOptions().SetVideoDisable(true);
  O.SubtitleOptions().SetSubtitleDisable(!FKeepAllTracks);
  // Set only by profiles that ask for them, so that older profiles leave
  // these options as they found them.
  if (!FDevice.empty()) {
    O.SetDevice(FDevice);
    O.SetCopyFittingStreams(true);
  }
  if (FKeepAllTracks) O.SetKeepAllTracks(true);
  TAudioOptions& audio = O.AudioOptions();
  if (audio.AudioStreamCopy()) return;

  const std::optional<std::string> codec = AudioCodecName(FAudioEncoder);
  if (!codec) throw EAVError("Internal error: unknown audio encoder " + AudioEncoderName());
  audio.SetEncoderAudioCodecName(*codec);
  if (FFormat != TCustomAVFormat::F_NONE) {
    const std::optional<std::string> format = OutputFormatName(FFormat);
    if (!format) {
      throw EAVError("Internal error: unknown output format " +
                     std::to_string(static_cast<int32_t>(FFormat)));
    }
    O.SetOutputFormat(*format);
  }
  audio.SetBitrate(KilobitsToBits(FAudioBitrate));
  audio.SetAudioSampleRate(FSampleRate);
  if (FAudioQuality >= 0) audio.SetAudioQScale(static_cast<float>(FAudioQuality));
  if (FAudioChannels == TCustomAudioChannels::mono1) {
    audio.SetAudioChannels(1);
  } else if (FAudioChannels == TCustomAudioChannels::stereo2) {
    audio.SetAudioChannels(2);
  }
  ApplyOptionLines(O);
}

void TAVCustomAudioProfile::ApplyOptionLines(TAVConvertOptions& O) const {
  for (const std::string& line : FOptions) {
    const auto [name, value] = SplitNameValue(line);
    O.SetAdvancedOption(name, value);
  }
}

bool TAVCustomAudioProfile::DoApplyProfile(TAVConvertOptions& O) const {
  ApplyAudioSettings(O);
  return true;
}

// TAVCustomVideoProfile --------------------------------------------------------------

std::string TAVCustomVideoProfile::VideoEncoderName() const {
  return EnumName(FVideoEncoder, VideoEncoderNames());
}

double TAVCustomVideoProfile::VideoFrameRate() const {
  const std::optional<size_t> ordinal = OrdinalIn(FFrameRate, FrameRateLabels().size());
  if (!ordinal || *ordinal == 0) return 0.0;
  return TextToFloat(FrameRateLabels()[*ordinal]).value_or(0.0);
}

void TAVCustomVideoProfile::ApplyX264Defaults(TAVConvertOptions& O) {
  TAVX264Profile defaults;
  defaults.Setpreset(TPreset::basic);
  defaults.ApplyProfile(O);
  O.SetAdvancedOption("mbd", "rd");
  O.SetAdvancedOption("level", "41");
}

bool TAVCustomVideoProfile::DoApplyProfile(TAVConvertOptions& O) const {
  ApplyAudioSettings(O);
  TVideoOptions& video = O.VideoOptions();
  video.SetVideoDisable(false);

  const std::optional<std::string> codec = VideoCodecName(FVideoEncoder);
  if (!codec) throw EAVError("Internal error: unknown video encoder " + VideoEncoderName());
  video.SetEncoderVideoCodecName(*codec);
  switch (FVideoEncoder) {
    case TCustomVideoEncoder::H263:
    case TCustomVideoEncoder::WMV2:
    case TCustomVideoEncoder::RV20:
    case TCustomVideoEncoder::FLV:
      O.SetThreadCount(1);
      break;
    case TCustomVideoEncoder::H264:
      ApplyX264Defaults(O);
      break;
    default:
      ApplyEncoderDefaults(FVideoEncoder, O);
      break;
  }
  // A device profile's own lines win over the encoder's defaults (its level
  // would otherwise be overwritten); older profiles keep the defaults' values.
  if (!Device().empty() && !O.AudioOptions().AudioStreamCopy()) ApplyOptionLines(O);

  if (FFrameWidth > 0) video.SetFrameWidth(FFrameWidth);
  if (FFrameHeight > 0) video.SetFrameHeight(FFrameHeight);
  video.SetBitrate(KilobitsToBits(FVideoBitrate));
  if (FFrameAspectRatio == TAVAspectRatio::AR4_3) video.SetFrameAspectRatio(4.0f / 3.0f);
  video.SetPass(FPass);
  // The chosen rate is marked as the caller's own so that it reaches the
  // output; "Original" (or an unknown ordinal) keeps the source's rate.
  const std::optional<TRational> rate = CustomFrameRateValue(FFrameRate);
  if (rate) video.SetFrameRate(*rate);
  video.SetCustomFrameRate(rate.has_value());
  if (FVideoQuality > 0) video.SetVideoQuality(static_cast<float>(FVideoQuality));
  if (FMaxFrameWidth > 0) video.SetMaxFrameWidth(FMaxFrameWidth);
  if (FMaxFrameHeight > 0) video.SetMaxFrameHeight(FMaxFrameHeight);
  if (FMaxFrameRate > 0) video.SetMaxFrameRate(FMaxFrameRate);
  return true;
}

void TAVCustomVideoProfile::ApplyEncoderDefaults(TCustomVideoEncoder encoder,
                                                 TAVConvertOptions& O) {
  switch (encoder) {
    case TCustomVideoEncoder::H265:
      O.SetAdvancedOption("preset", "medium");
      break;
    case TCustomVideoEncoder::VP9:
      // Good quality at a speed a desktop bears (about a tenth of the slowest
      // setting's time), on every core.
      O.SetAdvancedOption("deadline", "good");
      O.SetAdvancedOption("cpu-used", "4");
      O.SetAdvancedOption("row-mt", "1");
      break;
    case TCustomVideoEncoder::AV1:
      O.SetAdvancedOption("preset", "8");
      break;
    default:
      break;
  }
}

// TAVProfileList ---------------------------------------------------------------------

TAVProfileList::~TAVProfileList() {
  FCategories.clear();
  while (!FProfiles.empty()) {
    std::unique_ptr<TAVProfile> last = std::move(FProfiles.back());
    FProfiles.pop_back();
    last->FProfileList = nullptr;
  }
}

TAVProfile* TAVProfileList::AddProfile(std::unique_ptr<TAVProfile> profile) {
  VEL_ASSERT(profile != nullptr && profile->FProfileList == nullptr);
  profile->FProfileList = this;
  profile->FHandle = ++FLastHandle;
  FProfiles.push_back(std::move(profile));
  return FProfiles.back().get();
}

std::unique_ptr<TAVProfile> TAVProfileList::RemoveProfile(TAVProfile* profile) {
  const int index = IndexOf(profile);
  if (index < 0) return nullptr;
  std::unique_ptr<TAVProfile> owned = std::move(FProfiles[index]);
  FProfiles.erase(FProfiles.begin() + index);
  owned->FProfileList = nullptr;
  owned->FHandle = 0;
  return owned;
}

void TAVProfileList::Clear() {
  for (int i = ProfileCount() - 1; i >= 0; --i) {
    if (dynamic_cast<TAVCustomAudioProfile*>(FProfiles[i].get()) != nullptr) {
      RemoveProfile(FProfiles[i].get());
    }
  }
}

TAVProfile* TAVProfileList::Profiles(int index) const {
  VEL_ASSERT(index >= 0 && index < ProfileCount());
  return FProfiles[index].get();
}

int TAVProfileList::IndexOf(const TAVProfile* profile) const {
  for (size_t i = 0; i < FProfiles.size(); ++i) {
    if (FProfiles[i].get() == profile) return static_cast<int>(i);
  }
  return -1;
}

std::vector<TAVProfile*> TAVProfileList::ProfilesOfCategory(std::string_view caption) const {
  std::vector<TAVProfile*> result;
  for (const auto& profile : FProfiles) {
    if (SameTextIgnoringCase(profile->Category(), caption)) result.push_back(profile.get());
  }
  return result;
}

TAVProfile* TAVProfileList::FindProfile(std::string_view description) const {
  for (const auto& profile : FProfiles) {
    if (profile->Description() == description) return profile.get();
  }
  return nullptr;
}

TAVProfile* TAVProfileList::FindHandle(uint64_t handle) const {
  if (handle == 0) return nullptr;
  for (const auto& profile : FProfiles) {
    if (profile->FHandle == handle) return profile.get();
  }
  return nullptr;
}

void TAVProfileList::MoveProfile(int from, int to) {
  std::unique_ptr<TAVProfile> moving = std::move(FProfiles[from]);
  FProfiles.erase(FProfiles.begin() + from);
  FProfiles.insert(FProfiles.begin() + to, std::move(moving));
}

}  // namespace veltrano
