#include "converter/Persistent.h"

#include <cctype>
#include <typeinfo>

#include "converter/AVError.h"

namespace veltrano {

void TPersistent::Assign(const TPersistent& source) {
  if (typeid(source) == typeid(*this)) return CopyProperties(source);
  throw EConvertError(std::string("Cannot assign a ") + source.ClassName() + " to a " +
                      ClassName() + ".");
}

void TPersistent::CopyProperties(const TPersistent& source) {
  if (&source == this) return;
  // The table hands out sub-objects for writing as well; the source's are
  // only read.
  TPersistent& readable = const_cast<TPersistent&>(source);
  for (const TPropInfo& info : Properties()) {
    if (info.kind == TPropKind::Object) {
      info.object(*this)->Assign(*info.object(readable));
    } else {
      info.set(*this, info.get(source));
    }
  }
}

const TPropInfo* TPersistent::FindProperty(std::string_view name) const {
  for (const TPropInfo& info : Properties()) {
    if (info.stored && SameTextIgnoringCase(info.name, name)) return &info;
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
