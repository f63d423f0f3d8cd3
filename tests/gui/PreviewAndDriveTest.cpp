#include <gtest/gtest.h>

#include <QImage>

#include <fstream>

#include "GuiTestSupport.h"
#include "gui/AVPreviewWidget.h"
#include "gui/DvdComboBox.h"
#include "support/MediaFixture.h"

namespace veltrano::gui::test {
namespace {

namespace fs = std::filesystem;
using veltrano::test::MakeTempFolder;

// 162x64 (a width that is not a multiple of 4): red left half, blue right
// half, in an MPEG-TS file, which starts at 1.4 s.
fs::path SplitClip() {
  const fs::path path = MakeTempFolder("preview") / "split.ts";
  const std::string command =
      "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "
      "'color=red:s=81x64:r=25:d=2[a];color=blue:s=81x64:r=25:d=2[b];[a][b]hstack' "
      "-c:v mpeg2video -q:v 2 " +
      veltrano::test::ShellQuote(path.string());
  const veltrano::test::TCommandResult made = veltrano::test::RunCommand(command);
  EXPECT_EQ(made.exit_code, 0) << made.output;
  return path;
}

bool Reddish(QRgb pixel) {
  return qRed(pixel) > 180 && qBlue(pixel) < 80;
}
bool Bluish(QRgb pixel) {
  return qBlue(pixel) > 180 && qRed(pixel) < 80;
}

TEST(PreviewWidget, PaintsTheFrameUnskewedOverTheControlAndBlackWhenInactive) {
  const fs::path clip = SplitClip();
  ASSERT_GT(veltrano::test::ProbeMedia(clip).start_time, 0.5);
  TAVPreviewWidget preview;
  preview.resize(162, 64);
  QImage picture = preview.grab().toImage();
  EXPECT_EQ(picture.pixel(80, 30), qRgb(0, 0, 0));

  // The picture is read on the preview's own thread and arrives afterwards.
  int opened = 0;
  QObject::connect(&preview, &TAVPreviewWidget::Opened, [&opened] { ++opened; });
  preview.Open(clip.string());
  EXPECT_FALSE(preview.Active());
  ASSERT_TRUE(SpinUntil([&] { return opened == 1; }));
  ASSERT_TRUE(preview.Active());
  EXPECT_FALSE(preview.Busy());
  EXPECT_NEAR(preview.Duration(), 2.0, 0.1);
  picture = preview.grab().toImage();
  for (int y : {0, 32, 63}) {
    EXPECT_TRUE(Reddish(picture.pixel(70, y))) << y;
    EXPECT_TRUE(Bluish(picture.pixel(92, y))) << y;
  }

  // Stretched: at twice the size the halves are still halves.
  preview.resize(324, 128);
  picture = preview.grab().toImage();
  EXPECT_TRUE(Reddish(picture.pixel(150, 120)));
  EXPECT_TRUE(Bluish(picture.pixel(174, 120)));

  // Of several times asked for meanwhile, the last is shown; a close makes
  // the control black at once, and what was asked before it shows no more.
  for (double seconds : {0.2, 0.6, 1.0, 1.4}) preview.SetTimestamp(seconds);
  EXPECT_TRUE(preview.Busy());
  ASSERT_TRUE(SpinUntil([&] { return !preview.Busy(); }));
  EXPECT_TRUE(Reddish(preview.grab().toImage().pixel(150, 120)));
  preview.SetTimestamp(0.4);
  preview.Close();
  EXPECT_EQ(preview.grab().toImage().pixel(80, 30), qRgb(0, 0, 0));
  Spin(300);
  EXPECT_FALSE(preview.Active());
  EXPECT_EQ(preview.grab().toImage().pixel(80, 30), qRgb(0, 0, 0));
  EXPECT_EQ(opened, 1);
}

// A mount table with one DVD mounted at `dvd` (a folder holding VIDEO_TS).
TDriveSystemPaths FakeDrives(const fs::path& root, const fs::path& dvd) {
  fs::create_directories(root / "dev");
  std::ofstream(root / "dev" / "sr0") << "";
  TDriveSystemPaths paths;
  paths.dev = (root / "dev").string();
  paths.by_label = (root / "by-label").string();
  paths.mountinfo = (root / "mountinfo").string();
  std::ofstream(paths.mountinfo) << "40 29 11:0 / " << dvd.string() << " ro shared:7 - udf "
                                 << paths.dev << "/sr0 ro\n";
  return paths;
}

TEST(DvdCombo, KeepsOpenedFoldersAndTheSelectionAcrossRebuilds) {
  const fs::path root = MakeTempFolder("combo");
  const fs::path disc = root / "media" / "disc";
  fs::create_directories(disc / "VIDEO_TS");
  std::ofstream(disc / "VIDEO_TS" / "VIDEO_TS.IFO") << "DVDVIDEO-VMG";
  TDvdCombo combo(nullptr, FakeDrives(root, disc));
  ASSERT_EQ(combo.count(), 1);
  EXPECT_EQ(combo.currentIndex(), -1);  // nothing is scanned until the user picks
  EXPECT_EQ(combo.itemText(0), QString::fromStdString(disc.string() + ": []"));

  int selected = 0;
  QObject::connect(&combo, &TDvdCombo::Selected, [&] { ++selected; });
  const int added = combo.AddSource("/videos/Movie.iso", "MOVIE");
  EXPECT_EQ(added, 1);
  EXPECT_EQ(combo.AddSource("/videos/Movie.iso", "MOVIE"), 1);
  EXPECT_EQ(combo.itemText(1), QStringLiteral("/videos/Movie.iso: [movie]"));
  combo.setCurrentIndex(1);
  combo.SetTextCase(TTextCase::Upper);  // rebuilds
  EXPECT_EQ(combo.itemText(1), QStringLiteral("/videos/Movie.iso: [MOVIE]"));
  EXPECT_EQ(combo.Drive(), "/videos/Movie.iso");
  EXPECT_EQ(combo.VolumeLabel(), "MOVIE");
  EXPECT_EQ(selected, 0);  // only a user's pick is a selection

  // The disc goes away: its entry leaves, the opened image stays selected.
  std::ofstream(root / "mountinfo", std::ios::trunc) << "";
  combo.Rebuild();
  ASSERT_EQ(combo.count(), 1);
  EXPECT_EQ(combo.Drive(), "/videos/Movie.iso");
}

TEST(DvdCombo, FollowsDiscsAsTheyAreMountedAndUnmounted) {
  const fs::path root = MakeTempFolder("mounts");
  const fs::path device = root / "dev" / "sr0";
  const fs::path point = root / "disc";
  fs::create_directories(device.parent_path());
  fs::create_directories(point);
  std::ofstream(device) << "";
  TDriveSystemPaths paths;  // the real mount table
  paths.dev = device.parent_path().string();
  paths.by_label = (root / "by-label").string();
  TDvdCombo combo(nullptr, paths);
  EXPECT_EQ(combo.count(), 0);

  using veltrano::test::RunCommand;
  using veltrano::test::ShellQuote;
  const std::string unmount = "umount " + ShellQuote(point.string());
  if (RunCommand("mount -t tmpfs " + ShellQuote(device.string()) + " " + ShellQuote(point.string()))
          .exit_code != 0) {
    GTEST_SKIP() << "mounting needs privileges this run does not have";
  }
  struct TUnmount {
    std::string command;
    ~TUnmount() { RunCommand(command); }
  } unmount_at_end{unmount};
  fs::create_directories(point / "VIDEO_TS");
  std::ofstream(point / "VIDEO_TS" / "VIDEO_TS.IFO") << "DVDVIDEO-VMG";
  EXPECT_TRUE(SpinUntil([&] { return combo.count() == 1; }));
  EXPECT_EQ(RunCommand(unmount).exit_code, 0);
  EXPECT_TRUE(SpinUntil([&] { return combo.count() == 0; }));
}

TEST(DvdCombo, DvdRootsOfFoldersFilesAndImages) {
  const fs::path disc = MakeTempFolder("root") / "Holiday";
  fs::create_directories(disc / "VIDEO_TS");
  std::ofstream(disc / "VIDEO_TS" / "VIDEO_TS.IFO") << "DVDVIDEO-VMG";
  EXPECT_EQ(DvdRootOf(disc.string()), disc.string());
  EXPECT_EQ(DvdRootOf((disc / "VIDEO_TS").string()), disc.string());
  EXPECT_EQ(DvdRootOf((disc / "VIDEO_TS").string() + "/"), disc.string());
  EXPECT_EQ(DvdRootOf((disc / "VIDEO_TS" / "VIDEO_TS.IFO").string()), disc.string());
  EXPECT_EQ(DvdRootOf("/videos/a.iso"), "/videos/a.iso");
  // A folder that the navigation cannot read gets the folder's name.
  EXPECT_EQ(DvdSourceLabel(disc.string()), "Holiday");
  EXPECT_EQ(DvdSourceLabel("/videos/Summer.iso"), "Summer");
}

}  // namespace
}  // namespace veltrano::gui::test
