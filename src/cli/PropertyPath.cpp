#include "cli/PropertyPath.h"

#include <charconv>
#include <cstdlib>

namespace veltrano::cli {
namespace {

int64_t ParseInteger(const std::string& path, const std::string& text) {
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
    throw EPropertyPath(path + ": '" + text + "' is not an integer");
  }
  return value;
}

double ParseReal(const std::string& path, const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size()) {
    throw EPropertyPath(path + ": '" + text + "' is not a number");
  }
  return value;
}

TPropValue ParseValue(const std::string& path, const TPropInfo& info, const std::string& text) {
  switch (info.kind) {
    case TPropKind::Integer: {
      const int64_t value = ParseInteger(path, text);
      if (value < INT32_MIN || value > INT32_MAX) throw EPropertyPath(path + ": out of range");
      return value;
    }
    case TPropKind::Int64:
      return ParseInteger(path, text);
    case TPropKind::Boolean:
      if (text == "1" || SameTextIgnoringCase(text, "true")) return int64_t{1};
      if (text == "0" || SameTextIgnoringCase(text, "false")) return int64_t{0};
      throw EPropertyPath(path + ": '" + text + "' is not 0 or 1");
    case TPropKind::Enumeration:
      for (size_t i = 0; i < info.enum_names.size(); ++i) {
        if (SameTextIgnoringCase(info.enum_names[i], text)) return static_cast<int64_t>(i);
      }
      throw EPropertyPath(path + ": '" + text + "' is not one of its values");
    case TPropKind::Single:
    case TPropKind::Double:
      return ParseReal(path, text);
    case TPropKind::String:
      return text;
    case TPropKind::StringList:
      return text.empty() ? TStrings{} : TStrings{text};
    case TPropKind::Object:
      break;
  }
  throw EPropertyPath(path + " holds an object; name one of its properties");
}

}  // namespace

void AssignProperty(TPersistent& root, const std::string& assignment) {
  const size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) {
    throw EPropertyPath("'" + assignment + "' is not of the form Path=Value");
  }
  const bool append = assignment[eq - 1] == '+';
  const std::string path = assignment.substr(0, append ? eq - 1 : eq);
  const std::string value = assignment.substr(eq + 1);

  TPersistent* object = &root;
  size_t start = 0;
  while (true) {
    const size_t dot = path.find('.', start);
    const std::string name =
        path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    const TPropInfo* info = object->FindProperty(name);
    if (info == nullptr) throw EPropertyPath("Unknown property '" + path + "'");
    if (dot != std::string::npos) {
      if (info->kind != TPropKind::Object) throw EPropertyPath("'" + name + "' has no properties");
      object = info->object(*object);
      start = dot + 1;
      continue;
    }
    if (append) {
      if (info->kind != TPropKind::StringList) throw EPropertyPath(path + " is not a list");
      TStrings lines = std::get<TStrings>(info->get(*object));
      lines.push_back(value);
      info->set(*object, lines);
    } else {
      info->set(*object, ParseValue(path, *info, value));
    }
    return;
  }
}

}  // namespace veltrano::cli
