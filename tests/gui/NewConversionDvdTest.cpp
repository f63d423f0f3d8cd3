#include <gtest/gtest.h>

#include <QFileDialog>
#include <QTabWidget>

#include <fstream>

#include "WizardTestSupport.h"
#include "common/ProfileStore.h"
#include "common/TaskFixture.h"
#include "converter/StreamProtocol.h"
#include "gui/DvdComboBox.h"
#include "gui/FileNameEdit.h"
#include "gui/TimeBar.h"
#include "support/DvdFixture.h"

namespace veltrano::gui::test {
namespace {

using veltrano::test::SharedDvd;

QStringList Entries(const QComboBox* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
  return texts;
}

// Shows the "Dvd" tab and opens `path` through "打开DVD文件夹或映像…".
void OpenDvd(TFormNewConversion& wizard, const fs::path& path) {
  Child<QTabWidget>(&wizard, "tabSource")->setCurrentIndex(1);
  auto pick =
      WhenModalOpens<QFileDialog>([&](QFileDialog* dialog) { AcceptFileDialog(dialog, path); });
  Child<QPushButton>(&wizard, "btnOpenDvd")->click();
  EXPECT_TRUE(pick->Done());
  // The scan runs beside the wizard.
  EXPECT_TRUE(SpinUntil([&] { return !wizard.Busy(); }, 30000));
}

using NewConversionDvd = WizardTest;

TEST_F(NewConversionDvd, FolderScanListsTitlesAnglesAndChaptersAndNamesTheTarget) {
  auto wizard = Wizard();
  Choose(*wizard, QStringLiteral("视频"), QStringLiteral("MPEG-4视频"));
  OpenDvd(*wizard, SharedDvd().folder);
  EXPECT_TRUE(messages->Errors().empty());
  auto* titles = Child<QComboBox>(wizard.get(), "cbbTitle");
  auto* angles = Child<QComboBox>(wizard.get(), "cbbAngle");
  auto* first = Child<QComboBox>(wizard.get(), "cbbChapter");
  auto* last = Child<QComboBox>(wizard.get(), "cbbThrough");
  EXPECT_EQ(Entries(titles), (QStringList{"1(00:00:06)", "2(00:00:04)"}));
  EXPECT_EQ(Entries(angles), QStringList{"1"});
  EXPECT_EQ(Entries(first), (QStringList{"1", "2", "3"}));
  EXPECT_EQ(first->currentText(), QStringLiteral("1"));
  EXPECT_EQ(last->currentText(), QStringLiteral("3"));
  for (QComboBox* list : {angles, first, last}) EXPECT_FALSE(list->isEnabled());
  EXPECT_EQ(Child<TDvdCombo>(wizard.get(), "FCbbDvd")->VolumeLabel(), "dvd");
  EXPECT_EQ(Target(*wizard), QString::fromStdString(Out("dvd_1.mp4")));
  // The preview reads the title through a stream of its own.
  EXPECT_TRUE(SpinUntil([&] { return Child<TTimeBar>(wizard.get(), "barTime")->isEnabled(); }));

  titles->setCurrentIndex(1);
  EXPECT_EQ(Entries(last), (QStringList{"1", "2"}));
  EXPECT_EQ(last->currentText(), QStringLiteral("2"));
  EXPECT_EQ(Target(*wizard), QString::fromStdString(Out("dvd_2.mp4")));
  EXPECT_EQ(wizard->CurrentTitle().index, 2);
}

TEST_F(NewConversionDvd, ImageScanTakesTheImagesLabel) {
  if (SharedDvd().iso.empty()) GTEST_SKIP() << "genisoimage is missing";
  auto wizard = Wizard();
  Choose(*wizard, QStringLiteral("视频"), QStringLiteral("MPEG-4视频"));
  OpenDvd(*wizard, SharedDvd().iso);
  EXPECT_EQ(Entries(Child<QComboBox>(wizard.get(), "cbbTitle")).size(), 2);
  const std::string label = Child<TDvdCombo>(wizard.get(), "FCbbDvd")->VolumeLabel();
  EXPECT_EQ(label, SharedDvd().label);
  EXPECT_EQ(Target(*wizard), QString::fromStdString(Out(label + "_1.mp4")));
}

TEST_F(NewConversionDvd, UnreadableImageShowsTheOpenErrorAndCanBeRetried) {
  const fs::path broken = veltrano::test::MakeTempFolder("broken") / "broken.iso";
  std::ofstream(broken) << std::string(64 * 1024, 'x');
  auto wizard = Wizard();
  OpenDvd(*wizard, broken);
  EXPECT_EQ(messages->Errors(), std::vector<std::string>{"打不开DVD"});
  EXPECT_EQ(Child<QComboBox>(wizard.get(), "cbbTitle")->count(), 0);
  EXPECT_FALSE(wizard->button(QWizard::NextButton)->isEnabled());
  // Picking it again scans again instead of being ignored as already scanned.
  OpenDvd(*wizard, broken);
  EXPECT_EQ(messages->Errors().size(), 2u);
}

// A DVD title chosen in the wizard and handed to the unfiled node converts
// into a file as long as the title.
class DvdTitleTask : public veltrano::test::TaskFixture {};

TEST_F(DvdTitleTask, ConvertsTheChosenTitleToAFileOfItsDuration) {
  const auto profiles = CreateProfileList();
  TFormNewConversion wizard(*profiles, {});
  wizard.show();
  Choose(wizard, QStringLiteral("Zune"), QStringLiteral("Zune MPEG4 Video(320x240)"));
  OpenDvd(wizard, SharedDvd().folder);
  Child<QComboBox>(&wizard, "cbbTitle")->setCurrentIndex(1);
  ASSERT_TRUE(Finish(wizard));
  auto settings = wizard.TakeConversionSettings();
  ASSERT_EQ(settings.size(), 1u);
  const TConversionSettings& s = *settings[0];
  EXPECT_EQ(s.SourceType(), TAVSourceType::stDvd);
  EXPECT_TRUE(IsStreamName(s.SourceFile()));
  EXPECT_EQ(s.DvdDriver(), SharedDvd().folder.string());
  EXPECT_EQ(s.DvdTitle(), 2);
  EXPECT_EQ(s.DvdChapter(), 1);
  EXPECT_EQ(s.DvdThrough(), 2);
  EXPECT_EQ(s.DvdAngle(), 1);
  EXPECT_EQ(s.DvdVolume(), "dvd");
  const fs::path target = s.TargetFile();
  EXPECT_EQ(target, folder / "dvd_2.mp4");

  TConvertingTask& task = Unfiled().NewConversion(std::move(settings[0]));
  EXPECT_EQ(task.Status(), stRunning);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(messages->Errors().empty());
  const veltrano::test::TMediaInfo made = veltrano::test::ProbeMedia(target);
  ASSERT_TRUE(made.opened);
  EXPECT_NEAR(made.Stream("video").duration, SharedDvd().titles[1].seconds, 0.5);
  EXPECT_EQ(made.Stream("video").width, 320);
}

}  // namespace
}  // namespace veltrano::gui::test
