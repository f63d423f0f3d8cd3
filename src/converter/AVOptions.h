// The complete description of one conversion: TAVConvertOptions and its six
// owned sub-objects. Profiles fill them, the conversion settings store them,
// tasks copy them into their converter with Assign, and the engine only reads
// them: what a run learns of its sources (picture parameters, byte counters)
// stays in the converter's run state and figures.
//
// Setters never throw: a refused value is shown in the error box and the
// property keeps its previous value.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "converter/Persistent.h"

namespace veltrano {

inline constexpr int32_t MaxInt = std::numeric_limits<int32_t>::max();
inline constexpr int64_t MaxInt64 = std::numeric_limits<int64_t>::max();
inline constexpr float kNoAudioQScale = -99999.0f;

// Output sample format; anything but sfAuto is the library format numbered one less.
enum TAVAudioSampleFormat : uint8_t { sfAuto, sfU8, sfS16, sfS32, sfFLT, sfDBL };
const std::vector<std::string>& AudioSampleFormatNames();
// The library's sample format for `format`; -1 (none) for sfAuto.
int LibrarySampleFormat(TAVAudioSampleFormat format);

class TRational : public TPersistent {
 public:
  TRational() = default;
  TRational(int32_t num, int32_t den) : num_(num), den_(den) {}
  TRational(const TRational&) = default;
  TRational& operator=(const TRational&) = default;

  const char* ClassName() const override { return "TRational"; }
  const TPropList& Properties() const override;

  int32_t num() const { return num_; }
  int32_t den() const { return den_; }
  void Setnum(int32_t value) { num_ = value; }
  void Setden(int32_t value) { den_ = value; }

 private:
  int32_t num_ = 25;
  int32_t den_ = 1;
};

class TAudioOptions : public TPersistent {
 public:
  TAudioOptions() = default;
  const char* ClassName() const override { return "TAudioOptions"; }
  const TPropList& Properties() const override;

  int32_t AudioChannels() const { return FAudioChannels; }
  int32_t AudioVolume() const { return FAudioVolume; }
  int32_t AudioSampleRate() const { return FAudioSampleRate; }
  int32_t AudioSyncMethod() const { return FAudioSyncMethod; }
  bool AudioDisable() const { return FAudioDisable; }
  TAVAudioSampleFormat AudioSampleFmt() const { return FAudioSampleFmt; }
  bool AudioStreamCopy() const { return FAudioStreamCopy; }
  const std::string& EncoderAudioCodecName() const { return FEncoderAudioCodecName; }
  int32_t AudioCodecTag() const { return FAudioCodecTag; }
  const std::string& AudioLanguage() const { return FAudioLanguage; }
  float AudioQScale() const { return FAudioQScale; }
  float AudioDriftThreshold() const { return FAudioDriftThreshold; }
  int32_t Bitrate() const { return FBitrate; }
  int32_t MaxFrames() const { return FMaxFrames; }
  const std::string& DecoderAudioCodecName() const { return FDecoderAudioCodecName; }

  void SetAudioChannels(int32_t value) { FAudioChannels = value; }
  void SetAudioVolume(int32_t value) { FAudioVolume = value; }
  void SetAudioSampleRate(int32_t value) { FAudioSampleRate = value; }
  void SetAudioSyncMethod(int32_t value) { FAudioSyncMethod = value; }
  void SetAudioDisable(bool value) { FAudioDisable = value; }
  // sfAuto is ignored: the previous format stays.
  void SetAudioSampleFmt(TAVAudioSampleFormat value);
  void SetAudioStreamCopy(bool value) { FAudioStreamCopy = value; }
  void SetEncoderAudioCodecName(const std::string& value) { FEncoderAudioCodecName = value; }
  void SetAudioCodecTag(int32_t value) { FAudioCodecTag = value; }
  void SetAudioLanguage(const std::string& value) { FAudioLanguage = value; }
  void SetAudioQScale(float value) { FAudioQScale = value; }
  void SetAudioDriftThreshold(float value) { FAudioDriftThreshold = value; }
  void SetBitrate(int32_t value) { FBitrate = value; }
  void SetMaxFrames(int32_t value) { FMaxFrames = value; }
  void SetDecoderAudioCodecName(const std::string& value) { FDecoderAudioCodecName = value; }

 private:
  int32_t FAudioChannels = 0;
  int32_t FAudioVolume = 256;
  int32_t FAudioSampleRate = 0;
  int32_t FAudioSyncMethod = 0;
  bool FAudioDisable = false;
  TAVAudioSampleFormat FAudioSampleFmt = sfAuto;
  bool FAudioStreamCopy = false;
  std::string FEncoderAudioCodecName;
  int32_t FAudioCodecTag = 0;
  std::string FAudioLanguage;
  float FAudioQScale = kNoAudioQScale;
  float FAudioDriftThreshold = 0.1f;
  int32_t FBitrate = 0;
  int32_t FMaxFrames = MaxInt;
  std::string FDecoderAudioCodecName;
};

using TQuantMatrix = std::array<uint16_t, 64>;

class TVideoOptions : public TPersistent {
 public:
  TVideoOptions() = default;
  const char* ClassName() const override { return "TVideoOptions"; }
  const TPropList& Properties() const override;

  int32_t FrameLeftBand() const { return FFrameLeftBand; }
  int32_t FrameRightBand() const { return FFrameRightBand; }
  int32_t FrameTopBand() const { return FFrameTopBand; }
  int32_t FrameBottomBand() const { return FFrameBottomBand; }
  int32_t FrameWidth() const { return FFrameWidth; }
  int32_t FrameHeight() const { return FFrameHeight; }
  const std::string& EncoderVideoCodecName() const { return FEncoderVideoCodecName; }
  const std::string& DecoderVideoCodecName() const { return FDecoderVideoCodecName; }
  bool VideoDisable() const { return FVideoDisable; }
  int32_t VideoDiscard() const { return FVideoDiscard; }
  bool VideoStreamCopy() const { return FVideoStreamCopy; }
  int32_t VideoCodecTag() const { return FVideoCodecTag; }
  const std::string& VideoLanguage() const { return FVideoLanguage; }
  int32_t VideoGlobalHeader() const { return FVideoGlobalHeader; }
  bool IntraOnly() const { return FIntraOnly; }
  float VideoQscale() const { return FVideoQscale; }
  bool SameQuality() const { return FSameQuality; }
  const std::string& VideoRcOverrideString() const { return FVideoRcOverrideString; }
  int32_t IntraDcPrecision() const { return FIntraDcPrecision; }
  int32_t VideoSyncMethod() const { return FVideoSyncMethod; }
  int32_t TopFieldFirst() const { return FTopFieldFirst; }
  bool ForceFPS() const { return FForceFPS; }
  const TStrings& IntraMatrix() const { return FIntraMatrix; }
  const TStrings& InterMatrix() const { return FInterMatrix; }
  TRational& FrameRate() { return FFrameRate; }
  const TRational& FrameRate() const { return FFrameRate; }
  float FrameAspectRatio() const { return FFrameAspectRatio; }
  int32_t FramePixFormat() const { return FFramePixFormat; }
  int32_t MeThreshold() const { return FMeThreshold; }
  bool Deinterlace() const { return FDeinterlace; }
  int32_t Pass() const { return FPass; }
  int32_t MaxFrames() const { return FMaxFrames; }
  int32_t Bitrate() const { return FBitrate; }
  // True when FrameRate was chosen by the caller (a profile's rate): input
  // opening then keeps it instead of taking the source's rate.
  bool CustomFrameRate() const { return FCustomFrameRate; }
  // A box the picture must fit in when FrameWidth/FrameHeight leave the size
  // to the source (0: unbounded). The source's picture is scaled down, keeping
  // its aspect ratio, until it fits the box either way round (a portrait
  // picture fits the box turned); a smaller picture keeps its size.
  int32_t MaxFrameWidth() const { return FMaxFrameWidth; }
  int32_t MaxFrameHeight() const { return FMaxFrameHeight; }
  // The source's frame rate, but at most this many frames per second (0: no
  // limit). A rate chosen by the caller (CustomFrameRate) is kept as it is.
  int32_t MaxFrameRate() const { return FMaxFrameRate; }
  // Constant quality instead of a bit rate: the CRF/CQ value of encoders that
  // have one (x264, x265, VP9, AV1), else a fixed quantiser; 0: none.
  float VideoQuality() const { return FVideoQuality; }
  // The 16-bit matrices behind IntraMatrix/InterMatrix; meaningful only when
  // the list has lines.
  const TQuantMatrix& Intra_Matrix() const { return FIntra_Matrix; }
  const TQuantMatrix& Inter_Matrix() const { return FInter_Matrix; }

  // Crop bands refuse negative values.
  void SetFrameLeftBand(int32_t value);
  void SetFrameRightBand(int32_t value);
  void SetFrameTopBand(int32_t value);
  void SetFrameBottomBand(int32_t value);
  void SetFrameWidth(int32_t value) { FFrameWidth = value; }
  void SetFrameHeight(int32_t value) { FFrameHeight = value; }
  void SetEncoderVideoCodecName(const std::string& value) { FEncoderVideoCodecName = value; }
  void SetDecoderVideoCodecName(const std::string& value) { FDecoderVideoCodecName = value; }
  void SetVideoDisable(bool value) { FVideoDisable = value; }
  void SetVideoDiscard(int32_t value) { FVideoDiscard = value; }
  void SetVideoStreamCopy(bool value) { FVideoStreamCopy = value; }
  void SetVideoCodecTag(int32_t value) { FVideoCodecTag = value; }
  void SetVideoLanguage(const std::string& value) { FVideoLanguage = value; }
  void SetVideoGlobalHeader(int32_t value) { FVideoGlobalHeader = value; }
  void SetIntraOnly(bool value) { FIntraOnly = value; }
  void SetVideoQscale(float value) { FVideoQscale = value; }
  void SetSameQuality(bool value) { FSameQuality = value; }
  void SetVideoRcOverrideString(const std::string& value) { FVideoRcOverrideString = value; }
  void SetIntraDcPrecision(int32_t value) { FIntraDcPrecision = value; }
  void SetVideoSyncMethod(int32_t value) { FVideoSyncMethod = value; }
  void SetTopFieldFirst(int32_t value) { FTopFieldFirst = value; }
  void SetForceFPS(bool value) { FForceFPS = value; }
  // An empty list clears the matrix; otherwise 64 integer lines are required.
  void SetIntraMatrix(const TStrings& value);
  void SetInterMatrix(const TStrings& value);
  void SetFrameRate(const TRational& value) { FFrameRate.Assign(value); }
  void SetFrameAspectRatio(float value) { FFrameAspectRatio = value; }
  void SetFramePixFormat(int32_t value) { FFramePixFormat = value; }
  void SetMeThreshold(int32_t value) { FMeThreshold = value; }
  void SetDeinterlace(bool value) { FDeinterlace = value; }
  // Only 0, 1 and 2 are accepted.
  void SetPass(int32_t value);
  void SetMaxFrames(int32_t value) { FMaxFrames = value; }
  void SetBitrate(int32_t value) { FBitrate = value; }
  void SetCustomFrameRate(bool value) { FCustomFrameRate = value; }
  void SetMaxFrameWidth(int32_t value) { FMaxFrameWidth = value; }
  void SetMaxFrameHeight(int32_t value) { FMaxFrameHeight = value; }
  void SetMaxFrameRate(int32_t value) { FMaxFrameRate = value; }
  void SetVideoQuality(float value) { FVideoQuality = value; }

 private:
  void SetBand(int32_t& band, int32_t value, const char* message);
  static void SetMatrix(TStrings& lines, TQuantMatrix& matrix, const TStrings& value);

  int32_t FFrameRightBand = 0;
  int32_t FFrameBottomBand = 0;
  int32_t FFrameTopBand = 0;
  int32_t FFrameLeftBand = 0;
  int32_t FFrameWidth = 0;
  int32_t FFrameHeight = 0;
  std::string FEncoderVideoCodecName;
  bool FVideoDisable = false;
  int32_t FVideoGlobalHeader = 0;
  int32_t FVideoDiscard = 0;
  bool FVideoStreamCopy = false;
  int32_t FVideoCodecTag = 0;
  int32_t FIntraDcPrecision = 8;
  bool FIntraOnly = false;
  bool FSameQuality = false;
  std::string FVideoRcOverrideString;
  float FVideoQscale = 0.0f;
  int32_t FTopFieldFirst = -1;
  int32_t FVideoSyncMethod = -1;
  bool FForceFPS = false;
  TStrings FIntraMatrix;
  TStrings FInterMatrix;
  float FFrameAspectRatio = 0.0f;
  int32_t FFramePixFormat = -1;
  int32_t FMeThreshold = 0;
  bool FDeinterlace = false;
  int32_t FPass = 0;
  int32_t FMaxFrames = MaxInt;
  int32_t FBitrate = 0;
  TRational FFrameRate;
  bool FCustomFrameRate = false;
  int32_t FMaxFrameWidth = 0;
  int32_t FMaxFrameHeight = 0;
  int32_t FMaxFrameRate = 0;
  float FVideoQuality = 0.0f;
  std::string FDecoderVideoCodecName;
  std::string FVideoLanguage;
  TQuantMatrix FInter_Matrix{};
  TQuantMatrix FIntra_Matrix{};
};

class TSubtitleOptions : public TPersistent {
 public:
  const char* ClassName() const override { return "TSubtitleOptions"; }
  const TPropList& Properties() const override;

  const std::string& SubtitleLanguage() const { return FSubtitleLanguage; }
  const std::string& SubtitleCodecName() const { return FSubtitleCodecName; }
  bool SubtitleDisable() const { return FSubtitleDisable; }
  bool SubtitleStreamCopy() const { return FSubtitleStreamCopy; }
  int32_t SubtitleCodecTag() const { return FSubtitleCodecTag; }

  void SetSubtitleLanguage(const std::string& value) { FSubtitleLanguage = value; }
  void SetSubtitleCodecName(const std::string& value) { FSubtitleCodecName = value; }
  void SetSubtitleDisable(bool value) { FSubtitleDisable = value; }
  void SetSubtitleStreamCopy(bool value) { FSubtitleStreamCopy = value; }
  void SetSubtitleCodecTag(int32_t value) { FSubtitleCodecTag = value; }

 private:
  std::string FSubtitleLanguage;
  std::string FSubtitleCodecName;
  bool FSubtitleDisable = false;
  bool FSubtitleStreamCopy = false;
  int32_t FSubtitleCodecTag = 0;
};

class TMuxerOptions : public TPersistent {
 public:
  const char* ClassName() const override { return "TMuxerOptions"; }
  const TPropList& Properties() const override;

  float MuxPreload() const { return FMuxPreload; }
  float MuxMaxDelay() const { return FMuxMaxDelay; }
  const TStrings& AudioBitstreamFilters() const { return FAudioBitstreamFilters; }
  const TStrings& SubtitleBitstreamFilters() const { return FSubtitleBitstreamFilters; }
  const TStrings& VideoBitstreamFilters() const { return FVideoBitstreamFilters; }

  void SetMuxPreload(float value) { FMuxPreload = value; }
  void SetMuxMaxDelay(float value) { FMuxMaxDelay = value; }
  void SetAudioBitstreamFilters(const TStrings& value) { FAudioBitstreamFilters = value; }
  void SetSubtitleBitstreamFilters(const TStrings& value) { FSubtitleBitstreamFilters = value; }
  void SetVideoBitstreamFilters(const TStrings& value) { FVideoBitstreamFilters = value; }

 private:
  float FMuxPreload = 0.5f;
  float FMuxMaxDelay = 0.7f;
  TStrings FAudioBitstreamFilters;
  TStrings FSubtitleBitstreamFilters;
  TStrings FVideoBitstreamFilters;
};

class TGrabOptions : public TPersistent {
 public:
  const char* ClassName() const override { return "TGrabOptions"; }
  const TPropList& Properties() const override;

  int32_t VideoChannel() const { return FVideoChannel; }
  const std::string& VideoStandard() const { return FVideoStandard; }
  bool InputSync() const { return FInputSync; }

  void SetVideoChannel(int32_t value) { FVideoChannel = value; }
  void SetVideoStandard(const std::string& value) { FVideoStandard = value; }
  void SetInputSync(bool value) { FInputSync = value; }

 private:
  int32_t FVideoChannel = 0;
  std::string FVideoStandard;
  bool FInputSync = false;
};

class TFilterOptions : public TPersistent {
 public:
  const char* ClassName() const override { return "TFilterOptions"; }
  const TPropList& Properties() const override;

  const std::string& VideoFilters() const { return FVideoFilters; }
  void SetVideoFilters(const std::string& value) { FVideoFilters = value; }

 private:
  std::string FVideoFilters;
};

// One timestamp scale entry: stream `stream_index` of input `file_index`.
struct TInputTSScaleEntry {
  int32_t file_index = 0;
  int32_t stream_index = 0;
  double scale = 0.0;
};

class TAVConvertOptions : public TPersistent {
 public:
  TAVConvertOptions() = default;
  TAVConvertOptions(const TAVConvertOptions&) = delete;
  TAVConvertOptions& operator=(const TAVConvertOptions&) = delete;

  // Assign copies the stored set; the run-time properties of this object stay.
  const char* ClassName() const override { return "TAVConvertOptions"; }
  const TPropList& Properties() const override;

  // Adds "Key=Value" to CodecOptions, or changes the value of the line named
  // Key (case-insensitive); an empty Value removes that line.
  void SetAdvancedOption(const std::string& key, const std::string& value);

  // Stored properties.
  TAudioOptions& AudioOptions() { return FAudioOptions; }
  const TAudioOptions& AudioOptions() const { return FAudioOptions; }
  TSubtitleOptions& SubtitleOptions() { return FSubtitleOptions; }
  const TSubtitleOptions& SubtitleOptions() const { return FSubtitleOptions; }
  TVideoOptions& VideoOptions() { return FVideoOptions; }
  const TVideoOptions& VideoOptions() const { return FVideoOptions; }
  TMuxerOptions& MuxerOptions() { return FMuxerOptions; }
  const TMuxerOptions& MuxerOptions() const { return FMuxerOptions; }
  TGrabOptions& GrabOptions() { return FGrabOptions; }
  const TGrabOptions& GrabOptions() const { return FGrabOptions; }
  TFilterOptions& FilterOptions() { return FFilterOptions; }
  const TFilterOptions& FilterOptions() const { return FFilterOptions; }
  const TStrings& MetaData() const { return FMetaData; }
  const TStrings& CodecOptions() const { return FCodecOptions; }
  const std::string& OutputFormat() const { return FOutputFormat; }
  const std::string& InputFormat() const { return FInputFormat; }
  int64_t StartTime() const { return FStartTime; }
  int64_t RecordingTime() const { return FRecordingTime; }
  int32_t ThreadCount() const { return FThreadCount; }
  const TStrings& StreamMaps() const { return FStreamMaps; }
  // The device the output is meant for (an id of converter/DeviceProfiles.h);
  // empty for none. Its table says what "already fits" and what the
  // completion check compares the output with.
  const std::string& Device() const { return FDevice; }
  // Source streams that already fit the device and the options are copied
  // instead of re-encoded (only with a Device, and only where no filter,
  // crop or volume change needs their frames).
  bool CopyFittingStreams() const { return FCopyFittingStreams; }
  // Every audio and subtitle stream of the source goes out (with the one
  // video stream), unless StreamMaps name the streams.
  bool KeepAllTracks() const { return FKeepAllTracks; }

  void SetAudioOptions(const TAudioOptions& value) { FAudioOptions.Assign(value); }
  void SetSubtitleOptions(const TSubtitleOptions& value) { FSubtitleOptions.Assign(value); }
  void SetVideoOptions(const TVideoOptions& value) { FVideoOptions.Assign(value); }
  void SetMuxerOptions(const TMuxerOptions& value) { FMuxerOptions.Assign(value); }
  void SetGrabOptions(const TGrabOptions& value) { FGrabOptions.Assign(value); }
  void SetFilterOptions(const TFilterOptions& value) { FFilterOptions.Assign(value); }
  void SetMetaData(const TStrings& value) { FMetaData = value; }
  void SetCodecOptions(const TStrings& value) { FCodecOptions = value; }
  void SetOutputFormat(const std::string& value) { FOutputFormat = value; }
  void SetInputFormat(const std::string& value) { FInputFormat = value; }
  void SetStartTime(int64_t value) { FStartTime = value; }
  void SetRecordingTime(int64_t value) { FRecordingTime = value; }
  void SetThreadCount(int32_t value) { FThreadCount = value; }
  void SetStreamMaps(const TStrings& value) { FStreamMaps = value; }
  void SetDevice(const std::string& value) { FDevice = value; }
  void SetCopyFittingStreams(bool value) { FCopyFittingStreams = value; }
  void SetKeepAllTracks(bool value) { FKeepAllTracks = value; }

  // Run-time properties: neither stored nor copied by Assign.
  bool PGMYUVCompatibilityHack() const { return FPGMYUVCompatibilityHack; }
  int32_t ProgramID() const { return FProgramID; }
  bool LoopInput() const { return FLoopInput; }
  int32_t LoopOutput() const { return FLoopOutput; }
  bool RateEmu() const { return FRateEmu; }
  bool DoPSNR() const { return FDoPSNR; }
  float DtsDeltaThreshold() const { return FDtsDeltaThreshold; }
  int64_t AudioSize() const { return FAudioSize; }
  int32_t SwsFlags() const { return FSwsFlags; }
  int32_t VideoSize() const { return FVideoSize; }
  int64_t RecTimestamp() const { return FRecTimestamp; }
  int64_t LimitFileSize() const { return FLimitFileSize; }
  bool ShortTest() const { return FShortTest; }
  int32_t MaxDataFrames() const { return FMaxDataFrames; }
  bool CopyInitialNonkeyframes() const { return FCopyInitialNonkeyframes; }
  int64_t InputTSOffset() const { return FInputTSOffset; }
  const std::vector<TInputTSScaleEntry>& InputTSScale() const { return FInputTSScale; }
  bool CopyTS() const { return FCopyTS; }

  void SetPGMYUVCompatibilityHack(bool value) { FPGMYUVCompatibilityHack = value; }
  void SetProgramID(int32_t value) { FProgramID = value; }
  void SetLoopInput(bool value) { FLoopInput = value; }
  void SetLoopOutput(int32_t value) { FLoopOutput = value; }
  void SetRateEmu(bool value) { FRateEmu = value; }
  void SetDoPSNR(bool value) { FDoPSNR = value; }
  void SetDtsDeltaThreshold(float value) { FDtsDeltaThreshold = value; }
  void SetAudioSize(int64_t value) { FAudioSize = value; }
  void SetSwsFlags(int32_t value) { FSwsFlags = value; }
  void SetVideoSize(int32_t value) { FVideoSize = value; }
  void SetRecTimestamp(int64_t value) { FRecTimestamp = value; }
  void SetLimitFileSize(int64_t value) { FLimitFileSize = value; }
  void SetShortTest(bool value) { FShortTest = value; }
  void SetMaxDataFrames(int32_t value) { FMaxDataFrames = value; }
  void SetCopyInitialNonkeyframes(bool value) { FCopyInitialNonkeyframes = value; }
  void SetInputTSOffset(int64_t value) { FInputTSOffset = value; }
  void SetInputTSScale(const std::vector<TInputTSScaleEntry>& value) { FInputTSScale = value; }
  void SetCopyTS(bool value) { FCopyTS = value; }

 private:
  bool FPGMYUVCompatibilityHack = false;
  int32_t FProgramID = 0;
  bool FLoopInput = false;
  int64_t FStartTime = 0;
  int32_t FThreadCount = 1;
  bool FRateEmu = false;
  bool FDoPSNR = false;
  int32_t FLoopOutput = -1;
  float FDtsDeltaThreshold = 10.0f;
  int64_t FRecordingTime = MaxInt64;
  int64_t FAudioSize = 0;
  int32_t FSwsFlags = 4;
  int32_t FVideoSize = 0;
  int64_t FRecTimestamp = 0;
  int64_t FLimitFileSize = 0;
  bool FShortTest = false;
  TAudioOptions FAudioOptions;
  TSubtitleOptions FSubtitleOptions;
  TVideoOptions FVideoOptions;
  TMuxerOptions FMuxerOptions;
  TGrabOptions FGrabOptions;
  int32_t FMaxDataFrames = MaxInt;
  TStrings FMetaData;
  bool FCopyInitialNonkeyframes = false;
  TStrings FCodecOptions;
  int64_t FInputTSOffset = 0;
  bool FCopyTS = false;
  std::vector<TInputTSScaleEntry> FInputTSScale;
  std::string FOutputFormat;
  std::string FInputFormat;
  TFilterOptions FFilterOptions;
  TStrings FStreamMaps;
  std::string FDevice;
  bool FCopyFittingStreams = false;
  bool FKeepAllTracks = false;
};

// Splits "name=value" at the first '='; a line without '=' is all name.
std::pair<std::string, std::string> SplitNameValue(const std::string& line);

}  // namespace veltrano
