// Everything one task needs to be converted again: the source (a file or a
// DVD title), the target, the profile's description, the category of the
// result and the complete conversion options. The task store keeps it as the
// XML text of SettingsToXml (common/ObjectXml.h describes the form).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "converter/AVOptions.h"

namespace veltrano {

enum class TAVSourceType : int32_t { stFile, stDvd };
const std::vector<std::string>& SourceTypeNames();  // "stFile", "stDvd"

class TConversionSettings : public TPersistent {
 public:
  TConversionSettings() = default;
  TConversionSettings(const TConversionSettings&) = delete;
  TConversionSettings& operator=(const TConversionSettings&) = delete;

  const char* ClassName() const override { return "TConversionSettings"; }
  const TPropList& Properties() const override;

  // The source path; for a DVD the "stream:N" name of its title stream.
  const std::string& SourceFile() const { return FSourceFile; }
  TAVSourceType SourceType() const { return FSourceType; }
  const std::string& DvdDriver() const { return FDvdDriver; }  // the drive
  int32_t DvdTitle() const { return FDvdTitle; }
  int32_t DvdChapter() const { return FDvdChapter; }  // first chapter, from 1
  int32_t DvdThrough() const { return FDvdThrough; }  // last chapter, inclusive
  int32_t DvdAngle() const { return FDvdAngle; }      // from 1
  const std::string& DvdVolume() const { return FDvdVolume; }
  const std::string& TargetFile() const { return FTargetFile; }
  const std::string& Profile() const { return FProfile; }  // the profile's Description
  int32_t CategoryId() const { return FCategoryId; }
  TAVConvertOptions& ConvertOptions() { return FConvertOptions; }
  const TAVConvertOptions& ConvertOptions() const { return FConvertOptions; }
  double Duration() const { return FDuration; }               // seconds
  int64_t SourceFileSize() const { return FSourceFileSize; }  // bytes
  // The user allowed the task to replace a file that is under the target
  // name (asked when the task was created); without it a run replaces only
  // the task's own earlier output.
  bool Overwrite() const { return FOverwrite; }
  // The output size the wizard estimated when the task was made (bytes; 0:
  // none), for the log's comparison with the real size.
  int64_t EstimatedSizeLow() const { return FEstimatedSizeLow; }
  int64_t EstimatedSizeHigh() const { return FEstimatedSizeHigh; }

  void SetSourceFile(const std::string& value) { FSourceFile = value; }
  void SetSourceType(TAVSourceType value) { FSourceType = value; }
  void SetDvdDriver(const std::string& value) { FDvdDriver = value; }
  void SetDvdTitle(int32_t value) { FDvdTitle = value; }
  void SetDvdChapter(int32_t value) { FDvdChapter = value; }
  void SetDvdThrough(int32_t value) { FDvdThrough = value; }
  void SetDvdAngle(int32_t value) { FDvdAngle = value; }
  void SetDvdVolume(const std::string& value) { FDvdVolume = value; }
  void SetTargetFile(const std::string& value) { FTargetFile = value; }
  void SetProfile(const std::string& value) { FProfile = value; }
  void SetCategoryId(int32_t value) { FCategoryId = value; }
  // Copies into the owned options.
  void SetConvertOptions(const TAVConvertOptions& value) { FConvertOptions.Assign(value); }
  void SetDuration(double value) { FDuration = value; }
  void SetSourceFileSize(int64_t value) { FSourceFileSize = value; }
  void SetOverwrite(bool value) { FOverwrite = value; }
  void SetEstimatedSizeLow(int64_t value) { FEstimatedSizeLow = value; }
  void SetEstimatedSizeHigh(int64_t value) { FEstimatedSizeHigh = value; }

 private:
  std::string FSourceFile;
  TAVSourceType FSourceType = TAVSourceType::stFile;
  std::string FDvdDriver;
  int32_t FDvdTitle = 0;
  int32_t FDvdChapter = 0;
  int32_t FDvdThrough = 0;
  int32_t FDvdAngle = 0;
  std::string FDvdVolume;
  std::string FTargetFile;
  std::string FProfile;
  int32_t FCategoryId = 0;
  TAVConvertOptions FConvertOptions;
  double FDuration = 0.0;
  int64_t FSourceFileSize = 0;
  bool FOverwrite = false;
  int64_t FEstimatedSizeLow = 0;
  int64_t FEstimatedSizeHigh = 0;
};

// The stored form of `settings`.
std::string SettingsToXml(const TConversionSettings& settings);
// Reads `text` into `settings` (construction values are the starting point).
// Raises EPersistError on malformed values; malformed XML reads nothing.
void SettingsFromXml(TConversionSettings& settings, std::string_view text);

}  // namespace veltrano
