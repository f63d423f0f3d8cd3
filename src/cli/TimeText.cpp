#include "cli/TimeText.h"

#include <fmt/format.h>

#include <cmath>
#include <regex>
#include <stdexcept>

namespace veltrano::cli {

int64_t ParseTimeText(const std::string& text) {
  // [[HH:]MM:]SS[.fraction]
  static const std::regex form(R"((?:(?:(\d+):)?(\d+):)?(\d+)(?:\.(\d*))?)");
  std::smatch m;
  if (!std::regex_match(text, m, form)) {
    throw std::invalid_argument("'" + text +
                                "' is not a time: write seconds (90 or 2.5), MM:SS (1:30) or "
                                "HH:MM:SS (1:02:03.5)");
  }
  const bool has_minutes = m[2].matched;
  const bool has_hours = m[1].matched;
  const double hours = has_hours ? std::stod(m[1]) : 0;
  const double minutes = has_minutes ? std::stod(m[2]) : 0;
  const double seconds = std::stod(m[3].str() + "." + (m[4].matched ? m[4].str() : "") + "0");
  if ((has_minutes && seconds >= 60) || (has_hours && minutes >= 60)) {
    throw std::invalid_argument("'" + text + "' is not a time: minutes and seconds go up to 59");
  }
  const double total = (hours * 60 + minutes) * 60 + seconds;
  if (total > 1e12) throw std::invalid_argument("'" + text + "' is too long a time");
  return std::llround(total * 1e6);
}

std::string ClockText(int64_t seconds) {
  if (seconds < 0) return "--:--:--";
  return fmt::format("{:02}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

}  // namespace veltrano::cli
