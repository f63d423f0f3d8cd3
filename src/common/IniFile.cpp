#include "common/IniFile.h"

// UTF-8 in and out: the char API needs no wide-character conversion. The
// Debian header keeps its template bodies behind SI_IMPLEMENTATION; this is
// the one unit that instantiates them.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <filesystem>

#include "platform/AtomicFile.h"

namespace veltrano {

struct TIniFile::TImpl {
  TImpl() { ini.SetSpaces(false); }  // key=value, as INI files usually are
  // UTF-8, one value per key, no multi-line values, quotes kept as they are
  // (the stored option lists use double quotes themselves).
  CSimpleIniA ini{true, false, false};
};

TIniFile::TIniFile(std::string file_name)
    : FFileName(std::move(file_name)), impl_(std::make_unique<TImpl>()) {
  std::error_code error;
  if (std::filesystem::exists(FFileName, error)) {
    FLoadFailed = !std::filesystem::is_regular_file(FFileName, error) ||
                  impl_->ini.LoadFile(FFileName.c_str()) < 0;
  }
}

TIniFile::~TIniFile() = default;

std::optional<std::string> TIniFile::ReadValue(const std::string& section,
                                               const std::string& key) const {
  const char* value = impl_->ini.GetValue(section.c_str(), key.c_str(), nullptr);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value) {
  std::string line = value;
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  impl_->ini.SetValue(section.c_str(), key.c_str(), line.c_str());
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
  impl_->ini.Delete(section.c_str(), key.c_str());
}

int TIniFile::KeyCount(const std::string& section) const {
  return std::max(0, impl_->ini.GetSectionSize(section.c_str()));
}

void TIniFile::UpdateFile() const {
  std::string text;
  if (impl_->ini.Save(text, false) < 0) {
    throw EFileWriteError("Cannot create file \"" + FFileName + "\".");
  }
  WriteFileAtomicallyOrThrow(FFileName, text);
}

}  // namespace veltrano
