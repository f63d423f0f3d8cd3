// The application configuration: encoder threads, process priority, output
// folder, completion alert, shutdown-when-done, the interface language and
// whether streams that already fit are copied. Stored as Config.Xml in
// the application-data folder in the form of common/ObjectXml.h, indented.
#pragma once

#include <cstdint>
#include <string>

#include "converter/Persistent.h"

namespace veltrano {

class TPerformanceOptions : public TPersistent {
 public:
  const char* ClassName() const override { return "TPerformanceOptions"; }
  const TPropList& Properties() const override;

  // Encoder threads per conversion; 0 means one per processor.
  int32_t ThreadCount() const { return FThreadCount; }
  // Process priority level 0 (lowest) to 5 (highest); 2 is normal.
  int32_t ThreadPrority() const { return FThreadPrority; }
  void SetThreadCount(int32_t value) { FThreadCount = value; }
  void SetThreadPrority(int32_t value) { FThreadPrority = value; }

 private:
  int32_t FThreadCount = 0;
  int32_t FThreadPrority = 2;
};

class TAVConfiguration : public TPersistent {
 public:
  // OutputFolder starts as GetDefaultOutputFolder().
  TAVConfiguration();
  TAVConfiguration(const TAVConfiguration&) = delete;
  TAVConfiguration& operator=(const TAVConfiguration&) = delete;

  const char* ClassName() const override { return "TAVConfiguration"; }
  const TPropList& Properties() const override;

  TPerformanceOptions& PerformanceOptions() { return FPerformanceOptions; }
  const TPerformanceOptions& PerformanceOptions() const { return FPerformanceOptions; }
  bool ShutdownWhenDone() const { return FShutdownWhenDone; }
  const std::string& OutputFolder() const { return FOutputFolder; }
  bool ShowAlert() const { return FShowAlert; }
  // The interface language the user chose: "" (automatic, from the locale),
  // "zh" or "en". Written to the file only when not automatic.
  const std::string& Language() const { return FLanguage; }
  // Whether source streams that already fit a device profile are copied
  // instead of re-encoded (true unless the user turned it off).
  bool CopyFittingStreams() const { return FCopyFittingStreams; }

  // Setters only store; nothing is written until Save.
  void SetPerformanceOptions(const TPerformanceOptions& value) {
    FPerformanceOptions.Assign(value);
  }
  void SetShutdownWhenDone(bool value) { FShutdownWhenDone = value; }
  void SetOutputFolder(const std::string& value) { FOutputFolder = value; }
  void SetShowAlert(bool value) { FShowAlert = value; }
  void SetLanguage(const std::string& value) { FLanguage = value; }
  void SetCopyFittingStreams(bool value) { FCopyFittingStreams = value; }

  // Saves first when the configuration file does not exist yet, then reads it.
  // Malformed values raise EPersistError; malformed XML reads nothing.
  void Load();
  void LoadFromFile(const std::string& AFile);
  // Creates the application-data folder, applies the process priority of
  // ThreadPrority (nothing outside 0 to 5), then writes the file.
  void Save();
  // Replaces `AFile` atomically; EFileWriteError when it cannot be written.
  void SaveToFile(const std::string& AFile) const;

  // The stored form.
  std::string ToXml() const;

 private:
  TPerformanceOptions FPerformanceOptions;
  bool FShutdownWhenDone = false;
  std::string FOutputFolder;
  bool FShowAlert = true;
  std::string FLanguage;
  bool FCopyFittingStreams = true;
};

// The process-wide configuration (created on first use, not loaded).
TAVConfiguration& AVConfiguration();

}  // namespace veltrano
