#include "converter/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace veltrano {
namespace {

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string FloatToText(double value) {
  char buffer[64];
  auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  if (ec != std::errc()) return "0";
  return std::string(buffer, end);
}

std::optional<double> TextToFloat(std::string_view text) {
  std::string normal(Trimmed(text));
  if (normal.find('.') == std::string::npos) {
    const size_t comma = normal.find(',');
    if (comma != std::string::npos && normal.find(',', comma + 1) == std::string::npos) {
      normal[comma] = '.';
    }
  }
  const char* begin = normal.data();
  const char* end = begin + normal.size();
  if (begin != end && *begin == '+') ++begin;
  double value = 0;
  auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int64_t> TextToInt64(std::string_view text) {
  text = Trimmed(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
  uint64_t magnitude = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (negative) {
    if (magnitude > kMax + 1) return std::nullopt;
    return magnitude == kMax + 1 ? std::numeric_limits<int64_t>::min()
                                 : -static_cast<int64_t>(magnitude);
  }
  if (magnitude > kMax) return std::nullopt;
  return static_cast<int64_t>(magnitude);
}

std::optional<int32_t> TextToInt32(std::string_view text) {
  const std::optional<int64_t> value = TextToInt64(text);
  if (!value || *value < std::numeric_limits<int32_t>::min() ||
      *value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(*value);
}

}  // namespace veltrano
