#include "common/ProfileStore.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "common/IniFile.h"
#include "converter/DeviceCatalogue.h"
#include "converter/ProfileCatalogue.h"
#include "platform/AppFolders.h"

namespace veltrano {

void SaveProfiles(const TAVProfileList& list, const std::string& file_name) {
  const std::filesystem::path folder = std::filesystem::path(file_name).parent_path();
  std::error_code ignored;  // a failure shows when the file is written
  if (!folder.empty()) std::filesystem::create_directories(folder, ignored);

  TIniFile ini(file_name);
  int count = 0;
  for (int i = 0; i < list.ProfileCount(); ++i) {
    const auto* profile = dynamic_cast<const TAVCustomAudioProfile*>(list.Profiles(i));
    if (profile == nullptr) continue;
    profile->SaveToFile(ini, count);
    ++count;
  }
  ini.WriteInteger(kProfileSection, "ProfileCount", count);
  ini.WriteInteger(kProfileSection, kCatalogueVersionKey, kCatalogueVersion);
  ini.UpdateFile();
}

void SaveProfiles(const TAVProfileList& list) {
  SaveProfiles(list, GetProfilesFile());
}

bool LoadProfiles(TAVProfileList& list, const std::string& file_name) {
  std::error_code error;
  if (!std::filesystem::exists(file_name, error)) return false;
  const TIniFile ini(file_name);
  // A store that cannot be read is treated as missing: the catalogue's
  // profiles stay rather than leaving the user with none.
  if (ini.LoadFailed()) return false;
  list.Clear();
  // Every stored profile has keys of its own, so a count beyond the number of
  // keys cannot be genuine; it is not allowed to create millions of profiles.
  const int count =
      std::min(ini.ReadInteger(kProfileSection, "ProfileCount", 0), ini.KeyCount(kProfileSection));
  for (int n = 0; n < count; ++n) {
    std::unique_ptr<TAVCustomAudioProfile> profile;
    if (ini.ReadBool(kProfileSection, ProfileKey("IsVideo", n), false)) {
      profile = std::make_unique<TAVCustomVideoProfile>();
    } else {
      profile = std::make_unique<TAVCustomAudioProfile>();
    }
    profile->LoadFromFile(ini, n);
    list.AddProfile(std::move(profile));
  }
  return true;
}

int StoredCatalogueVersion(const std::string& file_name) {
  const TIniFile ini(file_name);
  return ini.ReadInteger(kProfileSection, kCatalogueVersionKey, 1);
}

bool LoadProfiles(TAVProfileList& list) {
  return LoadProfiles(list, GetProfilesFile());
}

std::unique_ptr<TAVProfileList> CreateProfileList() {
  auto list = std::make_unique<TAVProfileList>();
  BuildCatalogue(*list);
  BuildDeviceCatalogue(*list);
  // A store written before today's category existed holds none of its
  // profiles; they join the user's own until the next save records them.
  if (LoadProfiles(*list) && StoredCatalogueVersion(GetProfilesFile()) < kCatalogueVersion) {
    for (std::unique_ptr<TAVProfile>& profile : DeviceCatalogueProfiles()) {
      if (dynamic_cast<TAVCustomAudioProfile*>(profile.get()) != nullptr) {
        list->AddProfile(std::move(profile));
      }
    }
  }
  // The stored profiles come after the catalogue's fixed ones: the remux
  // profiles go back to the end of their category.
  std::vector<TAVProfile*> remux;
  for (int i = 0; i < list->ProfileCount(); ++i) {
    if (dynamic_cast<TAVRemuxProfile*>(list->Profiles(i)) != nullptr) {
      remux.push_back(list->Profiles(i));
    }
  }
  for (TAVProfile* profile : remux) profile->SetIndex(list->ProfileCount());
  return list;
}

}  // namespace veltrano
