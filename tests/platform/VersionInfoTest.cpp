#include "platform/VersionInfo.h"

#include <gtest/gtest.h>

#include <regex>

namespace veltrano::test {
namespace {

TEST(TVersionInfo, FileVersionIsTheProjectVersionAndUnknownNamesRaise) {
  const TVersionInfo info;
  EXPECT_EQ(info.Value("FileVersion"), VELTRANO_VERSION);
  EXPECT_TRUE(std::regex_match(info.Value("FileVersion"), std::regex(R"(\d+\.\d+\.\d+(\.\d+)?)")))
      << info.Value("FileVersion");
  EXPECT_EQ(info.Value("fileversion"), info.Value("FileVersion"));
  try {
    info.Value("FileVersion2");
    FAIL() << "an unknown name must raise";
  } catch (const EVersionInfoError& error) {
    EXPECT_STREQ(error.what(), "Key not found");
  }
  EXPECT_THROW(info.Value(""), EVersionInfoError);
}

}  // namespace
}  // namespace veltrano::test
