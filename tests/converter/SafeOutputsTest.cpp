// The rules that keep outputs from destroying files: when an output touches
// a source, and how a finished work file takes its name; and a run that the
// first rule refuses.
#include "converter/SafeOutputs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "converter/AVError.h"
#include "converter/DvdStream.h"
#include "converter/StreamProtocol.h"
#include "support/DvdFixture.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"
#include "support/WorkFiles.h"

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
  const std::string work = WorkName(target, false, "0123abcd");
  EXPECT_EQ(work, target + ".0123abcd.part");
  EXPECT_EQ(WorkName("/dev/null", false, "0123abcd"), "/dev/null");

  std::ofstream(work) << "new";
  std::ofstream(target) << "old";
  EXPECT_THROW(
      {
        try {
          PublishOutput(work, target, false, false);
        } catch (const EAVError& e) {
          EXPECT_EQ(std::string(e.what()), "目标文件已存在: " + target);
          throw;
        }
      },
      EAVError);
  EXPECT_EQ(Text(target), "old");
  PublishOutput(work, target, false, true);
  EXPECT_EQ(Text(target), "new");
  EXPECT_FALSE(fs::exists(work));

  // Numbered pictures are written into a folder and moved out of it.
  const std::string pictures = (folder / "img%03d.png").string();
  const fs::path pattern = WorkName(pictures, true, "0123abcd");
  EXPECT_EQ(pattern.filename(), "img%03d.png");
  EXPECT_EQ(pattern.parent_path().filename(), "img03d.png.0123abcd.part");
  fs::create_directories(pattern.parent_path());
  std::ofstream(pattern.parent_path() / "img001.png") << "1";
  std::ofstream(pattern.parent_path() / "img002.png") << "2";
  EXPECT_EQ(FirstTargetFile(pictures, true), (folder / "img001.png").string());
  PublishOutput(pattern.parent_path().string(), pictures, true, false);
  EXPECT_EQ(Text(folder / "img002.png"), "2");
  EXPECT_FALSE(fs::exists(pattern.parent_path()));

  // Only the pictures move: whatever else appeared in the work folder (a
  // file manager's settings, a picture of another pattern) stays there, and
  // so does the folder; a file of that name beside the target is untouched.
  const fs::path work_folder = pattern.parent_path();
  fs::create_directories(work_folder);
  std::ofstream(work_folder / "img1000.png") << "1000";
  std::ofstream(work_folder / "img01.png") << "not ours";
  std::ofstream(work_folder / ".directory") << "not ours";
  std::ofstream(folder / ".directory") << "the user's";
  PublishOutput(work_folder.string(), pictures, true, false);
  EXPECT_EQ(Text(folder / "img1000.png"), "1000");
  EXPECT_FALSE(fs::exists(folder / "img01.png"));
  EXPECT_EQ(Text(work_folder / "img01.png"), "not ours");
  EXPECT_EQ(Text(work_folder / ".directory"), "not ours");
  EXPECT_EQ(Text(folder / ".directory"), "the user's");
}

// A target whose name has the longest length the file system takes still
// has a work name: the name is shortened, never inside a character.
TEST(SafeOutputRules, AWorkNameFitsTheNameLimit) {
  const fs::path folder = MakeTempFolder("long-names");
  std::string name;
  for (int i = 0; i < 83; ++i) name += "视";  // 249 bytes
  name += ".mkv";
  const fs::path work = WorkName((folder / name).string(), false, "0123abcd");
  const std::string file = work.filename().string();
  EXPECT_EQ(work.parent_path(), folder);
  // 241 bytes are left for the name: 80 whole characters take 240.
  EXPECT_EQ(file, name.substr(0, 240) + ".0123abcd.part");
  std::ofstream(work) << "x";
  EXPECT_TRUE(fs::exists(work)) << "the system takes the name";
  EXPECT_NE(NewWorkTag(), NewWorkTag());
}

TEST(SafeOutputRules, OnlyTheRunsOwnWorkFileIsRemoved) {
  const fs::path folder = MakeTempFolder("own-work");
  const std::string work = (folder / "a.mp4.0123abcd.part").string();
  std::ofstream(work) << "written";
  const std::optional<TFileIdentity> created = OwnIdentityOf(work);
  ASSERT_TRUE(created);
  // Another file under that name (the work file was replaced) stays; the
  // run's file lives on under another name, so its inode is not reused.
  fs::rename(work, folder / "moved");
  std::ofstream(work) << "someone's";
  EXPECT_FALSE(RemoveOwnWork(work, created));
  EXPECT_EQ(Text(work), "someone's");
  EXPECT_TRUE(RemoveOwnWork(work, OwnIdentityOf(work)));
  EXPECT_FALSE(fs::exists(work));
  // Known by its name only (the run was killed before it was recorded as
  // created): only an empty file or folder goes.
  std::ofstream(work) << "not empty";
  EXPECT_FALSE(RemoveOwnWork(work, std::nullopt));
  EXPECT_TRUE(fs::exists(work));
  std::ofstream(work, std::ios::trunc).close();
  EXPECT_TRUE(RemoveOwnWork(work, std::nullopt));
  // A folder of pictures goes with its pictures; anything else in it stays,
  // and the folder with it.
  const fs::path pictures = folder / "imgd.png.0123abcd.part";
  const std::string target = (folder / "img%d.png").string();
  fs::create_directory(pictures);
  std::ofstream(pictures / "img1.png") << "1";
  std::ofstream(pictures / "notes.txt") << "someone's";
  EXPECT_FALSE(RemoveOwnWork(pictures.string(), OwnIdentityOf(pictures.string()), target));
  EXPECT_FALSE(fs::exists(pictures / "img1.png"));
  EXPECT_EQ(Text(pictures / "notes.txt"), "someone's");
  fs::remove(pictures / "notes.txt");
  std::ofstream(pictures / "img2.png") << "2";
  EXPECT_TRUE(RemoveOwnWork(pictures.string(), OwnIdentityOf(pictures.string()), target));
  EXPECT_FALSE(fs::exists(pictures));
  EXPECT_FALSE(RemoveOwnWork(pictures.string(), std::nullopt, target));  // nothing there
}

// ".." goes up from where a link leads, as the system (and cp) reads it; a
// last name that is a link stays.
TEST(SafeOutputRules, DotsAreResolvedThroughLinksAsTheSystemDoes) {
  const fs::path folder = MakeTempFolder("dots");
  fs::create_directories(folder / "real" / "inner");
  fs::create_directory_symlink(folder / "real" / "inner", folder / "lnk");
  std::ofstream(folder / "real" / "o.mp4") << "real";
  const std::string through = (folder / "lnk" / ".." / "o.mp4").string();
  EXPECT_EQ(ResolvedPath(through), (folder / "real" / "o.mp4").string());
  EXPECT_EQ(Text(through), "real");  // what the system opens
  fs::create_symlink(folder / "real" / "o.mp4", folder / "link.mp4");
  EXPECT_EQ(ResolvedPath((folder / "." / "link.mp4").string()), (folder / "link.mp4").string());
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
  EXPECT_TRUE(test::WorkFilesOf(vob).empty());
  EXPECT_EQ(RegisteredStreamCount(), streams);
}

// A short audio clip to convert quickly.
fs::path Song() {
  test::TClip clip;
  clip.video = false;
  clip.seconds = 1;
  return test::SharedClip("safe-song.wav", clip);
}

void WavOutput(TAVConverter& converter) {
  converter.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("pcm_s16le");
}

// What a run announced, and what the files were when it did.
struct TAnnounced {
  TOutputRecord record;
  bool work_exists = false;
  bool target_exists = false;
  std::optional<TFileIdentity> work;
  std::optional<TFileIdentity> target;
};

TEST(SafeOutputRuns, ARunAnnouncesEveryFileBeforeItMatters) {
  const fs::path folder = MakeTempFolder("announced");
  const std::string target = (folder / "out.wav").string();
  std::vector<TAnnounced> seen;
  const auto result = test::ConvertFiles({Song().string()}, {target}, [&](TAVConverter& c) {
    WavOutput(c);
    c.SetOnOutput([&](TAVConverter&, const TOutputRecord& record) {
      seen.push_back({record, fs::exists(record.work), fs::exists(target),
                      OwnIdentityOf(record.work), OwnIdentityOf(target)});
    });
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  ASSERT_EQ(seen.size(), 4u);
  const std::vector<TOutputRecord::TStep> steps{
      TOutputRecord::WorkNamed, TOutputRecord::WorkCreated, TOutputRecord::Publishing,
      TOutputRecord::Published};
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].record.step, steps[i]) << i;
    EXPECT_EQ(seen[i].record.target, target);
    EXPECT_EQ(seen[i].record.work, seen[0].record.work);
  }
  EXPECT_EQ(fs::path(seen[0].record.work).parent_path(), folder);
  EXPECT_FALSE(seen[0].work_exists) << "named before it is created";
  ASSERT_TRUE(seen[1].work);
  EXPECT_TRUE(seen[1].work->SameFile(seen[1].record.identity));
  EXPECT_EQ(seen[1].work->size, 0) << "created, and nothing written yet";
  ASSERT_TRUE(seen[2].work);
  EXPECT_EQ(*seen[2].work, seen[2].record.identity) << "the finished file, before its rename";
  EXPECT_FALSE(seen[2].target_exists);
  EXPECT_FALSE(seen[3].work_exists);
  EXPECT_EQ(seen[3].target, seen[2].record.identity);
  EXPECT_EQ(OwnIdentityOf(target), seen[2].record.identity) << "the output keeps that identity";
}

// A record that cannot be written stops the step it announces: nothing is
// published, nothing is left.
TEST(SafeOutputRuns, AFailedRecordStopsTheStepItAnnounces) {
  const fs::path folder = MakeTempFolder("unrecorded");
  for (const TOutputRecord::TStep refused :
       {TOutputRecord::WorkNamed, TOutputRecord::WorkCreated, TOutputRecord::Publishing}) {
    const fs::path target = folder / ("out" + std::to_string(refused) + ".wav");
    std::vector<TOutputRecord::TStep> seen;
    const auto result =
        test::ConvertFiles({Song().string()}, {target.string()}, [&](TAVConverter& c) {
          WavOutput(c);
          c.SetOnOutput([&](TAVConverter&, const TOutputRecord& record) {
            seen.push_back(record.step);
            if (record.step == refused) throw std::runtime_error("the store is gone");
          });
        });
    EXPECT_EQ(result.completed, 1);
    EXPECT_NE(result.error.find("the store is gone"), std::string::npos) << result.error;
    EXPECT_FALSE(fs::exists(target)) << refused;
    EXPECT_TRUE(test::WorkFilesUnder(folder).empty()) << refused;
    // The removal of a work file that was created is announced too.
    const bool created = refused != TOutputRecord::WorkNamed;
    EXPECT_EQ(seen.back(), created ? TOutputRecord::WorkRemoved : refused) << refused;
  }
}

// Nothing that is there is ever opened for writing: a file named like the
// old work name, a source that is a download's ".part", an unrelated one.
TEST(SafeOutputRuns, AFileThatLooksLikeAWorkFileIsNeverTouched) {
  const fs::path folder = MakeTempFolder("part-files");
  const fs::path download = folder / "video.wav.part";
  fs::copy_file(Song(), download);
  const std::string download_bytes = Bytes(download);
  std::ofstream(folder / "x.wav.part") << "unrelated";
  std::ofstream(folder / "x.wav") << "old";
  const auto from_download = test::ConvertFiles(
      {download.string()}, {(folder / "video.wav").string()}, [](TAVConverter& c) {
        WavOutput(c);
        c.SetOverwrite(true);
      });
  EXPECT_TRUE(from_download.Ok()) << from_download.error;
  EXPECT_TRUE(Bytes(download) == download_bytes);
  const auto refused = test::ConvertFiles({Song().string()}, {(folder / "x.wav").string()},
                                          [](TAVConverter& c) { WavOutput(c); });
  EXPECT_EQ(refused.error, "目标文件已存在: " + (folder / "x.wav").string());
  const auto replaced =
      test::ConvertFiles({Song().string()}, {(folder / "x.wav").string()}, [](TAVConverter& c) {
        WavOutput(c);
        c.SetOverwrite(true);
      });
  EXPECT_TRUE(replaced.Ok()) << replaced.error;
  EXPECT_EQ(Text(folder / "x.wav.part"), "unrelated");
  EXPECT_NEAR(test::ProbeMedia(folder / "x.wav").Stream("audio").duration, 1.0, 0.05);
  std::vector<fs::path> left = test::WorkFilesUnder(folder);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<fs::path>{download, folder / "x.wav.part"}));
}

// The folders a run makes for a target it then fails to write go again; the
// folders that were there stay. So does a path too long for the system.
TEST(SafeOutputRuns, AFailedRunRemovesTheFoldersItMade) {
  const fs::path folder = MakeTempFolder("made-folders");
  const fs::path target = folder / "new" / "deeper" / "out.wav";
  const auto odd = test::ConvertFiles({Song().string()}, {target.string()}, [](TAVConverter& c) {
    c.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("libmp3lame");
    c.ConvertOptions().AudioOptions().SetAudioChannels(7);  // refused by the encoder
  });
  EXPECT_FALSE(odd.error.empty());
  EXPECT_FALSE(fs::exists(folder / "new"));
  EXPECT_TRUE(fs::is_directory(folder));

  fs::path deep = folder;
  for (int i = 0; i < 20; ++i) deep /= std::string(250, static_cast<char>('a' + i));
  const auto too_long = test::ConvertFiles({Song().string()}, {(deep / "x.wav").string()},
                                           [](TAVConverter& c) { WavOutput(c); });
  EXPECT_NE(too_long.error.find("File name too long"), std::string::npos) << too_long.error;
  EXPECT_TRUE(fs::is_empty(folder));

  // A kept output keeps the folders made for it.
  const auto kept = test::ConvertFiles({Song().string()}, {target.string()},
                                       [](TAVConverter& c) { WavOutput(c); });
  EXPECT_TRUE(kept.Ok()) << kept.error;
  EXPECT_TRUE(fs::exists(target));
}

}  // namespace
}  // namespace veltrano
