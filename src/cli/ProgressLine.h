// Progress on a terminal: one line per running conversion, redrawn in
// place, and a one-line summary when a conversion ends.
//
// The figures come from the engine (percent, the processed time of the
// source) and from the command's own clock, which starts when the
// conversion is started: elapsed time is never negative and is known from
// the first tick. Unknown times show as "--:--:--".
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace veltrano {
class TAVConverter;
}

namespace veltrano::cli {

struct TProgressFigures {
  std::string name;       // what is converted; shortened to fit
  int percent = 0;        // shown within 0..100
  double processed = 0;   // seconds of the source converted so far
  double total = -1;      // seconds to convert; negative when unknown
  double elapsed = 0;     // seconds since the conversion started
  double frame_rate = 0;  // the source's pictures per second; 0 without video
};

// The figures of `converter`'s run as it stands; `frame_rate` of the source
// (0 when unknown or without video).
TProgressFigures ReadProgress(const TAVConverter& converter, const std::string& name,
                              std::chrono::steady_clock::time_point started, double frame_rate);

// "NAME  42%  00:00:12/00:00:30  2.5x  62 fps  elapsed 00:00:05  left 00:00:07",
// at most `width` - 1 columns wide: the name is shortened first, then the
// less important figures go.
std::string ProgressText(const TProgressFigures& figures, int width);

// "Done: NAME  1.4 MiB  00:00:10 of media in 00:00:03 (3.3x real time)".
std::string SummaryText(const std::string& name, int64_t bytes, double media_seconds,
                        double elapsed);

// Columns a text takes on a terminal (East Asian wide characters take two).
size_t DisplayWidth(const std::string& text);

// The width of the terminal on `fd`; COLUMNS or 80 when it cannot be asked.
int TerminalWidth(int fd);

// Lines redrawn in place on a terminal (stderr); anything else printed
// must erase them first.
class TTerminalBlock {
 public:
  explicit TTerminalBlock(bool enabled) : enabled_(enabled) {}
  bool Enabled() const { return enabled_; }
  void Draw(const std::vector<std::string>& lines);
  void Erase();
  // Leaves the lines on screen: the next Draw starts below them.
  void Keep() { shown_ = 0; }

 private:
  bool enabled_;
  size_t shown_ = 0;  // lines on screen
};

}  // namespace veltrano::cli
