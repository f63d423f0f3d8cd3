// Files of the wizard's list with settings of their own: chosen through the
// list's actions and the real dialog, judged by the stored settings of the
// tasks and against tasks made one by one.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include "WizardTestSupport.h"
#include "common/ConversionSettings.h"
#include "gui/FilterDialogs.h"
#include "gui/FormNewConversionFile.h"
#include "gui/TimeBar.h"
#include "support/MediaFixture.h"

namespace veltrano::gui::test {
namespace {

enum { kDurationColumn = 2, kSettingsColumn = 4 };

QString Q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

// Six seconds of small video with sound, copied under each of `names`.
std::vector<fs::path> Clips(const std::vector<std::string>& names, double seconds = 6) {
  veltrano::test::TClip spec = veltrano::test::AvClipSpec("mpeg4", "aac");
  spec.seconds = seconds;
  const fs::path clip =
      veltrano::test::SharedClip("perfile-" + std::to_string(int(seconds)) + ".mp4", spec);
  const fs::path folder = veltrano::test::MakeTempFolder("perfile");
  std::vector<fs::path> copies;
  for (const std::string& name : names) {
    fs::copy_file(clip, folder / name);
    copies.push_back(folder / name);
  }
  return copies;
}

bool Probed(TFormNewConversion& wizard) {
  return SpinUntil([&] { return !wizard.Busy(); }, 20000);
}

QTreeWidget* List(TFormNewConversion& wizard) {
  return Child<QTreeWidget>(&wizard, "lstSources");
}

void SelectRows(TFormNewConversion& wizard, const std::vector<int>& rows) {
  QTreeWidget* list = List(wizard);
  list->clearSelection();
  for (int row : rows) list->topLevelItem(row)->setSelected(true);
}

// Opens the dialog of the selected rows' own settings and runs `fill` in it.
void OwnSettings(TFormNewConversion& wizard, const std::vector<int>& rows,
                 std::function<void(TFormFileSettings*)> fill) {
  SelectRows(wizard, rows);
  auto* action = wizard.findChild<QAction*>(QStringLiteral("actOwnSettings"));
  ASSERT_TRUE(SpinUntil([&] { return action->isEnabled(); }));
  // A failed step inside leaves no dialog open behind it.
  auto dialog = WhenModalOpens<TFormFileSettings>([fill](TFormFileSettings* opened) {
    fill(opened);
    if (opened->isVisible()) opened->reject();
  });
  action->trigger();
  EXPECT_TRUE(dialog->Done());
}

// Sets the span of the dialog's preview from `start_ms` to `end_ms`.
void ChooseSpan(QWidget* dialog, int start_ms, int end_ms) {
  auto* bar = Child<TTimeBar>(dialog, "barTime");
  ASSERT_TRUE(SpinUntil([&] { return bar->isEnabled(); }));
  bar->setValue(start_ms);
  Child<QPushButton>(dialog, "btnStart")->click();
  bar->setValue(end_ms);
  Child<QPushButton>(dialog, "btnEnd")->click();
}

using ManySourcesPerFile = WizardTest;

TEST_F(ManySourcesPerFile, OwnProfileSpanAndFiltersReachEachTaskAndRestoreReallyRestores) {
  const auto clips = Clips({"a.mp4", "b.mp4", "c.mp4"});
  auto wizard = Wizard();
  Choose(*wizard, QStringLiteral("视频"), QStringLiteral("MPEG-4视频"));
  wizard->SetSources({Q(clips[0]), Q(clips[1]), Q(clips[2])});
  ASSERT_TRUE(Probed(*wizard));
  QTreeWidget* list = List(*wizard);
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->topLevelItem(0)->text(kSettingsColumn), QStringLiteral("统一设置"));

  // The first: MP3 sound of seconds 1 to 3.
  OwnSettings(*wizard, {0}, [](TFormFileSettings* dialog) {
    Child<QGroupBox>(dialog, "grpProfile")->setChecked(true);
    Choose(*dialog, QStringLiteral("音频"), QStringLiteral("MP3 Audio"));
    Child<QGroupBox>(dialog, "grpSpan")->setChecked(true);
    ChooseSpan(dialog, 1000, 3000);
    Child<QPushButton>(dialog, "btnOk")->click();
  });
  EXPECT_EQ(list->topLevelItem(0)->text(kSettingsColumn),
            QStringLiteral("MP3 Audio; 0:00:01 – 0:00:03"));
  EXPECT_EQ(list->topLevelItem(0)->text(kDurationColumn), QStringLiteral("0:00:02"));
  EXPECT_EQ(list->topLevelItem(1)->text(kDurationColumn), QStringLiteral("0:00:06"));
  EXPECT_EQ(wizard->Targets(), (QStringList{Q(out / "a.mp3"), Q(out / "b.mp4"), Q(out / "c.mp4")}));

  // The second: a vertical flip, opened on the wizard's (empty) filters.
  OwnSettings(*wizard, {1}, [](TFormFileSettings* dialog) {
    EXPECT_FALSE(Child<QGroupBox>(dialog, "grpProfile")->isChecked());
    Child<QGroupBox>(dialog, "grpFilters")->setChecked(true);
    auto flip = WhenModalOpens<TFormStdFilter>([](TFormStdFilter* filter) {
      Child<QCheckBox>(filter, "chkVFlip")->setChecked(true);
      SpinUntil([&] { return filter->OkButton()->isEnabled(); });
      filter->OkButton()->click();
    });
    Child<QToolButton>(dialog, "btnNewFilter")->menu()->actions()[0]->trigger();
    EXPECT_TRUE(flip->Done());
    Child<QPushButton>(dialog, "btnOk")->click();
  });
  EXPECT_EQ(list->topLevelItem(1)->text(kSettingsColumn), QStringLiteral("1 个滤镜"));

  // The third is given a profile and then everything back; "restore" is
  // offered only where a file has settings of its own.
  OwnSettings(*wizard, {2}, [](TFormFileSettings* dialog) {
    Child<QGroupBox>(dialog, "grpProfile")->setChecked(true);
    Choose(*dialog, QStringLiteral("视频"), QStringLiteral("Matroska Video"));
    Child<QGroupBox>(dialog, "grpSpan")->setChecked(true);
    ChooseSpan(dialog, 2000, 4000);
    Child<QPushButton>(dialog, "btnOk")->click();
  });
  EXPECT_EQ(wizard->Targets().at(2), Q(out / "c.mkv"));
  auto* restore = wizard->findChild<QAction*>(QStringLiteral("actCommonSettings"));
  EXPECT_TRUE(SpinUntil([&] { return restore->isEnabled(); }));
  restore->trigger();
  EXPECT_EQ(list->topLevelItem(2)->text(kSettingsColumn), QStringLiteral("统一设置"));
  EXPECT_EQ(list->topLevelItem(2)->text(kDurationColumn), QStringLiteral("0:00:06"));
  EXPECT_EQ(wizard->Targets().at(2), Q(out / "c.mp4"));
  EXPECT_TRUE(SpinUntil([&] { return !restore->isEnabled(); }));

  ASSERT_TRUE(Finish(*wizard));
  const auto tasks = wizard->TakeConversionSettings();
  ASSERT_EQ(tasks.size(), 3u);
  EXPECT_EQ(tasks[0]->Profile(), "MP3 Audio");
  EXPECT_EQ(tasks[0]->ConvertOptions().StartTime(), 1000000);
  EXPECT_EQ(tasks[0]->ConvertOptions().RecordingTime(), 2000000);
  EXPECT_EQ(tasks[0]->ConvertOptions().FilterOptions().VideoFilters(), "");
  EXPECT_EQ(tasks[1]->Profile(), "MPEG-4视频");
  EXPECT_EQ(tasks[1]->ConvertOptions().FilterOptions().VideoFilters(), "vflip");
  for (size_t i : {1, 2}) {
    EXPECT_EQ(tasks[i]->ConvertOptions().StartTime(), 0);
    EXPECT_EQ(tasks[i]->ConvertOptions().RecordingTime(), MaxInt64);
  }
  EXPECT_EQ(tasks[2]->Profile(), "MPEG-4视频");
  EXPECT_EQ(tasks[2]->ConvertOptions().FilterOptions().VideoFilters(), "");

  // Two seconds of sound against six of picture and sound; a filter does
  // not change the size.
  EXPECT_GT(tasks[0]->EstimatedSizeHigh(), 0);
  EXPECT_LT(tasks[0]->EstimatedSizeHigh() * 3, tasks[2]->EstimatedSizeLow());
  EXPECT_EQ(tasks[1]->EstimatedSizeHigh(), tasks[2]->EstimatedSizeHigh());

  // Stored as a task made by itself with that profile and span is.
  auto alone = Wizard();
  Choose(*alone, QStringLiteral("音频"), QStringLiteral("MP3 Audio"));
  alone->SetSources({Q(clips[0])});
  ChooseSpan(alone.get(), 1000, 3000);
  ASSERT_TRUE(Finish(*alone));
  const auto single = alone->TakeConversionSettings();
  ASSERT_EQ(single.size(), 1u);
  EXPECT_EQ(SettingsToXml(*single[0]), SettingsToXml(*tasks[0]));
}

TEST_F(ManySourcesPerFile, SpanThatDoesNotFitAFileIsRefusedForThatFile) {
  const auto long_clips = Clips({"long.mp4"});
  const auto short_clips = Clips({"short.mp4"}, 2);
  auto wizard = Wizard();
  wizard->SetSources({Q(long_clips[0]), Q(short_clips[0])});
  ASSERT_TRUE(Probed(*wizard));
  // The span for all, chosen on the long file, lies beyond the short one.
  ChooseSpan(wizard.get(), 3000, 5000);
  ASSERT_TRUE(Finish(*wizard));
  ASSERT_FALSE(messages->Errors().empty());
  EXPECT_EQ(messages->Errors().back(),
            "时间段 0:00:03 – 0:00:05 超出了文件的长度: " + short_clips[0].string());
  EXPECT_TRUE(wizard->isVisible());
  EXPECT_TRUE(wizard->TakeConversionSettings().empty());

  // The dialog refuses the same span for both (it stays open) and takes one
  // within the short file for it alone.
  OwnSettings(*wizard, {0, 1}, [&](TFormFileSettings* dialog) {
    Child<QGroupBox>(dialog, "grpSpan")->setChecked(true);
    ChooseSpan(dialog, 3000, 5000);
    const size_t before = messages->Errors().size();
    Child<QPushButton>(dialog, "btnOk")->click();
    EXPECT_EQ(messages->Errors().size(), before + 1);
    EXPECT_TRUE(dialog->isVisible());
    dialog->reject();
  });
  EXPECT_EQ(List(*wizard)->topLevelItem(0)->text(kSettingsColumn), QStringLiteral("统一设置"));
  OwnSettings(*wizard, {1}, [](TFormFileSettings* dialog) {
    Child<QGroupBox>(dialog, "grpSpan")->setChecked(true);
    ChooseSpan(dialog, 500, 1500);
    Child<QPushButton>(dialog, "btnOk")->click();
  });
  ASSERT_TRUE(Finish(*wizard));
  const auto tasks = wizard->TakeConversionSettings();
  ASSERT_EQ(tasks.size(), 2u);
  EXPECT_EQ(tasks[0]->ConvertOptions().StartTime(), 3000000);
  EXPECT_EQ(tasks[0]->ConvertOptions().RecordingTime(), 2000000);
  EXPECT_EQ(tasks[1]->ConvertOptions().StartTime(), 500000);
  EXPECT_EQ(tasks[1]->ConvertOptions().RecordingTime(), 1000000);
}

}  // namespace
}  // namespace veltrano::gui::test
