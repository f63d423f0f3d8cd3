#include "platform/VersionInfo.h"

#include <algorithm>

#ifndef VELTRANO_VERSION
#error "VELTRANO_VERSION must be defined by the build (the project version)"
#endif

namespace veltrano {
namespace {

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

TVersionInfo::TVersionInfo()
    : FStrings{{"FileVersion", VELTRANO_VERSION},
               {"ProductVersion", VELTRANO_VERSION},
               {"ProductName", "Veltrano"}} {}

const std::string& TVersionInfo::Value(const std::string& name) const {
  for (const auto& [key, value] : FStrings) {
    if (SameNameIgnoringCase(key, name)) return value;
  }
  throw EVersionInfoError("Key not found");
}

}  // namespace veltrano
