#include "converter/Persistent.h"

#include <cctype>

#include "converter/AVError.h"

namespace veltrano {

void TPersistent::Assign(const TPersistent& source) {
  throw EConvertError(std::string("Cannot assign a ") + source.ClassName() + " to a " +
                      ClassName() + ".");
}

const TPropInfo* TPersistent::FindProperty(std::string_view name) const {
  for (const TPropInfo& info : Properties()) {
    if (SameTextIgnoringCase(info.name, name)) return &info;
  }
  return nullptr;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace veltrano
