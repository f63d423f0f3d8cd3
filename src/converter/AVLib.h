// Binding to the media libraries and three small formatting helpers.
//
// FFmpeg is linked at build time; "loading" installs the engine's log router
// as the library's log callback and registers the capture devices, once per
// process, and makes the process ignore SIGXFSZ, so that a file-size limit
// fails the write that meets it instead of ending the process. Every engine or preview object calls
// LoadMediaLibraries when it is created; it is idempotent.
#pragma once

#include <cstdint>
#include <string>

namespace veltrano {

void LoadMediaLibraries();
void UnloadMediaLibraries();
bool MediaLibrariesLoaded();

// Seconds as "HH:NN:SS.zzz" (milliseconds truncated); 3725.5 gives "01:02:05.500".
// Hours are not limited to 23: 90000 s gives "25:00:00.000".
std::string SecondsToTimeText(double seconds);

// Whole seconds as "%d:%d:%d" without padding; 3725 gives "1:2:5".
std::string SecondsToClockText(int64_t seconds);

// Exchanges the lowest and the third byte and drops the highest
// (blue-green-red order becomes red-green-blue order and back).
uint32_t SwapRedBlue(uint32_t colour);

}  // namespace veltrano
