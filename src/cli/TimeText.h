// Times on the command line and on the terminal.
#pragma once

#include <cstdint>
#include <string>

namespace veltrano::cli {

// Reads a time as people write it: seconds ("90", "2.5"), "MM:SS" ("1:30")
// or "HH:MM:SS" ("1:02:03.5"); only the last field may have a fraction, and
// seconds (and minutes under hours) stay below 60. Returns microseconds;
// throws std::invalid_argument with a message that shows the accepted forms.
int64_t ParseTimeText(const std::string& text);

// Whole seconds as "HH:MM:SS" (hours grow past 99 when they must); a
// negative value, which stands for an unknown time, as "--:--:--".
std::string ClockText(int64_t seconds);

}  // namespace veltrano::cli
