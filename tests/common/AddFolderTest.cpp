// A folder as the source of new tasks: which files it brings, in which
// order, which it leaves out and why, and where their targets go.
#include "common/MediaFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::MakeTempFolder;

void Touch(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "x";
}

TEST(AddFolder, NaturalOrderComparesNumbersByValue) {
  std::vector<std::string> names{"ep10.mkv",  "ep2.mkv",    "EP1.mkv",   "ep02b.mkv",
                                 "b/ep1.mkv", "a/ep11.mkv", "a/ep9.mkv", "ep.mkv"};
  std::sort(names.begin(), names.end(), NaturalLess);
  EXPECT_EQ(names, (std::vector<std::string>{"a/ep9.mkv", "a/ep11.mkv", "b/ep1.mkv", "ep.mkv",
                                             "EP1.mkv", "ep2.mkv", "ep02b.mkv", "ep10.mkv"}));
  // A strict order: neither of two equal names comes first; case alone decides last.
  EXPECT_FALSE(NaturalLess("ep2", "ep2"));
  EXPECT_TRUE(NaturalLess("ep2", "ep02") != NaturalLess("ep02", "ep2"));
  EXPECT_TRUE(NaturalLess("clip99999999999999999999", "clip100000000000000000000"));
}

TEST(AddFolder, MediaTypesMapToExtensionsInAnyCase) {
  EXPECT_TRUE(HasMediaExtension("/x/Film.MKV"));
  EXPECT_TRUE(HasMediaExtension("a.b/song.mp3"));
  EXPECT_FALSE(HasMediaExtension("/x/notes.txt"));
  EXPECT_FALSE(HasMediaExtension("/x.mkv/README"));
  EXPECT_FALSE(HasMediaExtension("/x/mkv"));
}

TEST(AddFolder, MixedFolderGivesItsMediaFilesInOrderAndNamesTheRest) {
  const fs::path root = MakeTempFolder("season");
  Touch(root / "ep10.mkv");
  Touch(root / "ep2.mp4");
  Touch(root / "notes.txt");
  Touch(root / "extras" / "making of 1.avi");
  Touch(root / "extras" / "cover.jpg");
  fs::create_directories(root / "empty");
  fs::create_symlink(root / "gone.mkv", root / "lost.mkv");      // a link to nothing
  fs::create_directory_symlink(root, root / "extras" / "loop");  // not followed
  mkfifo((root / "pipe.mkv").c_str(), 0600);                     // never opened
  const bool root_user = geteuid() == 0;  // reads any file, whatever its mode
  if (!root_user) {
    Touch(root / "locked.mkv");
    fs::permissions(root / "locked.mkv", fs::perms::none);
  }

  const TFolderScan scan = ScanMediaFolder(root.string() + "/");
  EXPECT_EQ(scan.root, root.string());
  EXPECT_EQ(scan.files,
            (std::vector<std::string>{(root / "ep2.mp4").string(), (root / "ep10.mkv").string(),
                                      (root / "extras/making of 1.avi").string()}));
  std::vector<std::string> skipped;
  for (const TSkippedFile& file : scan.skipped) {
    skipped.push_back(fs::path(file.path).filename().string() +
                      (file.reason == TSkippedFile::NotMedia ? ": not media" : ": unreadable"));
    if (file.reason == TSkippedFile::Unreadable) {
      EXPECT_FALSE(file.detail.empty());
    }
  }
  std::vector<std::string> expected{"cover.jpg: not media", "lost.mkv: unreadable",
                                    "notes.txt: not media"};
  if (!root_user) expected.insert(expected.begin() + 1, "locked.mkv: unreadable");
  EXPECT_EQ(skipped, expected);
  if (!root_user) fs::permissions(root / "locked.mkv", fs::perms::owner_all);
}

TEST(AddFolder, MissingFolderIsOneUnreadableEntry) {
  const fs::path missing = MakeTempFolder("gone") / "nothing";
  const TFolderScan scan = ScanMediaFolder(missing.string());
  EXPECT_TRUE(scan.files.empty());
  ASSERT_EQ(scan.skipped.size(), 1u);
  EXPECT_EQ(scan.skipped[0].reason, TSkippedFile::Unreadable);
  EXPECT_EQ(scan.skipped[0].path, missing.string());
}

TEST(AddFolder, TargetsKeepTheSubFolderUnderTheOutputFolder) {
  const fs::path out = MakeTempFolder("out");
  const std::string root = "/media/season";
  EXPECT_EQ(FolderTarget("/media/season/disc 1/ep1.v2.mkv", root, out.string(), ".mp4", {}),
            (out / "disc 1" / "ep1.v2.mp4").string());
  // Taken names get a number, as single files do.
  Touch(out / "ep2.mp4");
  EXPECT_EQ(FolderTarget("/media/season/ep2.mkv", root, out.string(), ".mp4", {}),
            (out / "ep2 (2).mp4").string());
  EXPECT_EQ(FolderTarget("/media/season/ep3.mkv", root, out.string(), ".mp4",
                         {(out / "ep3.mp4").string()}),
            (out / "ep3 (2).mp4").string());
  // A file chosen by itself (or outside the root) goes into the output folder.
  EXPECT_EQ(FolderTarget("/elsewhere/clip", "", out.string(), ".mkv", {}),
            (out / "clip.mkv").string());
  EXPECT_EQ(FolderTarget("/media/season2/x.avi", root, out.string(), ".mkv", {}),
            (out / "x.mkv").string());
}

}  // namespace
}  // namespace veltrano
