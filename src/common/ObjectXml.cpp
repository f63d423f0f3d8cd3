#include "common/ObjectXml.h"

#include <fmt/format.h>

#include <optional>
#include <pugixml.hpp>
#include <unordered_map>

#include "converter/NumberText.h"

namespace veltrano {
namespace {

// A list element may not announce more lines than this: a hand-edited Count
// must not make the reader allocate without bound.
constexpr int32_t kMaxListLines = 1 << 20;

enum class TPropFormat { Node, Attr };

// Writing ----------------------------------------------------------------------------

std::string OrdinalText(const TPropInfo& info, int64_t value) {
  switch (info.kind) {
    case TPropKind::Boolean:
      return value != 0 ? "1" : "0";
    case TPropKind::Enumeration:
      if (value >= 0 && static_cast<size_t>(value) < info.enum_names.size()) {
        return info.enum_names[static_cast<size_t>(value)];
      }
      return std::to_string(value);
    default:
      return std::to_string(value);
  }
}

void AddValue(pugi::xml_node element, const std::string& name, const std::string& text) {
  element.append_child(name.c_str()).text().set(text.c_str());
}

void WriteProperties(pugi::xml_node element, const TPersistent& object) {
  // The property table hands out sub-objects for writing as well; here they
  // are only read.
  TPersistent& readable = const_cast<TPersistent&>(object);
  for (const TPropInfo& info : object.Properties()) {
    if (!info.stored) continue;
    switch (info.kind) {
      case TPropKind::Object: {
        pugi::xml_node child = element.append_child(info.name.c_str());
        WriteProperties(child, *info.object(readable));
        if (!child.first_child()) element.remove_child(child);
        break;
      }
      case TPropKind::StringList: {
        const TStrings lines = std::get<TStrings>(info.get(object));
        pugi::xml_node child = element.append_child(info.name.c_str());
        child.append_attribute("Count").set_value(static_cast<unsigned long long>(lines.size()));
        for (size_t i = 0; i < lines.size(); ++i) {
          if (!lines[i].empty()) AddValue(child, "l" + std::to_string(i), lines[i]);
        }
        break;
      }
      case TPropKind::String: {
        const std::string text = std::get<std::string>(info.get(object));
        if (!text.empty()) AddValue(element, info.name, text);
        break;
      }
      case TPropKind::Single:
      case TPropKind::Double: {
        const double value = std::get<double>(info.get(object));
        if (value != 0.0) AddValue(element, info.name, FloatToText(value));
        break;
      }
      case TPropKind::Int64: {
        const int64_t value = std::get<int64_t>(info.get(object));
        if (value != 0) AddValue(element, info.name, std::to_string(value));
        break;
      }
      case TPropKind::Integer:
      case TPropKind::Boolean:
      case TPropKind::Enumeration: {
        const int64_t value = std::get<int64_t>(info.get(object));
        if (info.declared_default && *info.declared_default == value) break;
        AddValue(element, info.name, OrdinalText(info, value));
        break;
      }
    }
  }
}

struct TStringWriter : pugi::xml_writer {
  std::string text;
  void write(const void* data, size_t size) override {
    text.append(static_cast<const char*>(data), size);
  }
};

// Reading ----------------------------------------------------------------------------

pugi::xml_node FindChild(pugi::xml_node parent, std::string_view name) {
  for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
    if (child.type() == pugi::node_element && SameTextIgnoringCase(child.name(), name)) {
      return child;
    }
  }
  return {};
}

pugi::xml_attribute FindAttribute(pugi::xml_node element, std::string_view name) {
  for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
    if (SameTextIgnoringCase(a.name(), name)) return a;
  }
  return {};
}

std::optional<std::string> FindValue(pugi::xml_node element, std::string_view name,
                                     TPropFormat format) {
  if (format == TPropFormat::Attr) {
    const pugi::xml_attribute attribute = FindAttribute(element, name);
    if (!attribute) return std::nullopt;
    return std::string(attribute.value());
  }
  const pugi::xml_node child = FindChild(element, name);
  if (!child) return std::nullopt;
  return std::string(child.text().get());
}

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

int64_t ParseInteger(const std::string& text) {
  const std::optional<int32_t> value = TextToInt32(text);
  if (!value) throw EPersistError(fmt::format("Invalid integer value ({}).", text));
  return *value;
}

int64_t ParseBoolean(const std::string& text) {
  const std::string_view trimmed = TrimBlanks(text);
  if (trimmed == "1") return 1;
  if (trimmed == "0") return 0;
  throw EPersistError(fmt::format("Invalid boolean value ({}).", text));
}

int64_t ParseEnumeration(const TPropInfo& info, const std::string& text) {
  const std::string_view trimmed = TrimBlanks(text);
  for (size_t i = 0; i < info.enum_names.size(); ++i) {
    if (SameTextIgnoringCase(info.enum_names[i], trimmed)) return static_cast<int64_t>(i);
  }
  throw EPersistError(fmt::format("Invalid property element: {}", text));
}

// The lines "l<i>" of a list element, by index (the first of each index wins).
std::unordered_map<int32_t, std::string> ListLines(pugi::xml_node element, TPropFormat format,
                                                   int32_t count) {
  std::unordered_map<int32_t, std::string> lines;
  const auto take = [&](std::string_view name, const char* value) {
    if (name.size() < 2 || name.size() > 11 || (name[0] != 'l' && name[0] != 'L')) return;
    int64_t index = 0;
    for (char c : name.substr(1)) {
      if (c < '0' || c > '9') return;
      index = index * 10 + (c - '0');
    }
    if (index < count) lines.try_emplace(static_cast<int32_t>(index), value);
  };
  if (format == TPropFormat::Attr) {
    for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
      take(a.name(), a.value());
    }
  } else {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
      if (child.type() == pugi::node_element) take(child.name(), child.text().get());
    }
  }
  return lines;
}

void ReadList(pugi::xml_node element, const TPropInfo& info, TPersistent& object,
              TPropFormat format) {
  int32_t count = 0;
  if (const pugi::xml_attribute attribute = FindAttribute(element, "Count")) {
    const std::string text = attribute.value();
    count = static_cast<int32_t>(ParseInteger(text));
    if (count > kMaxListLines)
      throw EPersistError(fmt::format("Invalid integer value ({}).", text));
    if (count < 0) count = 0;
  }
  TStrings lines(static_cast<size_t>(count));
  for (auto& [index, text] : ListLines(element, format, count)) lines[index] = std::move(text);
  info.set(object, lines);
}

void ReadMissing(const TPropInfo& info, TPersistent& object) {
  switch (info.kind) {
    case TPropKind::String:
      info.set(object, std::string());
      break;
    case TPropKind::Single:
    case TPropKind::Double:
      info.set(object, 0.0);
      break;
    case TPropKind::Integer:
    case TPropKind::Boolean:
    case TPropKind::Enumeration:
      // Documents of this system always hold the ordinals without a declared
      // default; in a hand-written one, a missing value keeps the object's own.
      if (info.declared_default) info.set(object, *info.declared_default);
      break;
    default:
      break;  // 64-bit integers keep their value
  }
}

void ReadValue(const TPropInfo& info, TPersistent& object, const std::string& text) {
  switch (info.kind) {
    case TPropKind::String:
      info.set(object, text);
      break;
    case TPropKind::Single:
    case TPropKind::Double:
      info.set(object, TextToFloat(text).value_or(0.0));
      break;
    case TPropKind::Int64: {
      const std::optional<int64_t> value = TextToInt64(text);
      if (!value) throw EPersistError(fmt::format("Invalid int64 value ({}).", text));
      info.set(object, *value);
      break;
    }
    case TPropKind::Integer:
      info.set(object, ParseInteger(text));
      break;
    case TPropKind::Boolean:
      info.set(object, ParseBoolean(text));
      break;
    case TPropKind::Enumeration:
      info.set(object, ParseEnumeration(info, text));
      break;
    default:
      break;
  }
}

void ReadProperties(pugi::xml_node element, TPersistent& object, TPropFormat format) {
  for (const TPropInfo& info : object.Properties()) {
    if (!info.stored) continue;
    if (info.kind == TPropKind::Object) {
      if (pugi::xml_node child = FindChild(element, info.name)) {
        ReadProperties(child, *info.object(object), format);
      }
    } else if (info.kind == TPropKind::StringList) {
      // A list element that is missing altogether leaves the list as it is.
      if (pugi::xml_node child = FindChild(element, info.name)) {
        ReadList(child, info, object, format);
      }
    } else if (const std::optional<std::string> text = FindValue(element, info.name, format)) {
      ReadValue(info, object, *text);
    } else {
      ReadMissing(info, object);
    }
  }
}

TPropFormat DocumentFormat(pugi::xml_node root) {
  const std::string_view value = FindAttribute(root, "PropFormat").value();
  if (SameTextIgnoringCase(value, "attr")) return TPropFormat::Attr;
  if (SameTextIgnoringCase(value, "auto")) {
    throw EPersistError("Auto PropFormat not allowed here.");
  }
  return TPropFormat::Node;
}

}  // namespace

std::string ObjectToXml(const TPersistent& object, TXmlWriteStyle style) {
  pugi::xml_document document;
  pugi::xml_node data = document.append_child("data");
  data.append_attribute("PropFormat").set_value("node");
  WriteProperties(data.append_child(object.ClassName()), object);

  unsigned flags = style.indent ? pugi::format_indent : pugi::format_raw;
  if (!style.declaration) flags |= pugi::format_no_declaration;
  TStringWriter writer;
  document.save(writer, "  ", flags, pugi::encoding_utf8);
  return writer.text;
}

void ObjectFromXml(TPersistent& object, std::string_view text) {
  pugi::xml_document document;
  // Whitespace between elements is dropped, but a value made of blanks only
  // is kept, and line ends inside values stay as they are.
  const unsigned options = (pugi::parse_default | pugi::parse_ws_pcdata_single) & ~pugi::parse_eol;
  if (!document.load_buffer(text.data(), text.size(), options, pugi::encoding_auto)) return;
  const pugi::xml_node root = document.document_element();
  if (!root) return;
  const TPropFormat format = DocumentFormat(root);
  if (const pugi::xml_node element = FindChild(root, object.ClassName())) {
    ReadProperties(element, object, format);
  }
}

}  // namespace veltrano
