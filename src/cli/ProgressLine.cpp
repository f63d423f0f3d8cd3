#include "cli/ProgressLine.h"

#include <fmt/format.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "cli/TimeText.h"
#include "converter/AVConverter.h"
#include "converter/Utf8.h"

namespace veltrano::cli {
namespace {

bool IsWide(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// `text` cut to `width` columns, "…" marking a cut.
std::string Shortened(const std::string& text, size_t width) {
  if (DisplayWidth(text) <= width) return text;
  if (width == 0) return std::string();
  std::string kept;
  size_t used = 0;
  for (size_t i = 0; i < text.size();) {
    size_t length = 0;
    const size_t columns = IsWide(CodePointAt(text, i, length)) ? 2 : 1;
    if (used + columns > width - 1) break;
    kept += text.substr(i, length);
    used += columns;
    i += length;
  }
  return kept + "…";
}

std::string Seconds(double seconds) {
  return ClockText(seconds < 0 ? -1 : static_cast<int64_t>(seconds));
}

std::string SizeText(int64_t bytes) {
  if (bytes < 1024) return fmt::format("{} B", bytes);
  static const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  return fmt::format("{:.1f} {}", value, units[unit]);
}

}  // namespace

TProgressFigures ReadProgress(const TAVConverter& converter, const std::string& name,
                              std::chrono::steady_clock::time_point started, double frame_rate) {
  TProgressFigures figures;
  figures.name = name;
  figures.percent = converter.Progress();
  figures.processed = std::max(0.0, converter.ConvertedDuration());
  figures.elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  figures.frame_rate = frame_rate;
  const TAVConvertOptions& options = converter.ConvertOptions();
  const double start = static_cast<double>(options.StartTime()) / 1e6;
  const double span = static_cast<double>(options.RecordingTime()) / 1e6;
  const bool limited = options.RecordingTime() < std::numeric_limits<int64_t>::max() / 2;
  if (converter.Duration() > 0) {
    figures.total = std::max(0.0, converter.Duration() - start);
    if (limited) figures.total = std::min(figures.total, span);
  } else if (limited) {
    figures.total = span;
  }
  return figures;
}

std::string ProgressText(const TProgressFigures& f, int width) {
  const double speed = f.elapsed > 0.05 ? f.processed / f.elapsed : 0;
  const bool known_left = speed > 0 && f.total > 0;
  const double left = known_left ? std::max(0.0, f.total - f.processed) / speed : -1;
  // Figures by importance; the last ones go first when the line is narrow.
  std::vector<std::string> parts{
      fmt::format("{:3}%", std::clamp(f.percent, 0, 100)),
      "left " + Seconds(left),
      "elapsed " + Seconds(f.elapsed),
      Seconds(f.processed) + (f.total >= 0 ? "/" + Seconds(f.total) : std::string()),
      speed > 0 ? fmt::format("{:.1f}x", speed) : std::string("-.-x"),
  };
  if (f.frame_rate > 0 && f.elapsed > 0.05) {
    parts.push_back(fmt::format("{:.0f} fps", f.processed * f.frame_rate / f.elapsed));
  }
  const size_t columns = width > 1 ? static_cast<size_t>(width - 1) : 0;
  constexpr size_t kShortestName = 12;
  auto figures_text = [&] {
    // Shown in reading order: percent, times, speed, rate, elapsed, left.
    std::string text = parts[0];
    for (size_t i : {3, 4, 5, 2, 1}) {
      if (i < parts.size()) text += "  " + parts[i];
    }
    return text;
  };
  std::string figures = figures_text();
  while (parts.size() > 2 && DisplayWidth(figures) + 2 + kShortestName > columns) {
    parts.pop_back();
    figures = figures_text();
  }
  if (DisplayWidth(figures) >= columns) return Shortened(figures, columns);
  const size_t room = columns - DisplayWidth(figures) - 2;
  return Shortened(f.name, room) + "  " + figures;
}

std::string SummaryText(const std::string& name, int64_t bytes, double media_seconds,
                        double elapsed) {
  const double speed = elapsed > 0.05 ? media_seconds / elapsed : 0;
  return fmt::format("Done: {}  {}  {} of media in {} ({})", name, SizeText(bytes),
                     Seconds(media_seconds), Seconds(elapsed),
                     speed > 0 ? fmt::format("{:.1f}x real time", speed) : "at once");
}

size_t DisplayWidth(const std::string& text) {
  size_t columns = 0;
  for (size_t i = 0; i < text.size();) {
    size_t length = 0;
    columns += IsWide(CodePointAt(text, i, length)) ? 2 : 1;
    i += length;
  }
  return columns;
}

int TerminalWidth(int fd) {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  const char* columns = std::getenv("COLUMNS");
  const int from_environment = columns != nullptr ? std::atoi(columns) : 0;
  return from_environment > 0 ? from_environment : 80;
}

void TTerminalBlock::Draw(const std::vector<std::string>& lines) {
  if (!enabled_) return;
  if (lines.empty()) {
    Erase();
    return;
  }
  std::string out = shown_ > 1 ? fmt::format("\033[{}A", shown_ - 1) : std::string();
  for (size_t i = 0; i < lines.size(); ++i) {
    out += "\r\033[K" + lines[i] + (i + 1 < lines.size() ? "\n" : "");
  }
  // Fewer lines than before: the rest of the old block goes.
  if (lines.size() < shown_) out += "\033[J";
  std::fputs(out.c_str(), stderr);
  std::fflush(stderr);
  shown_ = lines.size();
}

void TTerminalBlock::Erase() {
  if (!enabled_ || shown_ == 0) return;
  std::string out = shown_ > 1 ? fmt::format("\033[{}A", shown_ - 1) : std::string();
  out += "\r\033[J";
  std::fputs(out.c_str(), stderr);
  std::fflush(stderr);
  shown_ = 0;
}

}  // namespace veltrano::cli
