// The wizard's folders, source list, tracks and estimates, driven through
// its widgets; results judged by the stored settings, the command line's
// stored form and our own probe of the outputs.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <cmath>
#include <fstream>

#include "WizardTestSupport.h"
#include "common/ConversionSettings.h"
#include "converter/AVProbe.h"
#include "gui/FileNameEdit.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"
#include "support/TrackFixture.h"

namespace veltrano::gui::test {
namespace {

QString Q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

bool Probed(TFormNewConversion& wizard) {
  return SpinUntil([&] { return !wizard.Busy(); }, 20000);
}

// Picks the entry whose stored choice is `data`.
void ChooseEntry(QComboBox* list, const QString& data) {
  const int index = list->findData(data);
  ASSERT_GE(index, 0) << data.toStdString();
  list->setCurrentIndex(index);
}

using WizardAddFolder = WizardTest;

TEST_F(WizardAddFolder, MixedFolderBecomesTasksInNaturalOrderWithSubFoldersKept) {
  const fs::path season = veltrano::test::MakeTempFolder("season");
  fs::create_directories(season / "extra");
  fs::copy_file(WizardClip(), season / "ep10.mp4");
  fs::copy_file(WizardClip(), season / "ep2.mp4");
  fs::copy_file(WizardClip(), season / "extra" / "ep1.mp4");
  std::ofstream(season / "notes.txt") << "episode list";
  std::ofstream(season / "broken.mkv") << "not a video";         // a media name, no media
  fs::create_symlink(season / "gone.mp4", season / "lost.mp4");  // unreadable

  auto wizard = Wizard();
  Choose(*wizard, QStringLiteral("视频"), QStringLiteral("MPEG-4视频"));
  auto pick = WhenModalOpens<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    AcceptFileDialog(dialog, season);
  });
  Child<QPushButton>(wizard.get(), "btnAddFolder")->click();
  EXPECT_TRUE(pick->Done());
  ASSERT_TRUE(Probed(*wizard));

  EXPECT_EQ(wizard->Sources(), (QStringList{Q(season / "ep2.mp4"), Q(season / "ep10.mp4"),
                                            Q(season / "extra/ep1.mp4")}));
  EXPECT_EQ(wizard->Targets(),
            (QStringList{Q(out / "ep2.mp4"), Q(out / "ep10.mp4"), Q(out / "extra/ep1.mp4")}));
  EXPECT_EQ(Child<QLabel>(wizard.get(), "lblFileCount")->text(), QStringLiteral("共 3 个文件"));
  const QString skipped = Child<QLabel>(wizard.get(), "lblSkipped")->text();
  EXPECT_TRUE(skipped.startsWith(QStringLiteral("跳过 3 个文件: "))) << skipped.toStdString();
  for (const char* part :
       {"broken.mkv (不是媒体文件)", "lost.mp4 (无法读取: ", "notes.txt (不是媒体文件)"}) {
    EXPECT_TRUE(skipped.contains(QString::fromUtf8(part))) << skipped.toStdString();
  }

  // The list shows each file with its target, duration and estimate; a
  // target typed there is the task's.
  auto* list = Child<QTreeWidget>(wizard.get(), "lstSources");
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->topLevelItem(2)->text(0), QStringLiteral("extra/ep1.mp4"));
  const auto seconds = std::lround(ListMediaStreams(WizardClip().string()).duration);
  EXPECT_EQ(list->topLevelItem(2)->text(2),
            QStringLiteral("0:00:%1").arg(seconds, 2, 10, QLatin1Char('0')));
  EXPECT_NE(list->topLevelItem(2)->text(3), QStringLiteral("?"));
  EXPECT_TRUE(Child<QLabel>(wizard.get(), "lblEstimate")
                  ->text()
                  .startsWith(QStringLiteral("预计输出大小: 共 ")));
  list->topLevelItem(1)->setText(1, Q(out / "mine" / "tenth.mp4"));

  // A dropped folder (handed in) adds nothing twice.
  wizard->AddFolder(Q(season));
  ASSERT_TRUE(Probed(*wizard));
  EXPECT_EQ(wizard->Sources().size(), 3);

  ASSERT_TRUE(Finish(*wizard));
  const auto settings = wizard->TakeConversionSettings();
  ASSERT_EQ(settings.size(), 3u);
  const std::vector<fs::path> targets{out / "ep2.mp4", out / "mine/tenth.mp4",
                                      out / "extra/ep1.mp4"};
  for (size_t i = 0; i < settings.size(); ++i) {
    EXPECT_EQ(fs::path(settings[i]->TargetFile()), targets[i]);
    EXPECT_GT(settings[i]->EstimatedSizeHigh(), 0);
  }

  // The sub-folder target is written where the list said.
  const auto result = veltrano::test::ConvertFiles(
      {settings[2]->SourceFile()}, {settings[2]->TargetFile()},
      [&](TAVConverter& c) { c.SetConvertOptions(settings[2]->ConvertOptions()); });
  ASSERT_TRUE(result.Ok()) << result.error;
  EXPECT_TRUE(fs::is_regular_file(out / "extra/ep1.mp4"));
}

TEST_F(WizardAddFolder, DroppedFolderTargetsThatExistOrRepeatAreRefusedPerFile) {
  const fs::path season = veltrano::test::MakeTempFolder("drop");
  fs::copy_file(WizardClip(), season / "a.mp4");
  fs::copy_file(WizardClip(), season / "b.mp4");
  auto wizard = Wizard();
  Choose(*wizard, QStringLiteral("视频"), QStringLiteral("MPEG-4视频"));
  wizard->SetSources({Q(season)});
  ASSERT_TRUE(Probed(*wizard));
  ASSERT_EQ(wizard->Sources().size(), 2);
  auto* list = Child<QTreeWidget>(wizard.get(), "lstSources");
  // The second task may not write the first one's target.
  list->topLevelItem(1)->setText(1, Q(out / "a.mp4"));
  ASSERT_TRUE(Finish(*wizard));
  ASSERT_FALSE(messages->Errors().empty());
  EXPECT_EQ(messages->Errors().back(),
            "另一个未完成的任务已在写这个目标文件: " + (out / "a.mp4").string());
  EXPECT_TRUE(wizard->isVisible());
}

using WizardTracks = WizardTest;

TEST_F(WizardTracks, AudioTrackAndSubtitleTrackReachTheSettingsAndTheOutput) {
  const fs::path clip = veltrano::test::MultiTrackClip();
  auto wizard = Wizard();
  Choose(*wizard, QStringLiteral("视频"), QStringLiteral("Matroska Video"));
  wizard->SetSources({Q(clip)});
  ASSERT_TRUE(Probed(*wizard));
  auto* audio = Child<QComboBox>(wizard.get(), "cbbAudioTrack");
  auto* subtitle = Child<QComboBox>(wizard.get(), "cbbSubtitleTrack");
  QStringList audio_entries;
  for (int i = 0; i < audio->count(); ++i) audio_entries << audio->itemText(i);
  EXPECT_EQ(audio_entries, (QStringList{"按配置", "1: eng aac 1声道",
                                        "2: fra aac 2声道 “Commentary”", "全部音轨", "无"}));
  EXPECT_EQ(subtitle->itemText(1), QStringLiteral("1: chi subrip"));
  ChooseEntry(audio, QStringLiteral("2"));
  ChooseEntry(subtitle, QStringLiteral("1"));
  const std::string target = Out("film.mkv");
  Child<TFileNameEdit>(wizard.get(), "edtSavePath")->SetFileName(QString::fromStdString(target));
  ASSERT_TRUE(Finish(*wizard));
  const auto settings = wizard->TakeConversionSettings();
  ASSERT_EQ(settings.size(), 1u);
  const TAVConvertOptions& options = settings[0]->ConvertOptions();

  // Stored as the command line stores --audio-track 2 --subtitle-track 1.
  const auto cli = veltrano::test::RunCommand(
      std::string(VELTRANO_CLI) + " settings " + veltrano::test::ShellQuote(clip.string()) + " " +
      veltrano::test::ShellQuote(target) + " --profile mkv --audio-track 2 --subtitle-track 1");
  ASSERT_EQ(cli.exit_code, 0) << cli.output;
  TConversionSettings stored;
  SettingsFromXml(stored, cli.output);
  EXPECT_EQ(options.StreamMaps(), stored.ConvertOptions().StreamMaps());
  EXPECT_EQ(options.SubtitleOptions().SubtitleDisable(),
            stored.ConvertOptions().SubtitleOptions().SubtitleDisable());
  EXPECT_EQ(options.SubtitleOptions().SubtitleStreamCopy(),
            stored.ConvertOptions().SubtitleOptions().SubtitleStreamCopy());

  const auto result = veltrano::test::ConvertFiles(
      {clip.string()}, {target}, [&](TAVConverter& c) { c.SetConvertOptions(options); });
  ASSERT_TRUE(result.Ok()) << result.error;
  const TProbedMedia made = ListMediaStreams(target);
  ASSERT_EQ(made.TrackCount("audio"), 1);
  EXPECT_EQ(made.Track("audio", 1)->language, "fra");
  ASSERT_EQ(made.TrackCount("subtitle"), 1);
  EXPECT_EQ(made.Track("subtitle", 1)->language, "chi");
}

TEST_F(WizardTracks, AllAudioTracksOnlyWhereTheContainerKeepsSeveralAndNoSubtitle) {
  const fs::path clip = veltrano::test::MultiTrackClip();
  auto wizard = Wizard();
  Choose(*wizard, QStringLiteral("音频"), QStringLiteral("MP3 Audio"));
  wizard->SetSources({Q(clip)});
  ASSERT_TRUE(Probed(*wizard));
  auto* audio = Child<QComboBox>(wizard.get(), "cbbAudioTrack");
  EXPECT_EQ(audio->findData(QStringLiteral("all")), -1);  // an MP3 file keeps one

  Choose(*wizard, QStringLiteral("视频"), QStringLiteral("Matroska Video"));
  ChooseEntry(audio, QStringLiteral("all"));
  ChooseEntry(Child<QComboBox>(wizard.get(), "cbbSubtitleTrack"), QStringLiteral("none"));
  const std::string target = Out("all.mkv");
  Child<TFileNameEdit>(wizard.get(), "edtSavePath")->SetFileName(QString::fromStdString(target));
  ASSERT_TRUE(Finish(*wizard));
  const auto settings = wizard->TakeConversionSettings();
  ASSERT_EQ(settings.size(), 1u);
  const auto result = veltrano::test::ConvertFiles({clip.string()}, {target}, [&](TAVConverter& c) {
    c.SetConvertOptions(settings[0]->ConvertOptions());
  });
  ASSERT_TRUE(result.Ok()) << result.error;
  const TProbedMedia made = ListMediaStreams(target);
  EXPECT_EQ(made.TrackCount("audio"), 2);
  EXPECT_EQ(made.TrackCount("subtitle"), 0);
}

}  // namespace
}  // namespace veltrano::gui::test
