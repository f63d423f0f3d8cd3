// An INI file in UTF-8 (SimpleIni underneath): sections and keys compare
// without regard to letter case, unknown sections and keys are kept, and
// writing replaces the file atomically.
#pragma once

#include <memory>
#include <string>

#include "converter/CustomIniFile.h"

namespace veltrano {

class TIniFile : public TCustomIniFile {
 public:
  // Loads `file_name` when it exists; a missing file starts empty.
  explicit TIniFile(std::string file_name);
  ~TIniFile() override;
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return FFileName; }
  // True when the file existed but could not be read.
  bool LoadFailed() const { return FLoadFailed; }

  std::optional<std::string> ReadValue(const std::string& section,
                                       const std::string& key) const override;
  // A value is one line of the file: line breaks in it are stored as spaces.
  // Surrounding blanks are not kept.
  void WriteString(const std::string& section, const std::string& key,
                   const std::string& value) override;
  void DeleteKey(const std::string& section, const std::string& key) override;

  // The number of keys in `section`.
  int KeyCount(const std::string& section) const;

  // Writes the file (a temporary file renamed over the old one). Raises
  // EFileWriteError when that fails.
  void UpdateFile() const;

 private:
  struct TImpl;
  std::string FFileName;
  bool FLoadFailed = false;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace veltrano
