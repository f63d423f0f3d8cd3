// Persistent objects: settings classes that publish their properties by name,
// type and declared default, and copy themselves with Assign.
//
// The property table is the one place a property is declared: Assign copies
// what it lists, and the stored forms (settings XML, configuration) and the
// command line's `--option Path=Value` walk its stored entries. The classes
// keep plain getters and setters, so every write through the table obeys the
// setters' rules.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace veltrano {

using TStrings = std::vector<std::string>;

class TPersistent;

enum class TPropKind { Integer, Int64, Boolean, Enumeration, Single, Double, String, StringList, Object };

// Integers, Booleans and enumerations travel as int64; floating point as double.
using TPropValue = std::variant<int64_t, double, std::string, TStrings>;

struct TPropInfo {
  std::string name;
  TPropKind kind = TPropKind::Integer;
  std::optional<int64_t> declared_default;  // ordinals only: value left out when stored
  std::vector<std::string> enum_names;      // enumerations: names in ordinal order
  std::function<TPropValue(const TPersistent&)> get;
  std::function<void(TPersistent&, const TPropValue&)> set;
  std::function<TPersistent*(TPersistent&)> object;  // kind Object: the owned sub-object
  // False for a run-time property that Assign copies but that is neither
  // stored nor found by name (FindProperty, `--option`).
  bool stored = true;

  bool IsOrdinal() const {
    return kind == TPropKind::Integer || kind == TPropKind::Boolean ||
           kind == TPropKind::Enumeration;
  }
};

using TPropList = std::vector<TPropInfo>;

class TPersistent {
 public:
  virtual ~TPersistent() = default;

  // Copies `source` into this object. The base copies an object of the same
  // class property by property through the table (sub-objects with their own
  // Assign, values through the setters) and refuses any other class with
  // EConvertError ("Cannot assign a <source class> to a <this class>.").
  virtual void Assign(const TPersistent& source);

  virtual const char* ClassName() const = 0;

  // Published properties in declaration order.
  virtual const TPropList& Properties() const = 0;

  // Case-insensitive lookup among the stored Properties(); nullptr when absent.
  const TPropInfo* FindProperty(std::string_view name) const;

 protected:
  // Copies every property of the table from `source`, an object of this class.
  void CopyProperties(const TPersistent& source);

  TPersistent() = default;
  TPersistent(const TPersistent&) = default;
  TPersistent& operator=(const TPersistent&) = default;
};

bool SameTextIgnoringCase(std::string_view a, std::string_view b);

// Builders for property tables -------------------------------------------------

namespace props_detail {

template <class T>
TPropValue ToValue(const T& v) {
  if constexpr (std::is_same_v<T, bool> || std::is_integral_v<T> || std::is_enum_v<T>) {
    return static_cast<int64_t>(v);
  } else if constexpr (std::is_floating_point_v<T>) {
    return static_cast<double>(v);
  } else {
    return v;  // std::string or TStrings
  }
}

template <class T>
T FromValue(const TPropValue& v) {
  if constexpr (std::is_same_v<T, bool>) {
    return std::get<int64_t>(v) != 0;
  } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    return static_cast<T>(std::get<int64_t>(v));
  } else if constexpr (std::is_floating_point_v<T>) {
    return static_cast<T>(std::get<double>(v));
  } else {
    return std::get<T>(v);
  }
}

template <class S>
struct SetterArg;
template <class C, class A>
struct SetterArg<void (C::*)(A)> {
  using type = std::decay_t<A>;
};

}  // namespace props_detail

// A value property read by `getter` and written through `setter`.
template <class C, class G, class S>
TPropInfo MakeProperty(const char* name, TPropKind kind, G getter, S setter,
                       std::optional<int64_t> declared_default = std::nullopt,
                       std::vector<std::string> enum_names = {}) {
  TPropInfo info;
  info.name = name;
  info.kind = kind;
  info.declared_default = declared_default;
  info.enum_names = std::move(enum_names);
  info.get = [getter](const TPersistent& o) -> TPropValue {
    return props_detail::ToValue((static_cast<const C&>(o).*getter)());
  };
  info.set = [setter](TPersistent& o, const TPropValue& v) {
    using Arg = typename props_detail::SetterArg<S>::type;
    (static_cast<C&>(o).*setter)(props_detail::FromValue<Arg>(v));
  };
  return info;
}

// An owned sub-object property.
template <class C, class Sub>
TPropInfo MakeObjectProperty(const char* name, Sub& (C::*accessor)()) {
  TPropInfo info;
  info.name = name;
  info.kind = TPropKind::Object;
  info.object = [accessor](TPersistent& o) -> TPersistent* {
    return &(static_cast<C&>(o).*accessor)();
  };
  return info;
}

// `info` as a run-time property: copied by Assign, not stored.
inline TPropInfo Unstored(TPropInfo info) {
  info.stored = false;
  return info;
}

}  // namespace veltrano
