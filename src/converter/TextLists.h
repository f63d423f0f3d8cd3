// A string list as one line of text, the way the stored forms and the filter
// chain need it: lines joined by a delimiter, a line that holds a blank,
// control character, the delimiter or the quote character wrapped in quotes
// with the quote character doubled inside.
//
// Comma text ("," and '"') stores a profile's options in the INI store; the
// filter chain joins its entries with "," and a space as the quote.
#pragma once

#include <string>
#include <string_view>

#include "converter/Persistent.h"

namespace veltrano {

// Joins `lines`. An empty list gives ""; a list of one empty line gives two
// quote characters. Bytes 0 to 32 (and, here, the quote and the delimiter)
// cause quoting; bytes above 127 (UTF-8 sequences) never do.
std::string DelimitedText(const TStrings& lines, char delimiter, char quote);

// Splits `text` back into lines: at delimiters and at blanks or control
// characters outside quotes; quoted parts lose their quotes and doubled
// quotes become one. A delimiter at the very end adds an empty line.
TStrings ParseDelimitedText(std::string_view text, char delimiter, char quote);

inline std::string CommaText(const TStrings& lines) {
  return DelimitedText(lines, ',', '"');
}
inline TStrings ParseCommaText(std::string_view text) {
  return ParseDelimitedText(text, ',', '"');
}

}  // namespace veltrano
