#include "converter/AVOptions.h"

#include <charconv>
#include <cstdio>

#include "converter/MessageBoxes.h"

namespace veltrano {

const std::vector<std::string>& AudioSampleFormatNames() {
  static const std::vector<std::string> names{"sfAuto", "sfU8", "sfS16", "sfS32", "sfFLT", "sfDBL"};
  return names;
}

int LibrarySampleFormat(TAVAudioSampleFormat format) {
  return static_cast<int>(format) - 1;
}

std::pair<std::string, std::string> SplitNameValue(const std::string& line) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return {line, std::string()};
  return {line.substr(0, eq), line.substr(eq + 1)};
}

// TRational -------------------------------------------------------------------

const TPropList& TRational::Properties() const {
  using C = TRational;
  static const TPropList list{
      MakeProperty<C>("num", TPropKind::Integer, &C::num, &C::Setnum, 25),
      MakeProperty<C>("den", TPropKind::Integer, &C::den, &C::Setden, 1),
  };
  return list;
}

// TAudioOptions ---------------------------------------------------------------

void TAudioOptions::SetAudioSampleFmt(TAVAudioSampleFormat value) {
  if (value != sfAuto) FAudioSampleFmt = value;
}

const TPropList& TAudioOptions::Properties() const {
  using C = TAudioOptions;
  using K = TPropKind;
  static const TPropList list{
      MakeProperty<C>("AudioChannels", K::Integer, &C::AudioChannels, &C::SetAudioChannels),
      MakeProperty<C>("AudioSampleRate", K::Integer, &C::AudioSampleRate, &C::SetAudioSampleRate),
      MakeProperty<C>("AudioVolume", K::Integer, &C::AudioVolume, &C::SetAudioVolume),
      MakeProperty<C>("AudioSyncMethod", K::Integer, &C::AudioSyncMethod, &C::SetAudioSyncMethod),
      MakeProperty<C>("AudioDisable", K::Boolean, &C::AudioDisable, &C::SetAudioDisable),
      MakeProperty<C>("AudioSampleFmt", K::Enumeration, &C::AudioSampleFmt, &C::SetAudioSampleFmt,
                      std::nullopt, AudioSampleFormatNames()),
      MakeProperty<C>("AudioStreamCopy", K::Boolean, &C::AudioStreamCopy, &C::SetAudioStreamCopy),
      MakeProperty<C>("EncoderAudioCodecName", K::String, &C::EncoderAudioCodecName,
                      &C::SetEncoderAudioCodecName),
      MakeProperty<C>("DecoderAudioCodecName", K::String, &C::DecoderAudioCodecName,
                      &C::SetDecoderAudioCodecName),
      MakeProperty<C>("AudioCodecTag", K::Integer, &C::AudioCodecTag, &C::SetAudioCodecTag),
      MakeProperty<C>("AudioLanguage", K::String, &C::AudioLanguage, &C::SetAudioLanguage),
      MakeProperty<C>("AudioQScale", K::Single, &C::AudioQScale, &C::SetAudioQScale),
      MakeProperty<C>("AudioDriftThreshold", K::Single, &C::AudioDriftThreshold,
                      &C::SetAudioDriftThreshold),
      MakeProperty<C>("Bitrate", K::Integer, &C::Bitrate, &C::SetBitrate),
      MakeProperty<C>("MaxFrames", K::Integer, &C::MaxFrames, &C::SetMaxFrames, MaxInt),
  };
  return list;
}

// TVideoOptions ---------------------------------------------------------------

void TVideoOptions::SetBand(int32_t& band, int32_t value, const char* message) {
  if (value < 0) {
    ShowErrorBox(message);
    return;
  }
  band = value;
}

void TVideoOptions::SetFrameTopBand(int32_t value) {
  SetBand(FFrameTopBand, value, "Incorrect top crop size");
}
void TVideoOptions::SetFrameBottomBand(int32_t value) {
  SetBand(FFrameBottomBand, value, "Incorrect bottom crop size");
}
void TVideoOptions::SetFrameLeftBand(int32_t value) {
  SetBand(FFrameLeftBand, value, "Incorrect left crop size");
}
void TVideoOptions::SetFrameRightBand(int32_t value) {
  SetBand(FFrameRightBand, value, "Incorrect right crop size");
}

void TVideoOptions::SetPass(int32_t value) {
  if (value < 0 || value > 2) {
    ShowErrorBox("pass number can be only 0, 1 or 2");
    return;
  }
  FPass = value;
}

namespace {

// A matrix line is an integer written without a decimal point, nothing else.
bool ParseMatrixElement(const std::string& line, long long& value) {
  if (line.empty() || line.find('.') != std::string::npos) return false;
  const char* begin = line.data();
  const char* end = begin + line.size();
  if (*begin == '+') ++begin;
  auto [ptr, ec] = std::from_chars(begin, end, value);
  return ec == std::errc() && ptr == end;
}

}  // namespace

void TVideoOptions::SetMatrix(TStrings& lines, TQuantMatrix& matrix, const TStrings& value) {
  if (value.empty()) {
    lines.clear();
    return;
  }
  if (value.size() != matrix.size()) {
    ShowErrorBox("matrix element count should be equal 64");
    return;
  }
  for (size_t i = 0; i < value.size(); ++i) {
    long long element = 0;
    if (!ParseMatrixElement(value[i], element)) {
      ShowErrorBox("Invalid matrix element");
      return;
    }
    matrix[i] = static_cast<uint16_t>(element & 0xFFFF);
  }
  lines = value;
}

void TVideoOptions::SetIntraMatrix(const TStrings& value) {
  SetMatrix(FIntraMatrix, FIntra_Matrix, value);
}
void TVideoOptions::SetInterMatrix(const TStrings& value) {
  SetMatrix(FInterMatrix, FInter_Matrix, value);
}

const TPropList& TVideoOptions::Properties() const {
  using C = TVideoOptions;
  using K = TPropKind;
  static const TPropList list{
      MakeProperty<C>("FrameLeftBand", K::Integer, &C::FrameLeftBand, &C::SetFrameLeftBand),
      MakeProperty<C>("FrameRightBand", K::Integer, &C::FrameRightBand, &C::SetFrameRightBand),
      MakeProperty<C>("FrameTopBand", K::Integer, &C::FrameTopBand, &C::SetFrameTopBand),
      MakeProperty<C>("FrameBottomBand", K::Integer, &C::FrameBottomBand, &C::SetFrameBottomBand),
      MakeProperty<C>("FrameWidth", K::Integer, &C::FrameWidth, &C::SetFrameWidth),
      MakeProperty<C>("FrameHeight", K::Integer, &C::FrameHeight, &C::SetFrameHeight),
      MakeProperty<C>("EncoderVideoCodecName", K::String, &C::EncoderVideoCodecName,
                      &C::SetEncoderVideoCodecName),
      MakeProperty<C>("DecoderVideoCodecName", K::String, &C::DecoderVideoCodecName,
                      &C::SetDecoderVideoCodecName),
      MakeProperty<C>("VideoDisable", K::Boolean, &C::VideoDisable, &C::SetVideoDisable),
      MakeProperty<C>("VideoStreamCopy", K::Boolean, &C::VideoStreamCopy, &C::SetVideoStreamCopy),
      MakeProperty<C>("VideoCodecTag", K::Integer, &C::VideoCodecTag, &C::SetVideoCodecTag),
      MakeProperty<C>("VideoLanguage", K::String, &C::VideoLanguage, &C::SetVideoLanguage),
      MakeProperty<C>("VideoGlobalHeader", K::Integer, &C::VideoGlobalHeader,
                      &C::SetVideoGlobalHeader),
      MakeProperty<C>("IntraOnly", K::Boolean, &C::IntraOnly, &C::SetIntraOnly),
      MakeProperty<C>("VideoQscale", K::Single, &C::VideoQscale, &C::SetVideoQscale),
      MakeProperty<C>("SameQuality", K::Boolean, &C::SameQuality, &C::SetSameQuality),
      MakeProperty<C>("VideoRcOverrideString", K::String, &C::VideoRcOverrideString,
                      &C::SetVideoRcOverrideString),
      MakeProperty<C>("IntraDcPrecision", K::Integer, &C::IntraDcPrecision, &C::SetIntraDcPrecision,
                      8),
      MakeProperty<C>("VideoSyncMethod", K::Integer, &C::VideoSyncMethod, &C::SetVideoSyncMethod),
      MakeProperty<C>("TopFieldFirst", K::Integer, &C::TopFieldFirst, &C::SetTopFieldFirst),
      MakeProperty<C>("ForceFPS", K::Boolean, &C::ForceFPS, &C::SetForceFPS),
      MakeProperty<C>("IntraMatrix", K::StringList, &C::IntraMatrix, &C::SetIntraMatrix),
      MakeProperty<C>("InterMatrix", K::StringList, &C::InterMatrix, &C::SetInterMatrix),
      MakeObjectProperty<C, TRational>("FrameRate", &C::FrameRate),
      MakeProperty<C>("FrameAspectRatio", K::Single, &C::FrameAspectRatio, &C::SetFrameAspectRatio),
      MakeProperty<C>("MeThreshold", K::Integer, &C::MeThreshold, &C::SetMeThreshold),
      MakeProperty<C>("Deinterlace", K::Boolean, &C::Deinterlace, &C::SetDeinterlace),
      MakeProperty<C>("Pass", K::Integer, &C::Pass, &C::SetPass),
      MakeProperty<C>("MaxFrames", K::Integer, &C::MaxFrames, &C::SetMaxFrames),
      MakeProperty<C>("Bitrate", K::Integer, &C::Bitrate, &C::SetBitrate),
      MakeProperty<C>("CustomFrameRate", K::Boolean, &C::CustomFrameRate, &C::SetCustomFrameRate,
                      0),
      MakeProperty<C>("MaxFrameWidth", K::Integer, &C::MaxFrameWidth, &C::SetMaxFrameWidth, 0),
      MakeProperty<C>("MaxFrameHeight", K::Integer, &C::MaxFrameHeight, &C::SetMaxFrameHeight, 0),
      MakeProperty<C>("MaxFrameRate", K::Integer, &C::MaxFrameRate, &C::SetMaxFrameRate, 0),
      MakeProperty<C>("VideoQuality", K::Single, &C::VideoQuality, &C::SetVideoQuality),
      Unstored(MakeProperty<C>("VideoDiscard", K::Integer, &C::VideoDiscard, &C::SetVideoDiscard)),
      Unstored(
          MakeProperty<C>("FramePixFormat", K::Integer, &C::FramePixFormat, &C::SetFramePixFormat)),
  };
  return list;
}

// TSubtitleOptions, TMuxerOptions, TGrabOptions, TFilterOptions ---------------

const TPropList& TSubtitleOptions::Properties() const {
  using C = TSubtitleOptions;
  using K = TPropKind;
  static const TPropList list{
      MakeProperty<C>("SubtitleLanguage", K::String, &C::SubtitleLanguage,
                      &C::SetSubtitleLanguage),
      MakeProperty<C>("SubtitleCodecName", K::String, &C::SubtitleCodecName,
                      &C::SetSubtitleCodecName),
      MakeProperty<C>("SubtitleDisable", K::Boolean, &C::SubtitleDisable, &C::SetSubtitleDisable),
      MakeProperty<C>("SubtitleStreamCopy", K::Boolean, &C::SubtitleStreamCopy,
                      &C::SetSubtitleStreamCopy),
      MakeProperty<C>("SubtitleCodecTag", K::Integer, &C::SubtitleCodecTag,
                      &C::SetSubtitleCodecTag),
  };
  return list;
}

const TPropList& TMuxerOptions::Properties() const {
  using C = TMuxerOptions;
  using K = TPropKind;
  static const TPropList list{
      MakeProperty<C>("MuxPreload", K::Single, &C::MuxPreload, &C::SetMuxPreload),
      MakeProperty<C>("MuxMaxDelay", K::Single, &C::MuxMaxDelay, &C::SetMuxMaxDelay),
      MakeProperty<C>("AudioBitstreamFilters", K::StringList, &C::AudioBitstreamFilters,
                      &C::SetAudioBitstreamFilters),
      MakeProperty<C>("SubtitleBitstreamFilters", K::StringList, &C::SubtitleBitstreamFilters,
                      &C::SetSubtitleBitstreamFilters),
      MakeProperty<C>("VideoBitstreamFilters", K::StringList, &C::VideoBitstreamFilters,
                      &C::SetVideoBitstreamFilters),
  };
  return list;
}

const TPropList& TGrabOptions::Properties() const {
  using C = TGrabOptions;
  using K = TPropKind;
  static const TPropList list{
      MakeProperty<C>("VideoChannel", K::Integer, &C::VideoChannel, &C::SetVideoChannel),
      MakeProperty<C>("VideoStandard", K::String, &C::VideoStandard, &C::SetVideoStandard),
      MakeProperty<C>("InputSync", K::Boolean, &C::InputSync, &C::SetInputSync),
  };
  return list;
}

const TPropList& TFilterOptions::Properties() const {
  using C = TFilterOptions;
  static const TPropList list{
      MakeProperty<C>("VideoFilters", TPropKind::String, &C::VideoFilters, &C::SetVideoFilters),
  };
  return list;
}

// TAVConvertOptions -----------------------------------------------------------

void TAVConvertOptions::SetAdvancedOption(const std::string& key, const std::string& value) {
  for (auto it = FCodecOptions.begin(); it != FCodecOptions.end(); ++it) {
    if (!SameTextIgnoringCase(SplitNameValue(*it).first, key)) continue;
    if (value.empty()) {
      FCodecOptions.erase(it);
    } else {
      *it = SplitNameValue(*it).first + "=" + value;
    }
    return;
  }
  FCodecOptions.push_back(key + "=" + value);
}

const TPropList& TAVConvertOptions::Properties() const {
  using C = TAVConvertOptions;
  using K = TPropKind;
  static const TPropList list{
      MakeObjectProperty<C, TAudioOptions>("AudioOptions", &C::AudioOptions),
      MakeObjectProperty<C, TSubtitleOptions>("SubtitleOptions", &C::SubtitleOptions),
      MakeObjectProperty<C, TVideoOptions>("VideoOptions", &C::VideoOptions),
      MakeObjectProperty<C, TMuxerOptions>("MuxerOptions", &C::MuxerOptions),
      MakeObjectProperty<C, TGrabOptions>("GrabOptions", &C::GrabOptions),
      MakeObjectProperty<C, TFilterOptions>("FilterOptions", &C::FilterOptions),
      MakeProperty<C>("MetaData", K::StringList, &C::MetaData, &C::SetMetaData),
      MakeProperty<C>("CodecOptions", K::StringList, &C::CodecOptions, &C::SetCodecOptions),
      MakeProperty<C>("OutputFormat", K::String, &C::OutputFormat, &C::SetOutputFormat),
      MakeProperty<C>("InputFormat", K::String, &C::InputFormat, &C::SetInputFormat),
      MakeProperty<C>("StartTime", K::Int64, &C::StartTime, &C::SetStartTime),
      MakeProperty<C>("RecordingTime", K::Int64, &C::RecordingTime, &C::SetRecordingTime),
      MakeProperty<C>("ThreadCount", K::Integer, &C::ThreadCount, &C::SetThreadCount, 1),
      MakeProperty<C>("StreamMaps", K::StringList, &C::StreamMaps, &C::SetStreamMaps),
      MakeProperty<C>("Device", K::String, &C::Device, &C::SetDevice),
      MakeProperty<C>("CopyFittingStreams", K::Boolean, &C::CopyFittingStreams,
                      &C::SetCopyFittingStreams, 0),
      MakeProperty<C>("KeepAllTracks", K::Boolean, &C::KeepAllTracks, &C::SetKeepAllTracks, 0),
  };
  return list;
}

}  // namespace veltrano
