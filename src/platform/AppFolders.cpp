#include "platform/AppFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace veltrano {

std::string GetHomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
      result != nullptr && result->pw_dir != nullptr) {
    return result->pw_dir;
  }
  return "/";
}

std::string GetAppDataFolder() {
  std::string base;
  const char* config_home = std::getenv("XDG_CONFIG_HOME");
  if (config_home != nullptr && config_home[0] == '/') {
    base = config_home;
  } else {
    base = GetHomeFolder();
    if (base.empty() || base.back() != '/') base += '/';
    base += ".config";
  }
  if (base.empty() || base.back() != '/') base += '/';
  return base + "Tellurix/Veltrano/";
}

std::string GetConfigFile() {
  return GetAppDataFolder() + "Config.Xml";
}

std::string GetProfilesFile() {
  return GetAppDataFolder() + "Profiles.ini";
}

std::string GetDefaultOutputFolder() {
  std::string home = GetHomeFolder();
  if (home.empty() || home.back() != '/') home += '/';
  return home + "Tellurix转换";
}

}  // namespace veltrano
