// How large a conversion's output will be, known before it runs.
//
// Each output stream counts with its bit rate × the converted duration:
// - a bit rate the options give counts as it is (one figure);
// - constant quality (video CRF/CQ, an audio VBR scale) gives a range: the
//   ceiling of the quality class (StreamFit.h: about twice what an encode at
//   that quality gives, for the output's size and frame rate) is the top,
//   a quarter of it the bottom;
// - a copied stream counts with the source's bit rate;
// - lossless sound: PCM exactly, FLAC and ALAC 40 % to 70 % of PCM;
// - anything else (an encoder's own default rate, a codec without a quality
//   scale) half to one and a half times the source stream's rate, or, when
//   that is unknown, 64 to 192 kbit/s for sound and nothing for pictures
//   (the estimate is then unknown).
// Container overhead and subtitles are left out (they are small).
#pragma once

#include <cstdint>
#include <string>

#include "converter/AVOptions.h"
#include "converter/AVProbe.h"

namespace veltrano {

struct TSizeEstimate {
  int64_t low = 0;  // bytes
  int64_t high = 0;
  bool known = false;

  bool IsRange() const { return low != high; }
  TSizeEstimate& operator+=(const TSizeEstimate& other);
};

// The seconds of a `source_duration` long source that `options` convert
// (their start time and span); 0 when the duration is unknown.
double ConvertedSeconds(const TAVConvertOptions& options, double source_duration);

// The estimated size of converting `source` with `options` (prepared for
// the profile, with any track choice) into `target`.
TSizeEstimate EstimateOutputSize(const TAVConvertOptions& options, const TProbedMedia& source,
                                 const std::string& target);

// "12.3 MB", "850 KB", "1.20 GB" (units of 1024).
std::string ByteSizeText(int64_t bytes);
// "12.3 MB", or "8.1 MB – 20.4 MB" for a range; "?" when unknown.
std::string EstimateText(const TSizeEstimate& estimate);
// The log line after a conversion: "大小: 预计 12.3 MB, 实际 12.9 MB (+5%)"; for a
// range, the real size against it ("在预计范围内", "比预计多 20%").
std::string EstimateAgainstRealText(const TSizeEstimate& estimate, int64_t real);

}  // namespace veltrano
