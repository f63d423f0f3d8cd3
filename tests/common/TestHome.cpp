#include "TestHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/PersistentManager.h"
#include "platform/AppFolders.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

class RedirectedHome : public ::testing::Environment {
 public:
  void SetUp() override {
    const fs::path home = MakeTempFolder("home");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
  }
};

[[maybe_unused]] ::testing::Environment* const kRedirectedHome =
    ::testing::AddGlobalTestEnvironment(new RedirectedHome);

}  // namespace

std::filesystem::path UseFreshConfigHome(const std::string& hint) {
  const fs::path folder = MakeTempFolder(hint) / "config";
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  return folder;
}

std::string CreateOlderStore(const std::string& more) {
  const std::string folder = GetAppDataFolder();
  fs::create_directories(folder);
  const std::string file = TPersistentManager::DatabaseFile(folder);
  const std::string tables =
      "create table conversions (ID integer primary key, Converting integer, ConvertSettings "
      "text, ConvertedDate text, CategoryId integer, Log text);"
      "create table categories (ID integer primary key, Category text, Path text, Parent integer);"
      "insert into categories values(1, 'root', '/tmp', -1);"
      "insert into conversions(Converting, ConvertSettings) values(1, '<data/>');";
  EXPECT_EQ(RunCommand("sqlite3 " + ShellQuote(file) + " " + ShellQuote(tables + more)).exit_code,
            0);
  return file;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace veltrano::test
