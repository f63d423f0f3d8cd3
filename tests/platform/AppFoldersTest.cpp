// Where the program's files live, and atomic replacement of a file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/AppFolders.h"
#include "platform/AtomicFile.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(AppFoldersTest, FollowXdgConfigHomeThenHome) {
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/srv/conf");
    EXPECT_EQ(GetAppDataFolder(), "/srv/conf/Tellurix/Veltrano/");
    EXPECT_EQ(GetConfigFile(), "/srv/conf/Tellurix/Veltrano/Config.Xml");
    EXPECT_EQ(GetProfilesFile(), "/srv/conf/Tellurix/Veltrano/Profiles.ini");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/srv/conf/");
    EXPECT_EQ(GetAppDataFolder(), "/srv/conf/Tellurix/Veltrano/");
  }
  for (const char* ignored : {"", "relative/conf"}) {
    ScopedEnv xdg("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(GetAppDataFolder(), "/home/someone/.config/Tellurix/Veltrano/");
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(GetAppDataFolder(), "/home/someone/.config/Tellurix/Veltrano/");
  EXPECT_EQ(GetDefaultOutputFolder(), "/home/someone/Tellurix转换");
}

TEST(AppFoldersTest, WithoutHomeThePasswordEntryIsUsed) {
  ScopedEnv home("HOME", nullptr);
  ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
  const std::string folder = GetAppDataFolder();
  EXPECT_EQ(folder.front(), '/');
  EXPECT_NE(folder.find("/.config/Tellurix/Veltrano/"), std::string::npos);
}

TEST(AtomicFileTest, ReplacesWholeKeepsPermissionsAndCleansUpOnFailure) {
  const fs::path folder = test::MakeTempFolder("atomic");
  const fs::path file = folder / "data.txt";
  ASSERT_TRUE(WriteFileAtomically(file.string(), "first"));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(WriteFileAtomically(file.string(), "second, longer"));
  std::ifstream in(file);
  std::string text;
  std::getline(in, text);
  EXPECT_EQ(text, "second, longer");
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  const fs::path blocked = folder / "blocked";
  fs::create_directory(blocked);
  EXPECT_FALSE(WriteFileAtomically(blocked.string(), "x"));
  EXPECT_THROW(WriteFileAtomicallyOrThrow(blocked.string(), "x"), EFileWriteError);
  EXPECT_THROW(WriteFileAtomicallyOrThrow((folder / "no/such/folder/f").string(), "x"),
               EFileWriteError);
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++entries;
  EXPECT_EQ(entries, 2u);  // data.txt and the folder, no temporary files
}

}  // namespace
}  // namespace veltrano
