#include "common/TargetNames.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace veltrano {
namespace {

bool IsTaken(const std::string& name, const std::vector<std::string>& reserved) {
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::u8path(name), error)) return true;
  return std::find(reserved.begin(), reserved.end(), name) != reserved.end();
}

}  // namespace

std::string FreeTargetName(const std::string& wanted, const std::vector<std::string>& reserved) {
  if (!IsTaken(wanted, reserved)) return wanted;
  const size_t slash = wanted.find_last_of('/');
  const size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = wanted.find_last_of('.');
  if (dot == std::string::npos || dot <= name_start) dot = wanted.size();
  const std::string stem = wanted.substr(0, dot);
  const std::string extension = wanted.substr(dot);
  for (int number = 2;; ++number) {
    std::string candidate = stem + " (" + std::to_string(number) + ")" + extension;
    if (!IsTaken(candidate, reserved)) return candidate;
  }
}

}  // namespace veltrano
