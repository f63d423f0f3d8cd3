// Where the program keeps its files, as the desktop conventions place them.
#pragma once

#include <string>

namespace veltrano {

// The per-user application-data folder: $XDG_CONFIG_HOME/Tellurix/Veltrano/
// (a relative or empty XDG_CONFIG_HOME is ignored, as the XDG rules say;
// the default is ~/.config). Always ends in "/". Nothing is created.
std::string GetAppDataFolder();

// The configuration file: the application-data folder followed by "Config.Xml".
std::string GetConfigFile();

// The user profile store: the application-data folder followed by "Profiles.ini".
std::string GetProfilesFile();

// The initial output folder for converted files: ~/Tellurix转换 (no trailing "/").
std::string GetDefaultOutputFolder();

// The user's home folder: $HOME, else the password database's entry.
std::string GetHomeFolder();

}  // namespace veltrano
