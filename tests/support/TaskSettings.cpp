#include "support/TaskSettings.h"

#include <gtest/gtest.h>

#include <limits>

#include "common/Configuration.h"
#include "common/ProfileOptions.h"
#include "common/ProfileStore.h"

namespace veltrano::test {

std::unique_ptr<TConversionSettings> MakeTaskSettings(const std::filesystem::path& source,
                                                      const std::filesystem::path& target,
                                                      int category,
                                                      const std::string& profile_name) {
  static const std::unique_ptr<TAVProfileList> profiles = CreateProfileList();
  const TAVProfile* profile = profiles->FindProfile(profile_name);
  EXPECT_NE(profile, nullptr) << profile_name;
  if (profile == nullptr) return nullptr;
  TAVConvertOptions options;
  options.SetRecordingTime(std::numeric_limits<int64_t>::max());
  PrepareProfileOptions(options, *profile, AVConfiguration());
  TStrings codec_options = options.CodecOptions();
  codec_options.push_back("veltranomarker=1");
  options.SetCodecOptions(codec_options);
  auto settings = std::make_unique<TConversionSettings>();
  settings->SetSourceFile(source.string());
  settings->SetTargetFile(target.string());
  settings->SetProfile(profile->Description());
  settings->SetCategoryId(category);
  settings->SetConvertOptions(options);
  return settings;
}

}  // namespace veltrano::test
