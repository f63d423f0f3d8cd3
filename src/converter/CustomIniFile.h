// The key-value file that profiles write themselves to: sections of named
// text values (names compare without regard to letter case). Typed reads
// never fail: a missing key or a value that does not parse gives the default.
//
// The profile model only sees this interface; the user profile store supplies
// the file behind it (common/IniFile.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veltrano {

class TCustomIniFile {
 public:
  virtual ~TCustomIniFile() = default;

  // The raw value of `key` in `section`; none when the key is missing.
  virtual std::optional<std::string> ReadValue(const std::string& section,
                                               const std::string& key) const = 0;
  // Sets the value of `key` (replacing any earlier value).
  virtual void WriteString(const std::string& section, const std::string& key,
                           const std::string& value) = 0;
  // Removes `key` from `section`; nothing happens when it is not there.
  virtual void DeleteKey(const std::string& section, const std::string& key) = 0;

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value) const;
  // Decimal, or hexadecimal after "0x" or "$".
  int32_t ReadInteger(const std::string& section, const std::string& key,
                      int32_t default_value) const;
  // Any non-zero integer is true.
  bool ReadBool(const std::string& section, const std::string& key, bool default_value) const;
  // "." or "," as the decimal separator.
  double ReadFloat(const std::string& section, const std::string& key, double default_value) const;

  void WriteInteger(const std::string& section, const std::string& key, int64_t value);
  void WriteBool(const std::string& section, const std::string& key, bool value);
  // Up to 15 significant digits, "." as the separator.
  void WriteFloat(const std::string& section, const std::string& key, double value);
};

}  // namespace veltrano
