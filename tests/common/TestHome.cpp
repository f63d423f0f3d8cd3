#include "TestHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

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

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace veltrano::test
