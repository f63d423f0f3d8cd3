// The stored XML form of a persistent object, built from its property table
// (TPersistent::Properties). Used by the conversion settings of each task and
// by the configuration file.
//
// Writing: the document element "data" with PropFormat="node" holds one
// element named after the object's class; each property becomes a child
// element named as the property, in declaration order:
//   - integers and 64-bit integers in decimal, Booleans "1"/"0",
//     enumerations by enumerator name, strings unchanged;
//   - floating-point values with up to 15 significant digits and "." (a
//     single is widened first: 0.1f is written 0.100000001490116);
//   - left out: empty strings, floating-point 0, 64-bit 0, and ordinals equal
//     to their property's declared default;
//   - a sub-object becomes an element of its own (left out when empty);
//   - a string list becomes an element with the attribute Count and one
//     element "l<i>" per non-empty line.
//
// Reading: PropFormat "node" (also when missing or unknown) looks properties
// up as child elements, "attr" as attributes; "auto" is refused. Names compare
// without regard to letter case and unknown elements are ignored. A missing
// property sets a string to empty, a floating-point value to 0 and an ordinal
// with a declared default to that default; other ordinals, 64-bit integers,
// lists and sub-objects keep their current value. Malformed integers,
// Booleans, enumeration names and 64-bit integers raise EPersistError (the
// properties read before stay read); a floating-point value that does not
// parse reads as 0. Text that is not well-formed XML reads nothing.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "converter/Persistent.h"

namespace veltrano {

class EPersistError : public std::runtime_error {
 public:
  explicit EPersistError(const std::string& message) : std::runtime_error(message) {}
};

struct TXmlWriteStyle {
  bool indent = true;        // two spaces per level, one element per line
  bool declaration = false;  // the <?xml …?> line
};

// The stored form of `object` (only read, never changed).
std::string ObjectToXml(const TPersistent& object, TXmlWriteStyle style = {});

// Sets the properties of `object` from `text` by the reading rules above.
void ObjectFromXml(TPersistent& object, std::string_view text);

}  // namespace veltrano
