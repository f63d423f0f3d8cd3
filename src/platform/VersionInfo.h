// The program's own version strings (what the about window shows).
//
// The version is the project version compiled into the program; the strings
// are kept by name as a version resource keeps them, so callers look them up
// with the same names: "FileVersion", "ProductVersion", "ProductName".
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace veltrano {

class EVersionInfoError : public std::runtime_error {
 public:
  explicit EVersionInfoError(const std::string& message) : std::runtime_error(message) {}
};

class TVersionInfo {
 public:
  TVersionInfo();

  // The value of the version string `name` (names compare without regard to
  // ASCII case); raises EVersionInfoError "Key not found" for an unknown name.
  const std::string& Value(const std::string& name) const;

 private:
  std::vector<std::pair<std::string, std::string>> FStrings;
};

}  // namespace veltrano
