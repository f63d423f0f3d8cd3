#include "common/TargetNames.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/MediaFixture.h"

namespace veltrano {
namespace {

using test::MakeTempFolder;

TEST(TargetNames, NumbersBeforeTheExtensionPastFilesAndReservedTargets) {
  const auto folder = MakeTempFolder("target-names");
  const std::string wanted = (folder / "film.mp4").string();
  EXPECT_EQ(FreeTargetName(wanted, {}), wanted);

  std::ofstream(folder / "film.mp4") << "x";
  const std::string second = (folder / "film (2).mp4").string();
  EXPECT_EQ(FreeTargetName(wanted, {}), second);
  // Another unfinished task already targets "film (2).mp4".
  EXPECT_EQ(FreeTargetName(wanted, {second}), (folder / "film (3).mp4").string());
  // A free name that only another task targets is taken as well.
  const std::string other = (folder / "other.mp3").string();
  EXPECT_EQ(FreeTargetName(other, {other}), (folder / "other (2).mp3").string());
}

TEST(TargetNames, ADotInAFolderIsNotAnExtension) {
  const auto folder = MakeTempFolder("target.names");
  std::ofstream(folder / "noext") << "x";
  EXPECT_EQ(FreeTargetName((folder / "noext").string(), {}), (folder / "noext (2)").string());
}

}  // namespace
}  // namespace veltrano
