// Preparing a converter's options for a profile the way the new-conversion
// wizard does: the input format is detected from the data, the thread count
// comes from the configuration (one per processor when it says 0), then the
// profile applies its settings.
#pragma once

#include <cstdint>

#include "common/Configuration.h"
#include "converter/AVOptions.h"
#include "converter/AVProfile.h"

namespace veltrano {

class TAVConverter;

// The encoder thread count of a new conversion: the configuration's
// ThreadCount, or the number of processors when that is 0 (or negative).
int32_t ConversionThreadCount(const TAVConfiguration& configuration);

// Clears InputFormat, sets ThreadCount, then applies `profile` (which may
// raise EAVError for an unknown encoder or format ordinal); streams that fit
// are not copied when the configuration says so.
void PrepareProfileOptions(TAVConvertOptions& options, const TAVProfile& profile,
                           const TAVConfiguration& configuration);
void PrepareProfileOptions(TAVConverter& converter, const TAVProfile& profile,
                           const TAVConfiguration& configuration);

}  // namespace veltrano
