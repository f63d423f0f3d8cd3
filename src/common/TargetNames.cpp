#include "common/TargetNames.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "converter/SafeOutputs.h"

namespace veltrano {
namespace {

bool IsReserved(const std::string& name, const std::vector<std::string>& reserved) {
  return std::any_of(reserved.begin(), reserved.end(),
                     [&](const std::string& other) { return NamesSameFile(name, other); });
}

bool Exists(const std::string& name) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(name, error));
}

bool IsTaken(const std::string& name, const std::vector<std::string>& reserved) {
  return Exists(name) || IsReserved(name, reserved);
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

TTargetCheck CheckNewTarget(const std::string& target, const std::vector<std::string>& sources,
                            const std::vector<std::string>& reserved) {
  for (const std::string& source : sources) {
    if (OutputTouchesSource(target, source)) return {TTargetCheck::IsSource, 0};
  }
  for (size_t index = 0; index < reserved.size(); ++index) {
    if (NamesSameFile(target, reserved[index])) return {TTargetCheck::Reserved, index};
  }
  if (Exists(target)) return {TTargetCheck::Exists, 0};
  return {};
}

}  // namespace veltrano
