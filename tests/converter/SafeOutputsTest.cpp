// The rules that keep outputs from destroying files: when an output touches
// a source, and how a finished work file takes its name; and a run that the
// first rule refuses.
#include "converter/SafeOutputs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "converter/AVError.h"
#include "converter/DvdStream.h"
#include "converter/StreamProtocol.h"
#include "support/DvdFixture.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;
using test::MakeTempFolder;

std::string Text(const fs::path& file) {
  std::ifstream in(file);
  std::string text;
  std::getline(in, text);
  return text;
}

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SafeOutputRules, AnOutputTouchesItsSourceByAnyNameAndADiscByItsFiles) {
  const fs::path folder = MakeTempFolder("touch");
  const fs::path source = folder / "a.mp4";
  std::ofstream(source) << "source";
  fs::create_directory(folder / "sub");
  fs::create_symlink(source, folder / "link.mp4");
  fs::create_hard_link(source, folder / "hard.mp4");
  for (const fs::path& same :
       {source, folder / "sub" / ".." / "a.mp4", folder / "link.mp4", folder / "hard.mp4"}) {
    EXPECT_TRUE(OutputTouchesSource(same.string(), source.string())) << same;
  }
  EXPECT_FALSE(OutputTouchesSource((folder / "b.mp4").string(), source.string()));
  // A disc given by its folder: its files are sources, a new file beside them is not.
  const fs::path disc = folder / "DISC";
  fs::create_directories(disc / "VIDEO_TS");
  std::ofstream(disc / "VIDEO_TS" / "VTS_01_1.VOB") << "title";
  EXPECT_TRUE(OutputTouchesSource((disc / "VIDEO_TS" / "VTS_01_1.VOB").string(), disc.string()));
  EXPECT_FALSE(OutputTouchesSource((disc / "new.mp4").string(), disc.string()));
  EXPECT_FALSE(OutputTouchesSource("/dev/null", source.string()));
}

TEST(SafeOutputRules, AWorkFileTakesItsNameOnlyWhereNothingIsLost) {
  const fs::path folder = MakeTempFolder("publish");
  const std::string target = (folder / "out.mp4").string();
  EXPECT_EQ(WorkName(target, false), target + ".part");
  EXPECT_EQ(WorkName("/dev/null", false), "/dev/null");

  std::ofstream(target + ".part") << "new";
  std::ofstream(target) << "old";
  EXPECT_THROW(
      {
        try {
          PublishOutput(target, false, false);
        } catch (const EAVError& e) {
          EXPECT_EQ(std::string(e.what()), "目标文件已存在: " + target);
          throw;
        }
      },
      EAVError);
  EXPECT_EQ(Text(target), "old");
  PublishOutput(target, false, true);
  EXPECT_EQ(Text(target), "new");
  EXPECT_FALSE(fs::exists(target + ".part"));

  // Numbered pictures are written into a folder and moved out of it.
  const std::string pictures = (folder / "img%03d.png").string();
  const fs::path work = WorkName(pictures, true);
  EXPECT_EQ(work.filename(), "img%03d.png");
  EXPECT_EQ(work.parent_path().string().find('%'), std::string::npos);
  fs::create_directories(work.parent_path());
  std::ofstream(work.parent_path() / "img001.png") << "1";
  std::ofstream(work.parent_path() / "img002.png") << "2";
  EXPECT_EQ(FirstTargetFile(pictures, true), (folder / "img001.png").string());
  PublishOutput(pictures, true, false);
  EXPECT_EQ(Text(folder / "img002.png"), "2");
  EXPECT_FALSE(fs::exists(work.parent_path()));
  RemoveWorkFiles(target, false);  // nothing there: nothing happens
}

// A run of a DVD title refused for writing onto its disc opens nothing: the
// disc's file is untouched and the title stream handed to it is not kept.
TEST(SafeOutputRuns, ATitleIsNeverWrittenOntoItsDisc) {
  const fs::path disc = MakeTempFolder("disc-target") / "disc";
  fs::copy(test::SharedDvd().folder, disc, fs::copy_options::recursive);
  const fs::path vob = disc / "VIDEO_TS" / "VTS_01_1.VOB";
  const std::string before = Bytes(vob);
  const int streams = RegisteredStreamCount();
  const auto result = test::ConvertFiles({OpenDvdTitleStream(disc.string(), 1)}, {vob.string()},
                                         [](TAVConverter& c) { c.SetOverwrite(true); });
  ASSERT_TRUE(result.ended);
  EXPECT_EQ(result.error, "输出文件与源文件相同: " + vob.string());
  EXPECT_TRUE(Bytes(vob) == before) << "the disc's file changed";
  EXPECT_FALSE(fs::exists(vob.string() + ".part"));
  EXPECT_EQ(RegisteredStreamCount(), streams);
}

}  // namespace
}  // namespace veltrano
