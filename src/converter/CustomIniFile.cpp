#include "converter/CustomIniFile.h"

#include "converter/NumberText.h"

namespace veltrano {

std::string TCustomIniFile::ReadString(const std::string& section, const std::string& key,
                                       const std::string& default_value) const {
  return ReadValue(section, key).value_or(default_value);
}

int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& key,
                                    int32_t default_value) const {
  const std::optional<std::string> text = ReadValue(section, key);
  if (!text) return default_value;
  return TextToInt32(*text).value_or(default_value);
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& key,
                              bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

double TCustomIniFile::ReadFloat(const std::string& section, const std::string& key,
                                 double default_value) const {
  const std::optional<std::string> text = ReadValue(section, key);
  if (!text) return default_value;
  return TextToFloat(*text).value_or(default_value);
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& key,
                                  int64_t value) {
  WriteString(section, key, std::to_string(value));
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TCustomIniFile::WriteFloat(const std::string& section, const std::string& key, double value) {
  WriteString(section, key, FloatToText(value));
}

}  // namespace veltrano
