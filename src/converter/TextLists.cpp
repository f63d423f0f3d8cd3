#include "converter/TextLists.h"

namespace veltrano {
namespace {

bool IsBlank(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 1 && byte <= ' ';
}

bool NeedsQuoting(const std::string& line, char delimiter, char quote) {
  for (char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || c == delimiter || c == quote) return true;
  }
  return false;
}

std::string Quoted(const std::string& line, char quote) {
  std::string result(1, quote);
  for (char c : line) {
    result += c;
    if (c == quote) result += quote;
  }
  result += quote;
  return result;
}

// Reads a quoted part starting at text[pos] (a quote); returns its content and
// leaves `pos` after the closing quote (or at the end when it is missing).
std::string ExtractQuoted(std::string_view text, size_t& pos, char quote) {
  std::string result;
  ++pos;
  while (pos < text.size()) {
    if (text[pos] == quote) {
      if (pos + 1 < text.size() && text[pos + 1] == quote) {
        result += quote;
        pos += 2;
        continue;
      }
      ++pos;
      break;
    }
    result += text[pos++];
  }
  return result;
}

}  // namespace

std::string DelimitedText(const TStrings& lines, char delimiter, char quote) {
  if (lines.size() == 1 && lines.front().empty()) return std::string(2, quote);
  std::string result;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) result += delimiter;
    result += NeedsQuoting(lines[i], delimiter, quote) ? Quoted(lines[i], quote) : lines[i];
  }
  return result;
}

TStrings ParseDelimitedText(std::string_view text, char delimiter, char quote) {
  // The text ends at a NUL byte, as a C string would.
  text = text.substr(0, text.find('\0'));
  TStrings lines;
  size_t pos = 0;
  auto skip_blanks = [&] {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
  };
  skip_blanks();
  while (pos < text.size()) {
    if (text[pos] == quote) {
      lines.push_back(ExtractQuoted(text, pos, quote));
    } else {
      const size_t start = pos;
      while (pos < text.size() && static_cast<unsigned char>(text[pos]) > ' ' &&
             text[pos] != delimiter) {
        ++pos;
      }
      lines.emplace_back(text.substr(start, pos - start));
    }
    skip_blanks();
    if (pos < text.size() && text[pos] == delimiter) {
      if (pos + 1 == text.size()) lines.emplace_back();
      ++pos;
      skip_blanks();
    }
  }
  return lines;
}

}  // namespace veltrano
