#include "common/ProfileOptions.h"

#include <thread>

#include "converter/AVConverter.h"

namespace veltrano {

int32_t ConversionThreadCount(const TAVConfiguration& configuration) {
  const int32_t configured = configuration.PerformanceOptions().ThreadCount();
  if (configured > 0) return configured;
  const unsigned processors = std::thread::hardware_concurrency();
  return processors > 0 ? static_cast<int32_t>(processors) : 1;
}

void PrepareProfileOptions(TAVConvertOptions& options, const TAVProfile& profile,
                           const TAVConfiguration& configuration) {
  options.SetInputFormat("");
  options.SetThreadCount(ConversionThreadCount(configuration));
  profile.ApplyProfile(options);
  if (!configuration.CopyFittingStreams()) options.SetCopyFittingStreams(false);
}

void PrepareProfileOptions(TAVConverter& converter, const TAVProfile& profile,
                           const TAVConfiguration& configuration) {
  PrepareProfileOptions(converter.ConvertOptions(), profile, configuration);
}

}  // namespace veltrano
