// Reading UTF-8 text one character (code point) at a time.
#pragma once

#include <cstddef>
#include <string_view>

namespace veltrano {

// The code point whose encoding starts at byte `at` of `text`; `length` is
// set to the bytes it takes (at least 1, so a loop always advances). Bytes
// of a malformed or cut sequence are read as far as they go.
inline char32_t CodePointAt(std::string_view text, size_t at, size_t& length) {
  const auto lead = static_cast<unsigned char>(text[at]);
  length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  char32_t point = length == 1 ? lead : lead & (0x3F >> (length - 1));
  for (size_t k = 1; k < length && at + k < text.size(); ++k) {
    point = (point << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
  }
  return point;
}

}  // namespace veltrano
