#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCompleter>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QStringListModel>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <fstream>

#include "WizardTestSupport.h"
#include "common/ProfileStore.h"
#include "gui/FileNameEdit.h"
#include "gui/FilterDialogs.h"
#include "gui/FormEditProfile.h"
#include "gui/FrameProfile.h"
#include "gui/TimeBar.h"
#include "support/MediaFixture.h"

namespace veltrano::gui::test {
namespace {

QString Q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

QString LabelText(const QObject* parent, const char* name) {
  return Child<QLabel>(parent, name)->text();
}

QStringList Entries(const QComboBox* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
  return texts;
}

// A file that is no media at all.
fs::path TextFile(const std::string& name) {
  const fs::path path = veltrano::test::MakeTempFolder("not-media") / name;
  std::ofstream(path) << "not a video";
  return path;
}

// Picks `file` in the browse dialog of the source field.
void BrowseSource(TFormNewConversion& wizard, const fs::path& file) {
  auto pick = WhenModalOpens<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
    AcceptFileDialog(dialog, file);
  });
  Child<TFileNameEdit>(&wizard, "edtSource")->BrowseButton()->click();
  EXPECT_TRUE(pick->Done());
  EXPECT_TRUE(SpinUntil([&] { return !wizard.Busy(); }, 20000));  // the probe
}

using NewConversion = WizardTest;

TEST_F(NewConversion, CategoryListsItsProfilesAndTheFrameShowsTheChosenOne) {
  auto wizard = Wizard();
  auto* categories = Child<QComboBox>(wizard.get(), "cbbCategory");
  auto* list = Child<QComboBox>(wizard.get(), "cbbProfile");
  EXPECT_EQ(categories->currentText(), QStringLiteral("视频"));
  EXPECT_EQ(list->currentText(), QStringLiteral("Matroska Video"));
  EXPECT_EQ(LabelText(wizard.get(), "lblFrameSize"), QStringLiteral("与源相同"));

  Choose(*wizard, QStringLiteral("手机和3gp"), QStringLiteral("3GPP"));
  EXPECT_EQ(Entries(list), (QStringList{"3GPP", "3GPP2", "3GPP2 High Quality"}));
  EXPECT_EQ(wizard->CurrentProfile()->Description(), "3GPP");
  EXPECT_EQ(LabelText(wizard.get(), "lblFrameSize"), QStringLiteral("176x144"));
  EXPECT_EQ(LabelText(wizard.get(), "lblVideoEncoder"), QStringLiteral("H263"));
  EXPECT_EQ(LabelText(wizard.get(), "lblFrameRate"), QStringLiteral("与源相同"));
  EXPECT_EQ(LabelText(wizard.get(), "lblVideoBitrate"), QStringLiteral("128"));
  EXPECT_EQ(LabelText(wizard.get(), "lblAudioEncoder"), QStringLiteral("AMR_NB"));
  EXPECT_EQ(LabelText(wizard.get(), "lblChannels"), QStringLiteral("mono"));
  EXPECT_EQ(LabelText(wizard.get(), "lblSampleRate"), QStringLiteral("8000"));
  EXPECT_EQ(LabelText(wizard.get(), "lblAudioBitrate"), QStringLiteral("12.2"));

  // An audio profile clears the video values.
  Choose(*wizard, QStringLiteral("音频"), QStringLiteral("MP3 Audio"));
  EXPECT_EQ(LabelText(wizard.get(), "lblFrameSize"), QString());
  EXPECT_EQ(LabelText(wizard.get(), "lblAudioEncoder"), QStringLiteral("MP3"));
  EXPECT_EQ(LabelText(wizard.get(), "lblChannels"), QStringLiteral("stereo"));

  auto* edit = wizard->findChild<QAction*>(QStringLiteral("actEditProfile"));
  EXPECT_TRUE(SpinUntil([&] { return edit->isEnabled(); }));
}

TEST_F(NewConversion, HandedInSourceIsNotProbedAndTheTargetFollowsTheProfile) {
  auto wizard = Wizard();
  Choose(*wizard, QStringLiteral("手机和3gp"), QStringLiteral("3GPP"));
  const fs::path source = TextFile("clip.avi");
  wizard->SetSources({Q(source)});
  EXPECT_TRUE(messages->Errors().empty());
  EXPECT_EQ(Child<TFileNameEdit>(wizard.get(), "edtSource")->FileName(), Q(source));
  EXPECT_TRUE(Child<QLabel>(wizard.get(), "lblFileCount")->isHidden());
  EXPECT_EQ(Target(*wizard), QString::fromStdString(Out("clip.3gp")));
  Choose(*wizard, QStringLiteral("视频"), QStringLiteral("MPEG-4视频"));
  EXPECT_EQ(Target(*wizard), QString::fromStdString(Out("clip.mp4")));

  // A target the user typed keeps its folder and name; only the extension follows.
  Child<TFileNameEdit>(wizard.get(), "edtSavePath")
      ->SetFileName(QStringLiteral("/videos/mine.x.avi"));
  Choose(*wizard, QStringLiteral("音频"), QStringLiteral("MP3 Audio"));
  EXPECT_EQ(Target(*wizard), QStringLiteral("/videos/mine.x.mp3"));
}

TEST_F(NewConversion, ProposedTargetsTakeNeitherAnExistingFileNorAnUnfiledTasksTarget) {
  std::ofstream(out / "clip.mp4") << "an earlier result";
  auto wizard = Wizard({Out("clip (2).mp4")});
  Choose(*wizard, QStringLiteral("视频"), QStringLiteral("MPEG-4视频"));
  wizard->SetSources({Q(TextFile("clip.avi"))});
  EXPECT_EQ(Target(*wizard), QString::fromStdString(Out("clip (3).mp4")));
  Choose(*wizard, QStringLiteral("音频"), QStringLiteral("MP3 Audio"));
  EXPECT_EQ(Target(*wizard), QString::fromStdString(Out("clip.mp3")));
}

TEST_F(NewConversion, BrowsedFileWithoutVideoOrAudioIsRefused) {
  auto wizard = Wizard();
  const fs::path clip = WizardClip();
  BrowseSource(*wizard, clip);
  EXPECT_TRUE(messages->Errors().empty());
  EXPECT_EQ(wizard->Sources(), QStringList{Q(clip)});

  BrowseSource(*wizard, TextFile("fake.mp4"));
  EXPECT_EQ(messages->Errors(), std::vector<std::string>{"无效的文件"});
  EXPECT_EQ(Child<TFileNameEdit>(wizard.get(), "edtSource")->FileName(), Q(clip));

  // Several files: one bad file refuses them all.
  wizard->ChooseSources({Q(clip), Q(TextFile("bad.mkv"))});
  EXPECT_TRUE(SpinUntil([&] { return !wizard->Busy(); }, 20000));
  EXPECT_EQ(messages->Errors().size(), 2u);
  EXPECT_EQ(wizard->Sources(), QStringList{Q(clip)});
}

TEST_F(NewConversion, NextAndFinishNeedASourceATargetAndAProfile) {
  auto wizard = Wizard();
  QAbstractButton* next = wizard->button(QWizard::NextButton);
  QAbstractButton* finish = wizard->button(QWizard::FinishButton);
  EXPECT_FALSE(next->isEnabled());
  wizard->SetSources({Q(WizardClip())});
  EXPECT_TRUE(SpinUntil([&] { return next->isEnabled() && finish->isEnabled(); }));
  Child<TFileNameEdit>(wizard.get(), "edtSavePath")->SetFileName(QStringLiteral("   "));
  EXPECT_TRUE(SpinUntil([&] { return !next->isEnabled() && !finish->isEnabled(); }));
  Child<TFileNameEdit>(wizard.get(), "edtSavePath")->SetFileName(QStringLiteral("x.mkv"));
  EXPECT_TRUE(SpinUntil([&] { return next->isEnabled(); }));
  wizard->SetSources({Q(out / "gone.mp4")});  // a handed-in name that does not exist
  EXPECT_TRUE(SpinUntil([&] { return !next->isEnabled(); }));
}

TEST_F(NewConversion, TimeSpanGivesStartAndRecordingTimeInMicroseconds) {
  veltrano::test::TClip spec;
  spec.seconds = 6100;  // 1:41:40, one tiny frame a second
  spec.size = "32x32";
  spec.rate = "1";
  spec.video_codec = "mpeg4";
  spec.audio = false;
  const fs::path long_clip = veltrano::test::SharedClip("wizard-long.mkv", spec);

  auto wizard = Wizard();
  wizard->SetSources({Q(long_clip)});
  auto* bar = Child<TTimeBar>(wizard.get(), "barTime");
  // The preview reads the source beside the wizard; its length follows.
  EXPECT_TRUE(SpinUntil([&] { return LabelText(wizard.get(), "lblDuration") == "1:41:40"; }));
  EXPECT_EQ(bar->maximum(), 6100000);
  EXPECT_TRUE(SpinUntil([&] { return bar->isEnabled(); }));
  bar->setValue(40 * 60 * 1000);
  Child<QPushButton>(wizard.get(), "btnStart")->click();
  EXPECT_EQ(wizard->ConvertOptions().StartTime(), 2400000000);
  EXPECT_EQ(wizard->ConvertOptions().RecordingTime(), MaxInt64);  // no end yet
  bar->setValue(100 * 60 * 1000);
  Child<QPushButton>(wizard.get(), "btnEnd")->click();
  EXPECT_EQ(LabelText(wizard.get(), "lblStart"), QStringLiteral("0:40:0"));
  EXPECT_EQ(LabelText(wizard.get(), "lblEnd"), QStringLiteral("1:40:0"));
  ASSERT_TRUE(Finish(*wizard));
  const auto settings = wizard->TakeConversionSettings();
  ASSERT_EQ(settings.size(), 1u);
  EXPECT_EQ(settings[0]->ConvertOptions().StartTime(), 2400000000);
  EXPECT_EQ(settings[0]->ConvertOptions().RecordingTime(), 3600000000);
  EXPECT_EQ(settings[0]->ConvertOptions().ThreadCount(), 3);
  EXPECT_EQ(settings[0]->SourceType(), TAVSourceType::stFile);
  EXPECT_EQ(settings[0]->CategoryId(), 1);
  EXPECT_EQ(settings[0]->Profile(), "Matroska Video");

  // A span that would end before it starts is refused, in the user's
  // language, and the span stays as it was; a new source starts without one.
  auto again = Wizard();
  again->SetSources({Q(long_clip)});
  auto* bar2 = Child<TTimeBar>(again.get(), "barTime");
  EXPECT_TRUE(SpinUntil([&] { return bar2->isEnabled(); }));
  bar2->setValue(3000);
  Child<QPushButton>(again.get(), "btnStart")->click();
  bar2->setValue(1000);
  Child<QPushButton>(again.get(), "btnEnd")->click();
  EXPECT_EQ(messages->Errors(), std::vector<std::string>{"结束点必须晚于开始点"});
  EXPECT_EQ(again->ConvertOptions().RecordingTime(), MaxInt64);
  EXPECT_EQ(LabelText(again.get(), "lblEnd"), QStringLiteral("00:00:00"));
  bar2->setValue(5000);
  Child<QPushButton>(again.get(), "btnEnd")->click();
  EXPECT_EQ(again->ConvertOptions().RecordingTime(), 2000000);
  bar2->setValue(6000);
  Child<QPushButton>(again.get(), "btnStart")->click();
  EXPECT_EQ(messages->Errors().back(), "开始点必须早于结束点");
  EXPECT_EQ(again->ConvertOptions().StartTime(), 3000000);
  EXPECT_EQ(again->ConvertOptions().RecordingTime(), 2000000);
  again->SetSources({Q(WizardClip())});
  EXPECT_EQ(again->ConvertOptions().StartTime(), 0);
  EXPECT_EQ(again->ConvertOptions().RecordingTime(), MaxInt64);
  EXPECT_EQ(LabelText(again.get(), "lblStart"), QStringLiteral("00:00:00"));
}

TEST_F(NewConversion, EditorsNewProfileIsChosenAtOnceAndSurvivesARestart) {
  auto wizard = Wizard();
  wizard->SetSources({Q(WizardClip())});
  Choose(*wizard, QStringLiteral("PSP"), QStringLiteral("PSP AVC Video"));
  auto create = WhenModalOpens<TFormEditProfile>([](TFormEditProfile* editor) {
    EXPECT_EQ(editor->lstCategory->currentItem()->text(), QStringLiteral("PSP"));
    editor->actNewVideo->trigger();
    editor->FrameProfile->edtExtension->setText(QStringLiteral(".avi"));
    editor->actSave->trigger();
  });
  wizard->findChild<QAction*>(QStringLiteral("actEditProfile"))->trigger();
  ASSERT_TRUE(create->Done());
  EXPECT_EQ(Child<QComboBox>(wizard.get(), "cbbCategory")->currentText(), QStringLiteral("PSP"));
  EXPECT_EQ(Child<QComboBox>(wizard.get(), "cbbProfile")->currentText(),
            QStringLiteral("New Video Profile"));
  EXPECT_EQ(wizard->CurrentProfile()->Category(), "PSP");
  EXPECT_EQ(Target(*wizard), QString::fromStdString(Out(WizardClip().stem().string() + ".avi")));

  const auto restarted = CreateProfileList();
  const TAVProfile* stored = restarted->FindProfile("New Video Profile");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->Category(), "PSP");
  EXPECT_EQ(stored->Extension(), ".avi");
}

TEST_F(NewConversion, EditorHandingBackNoProfileKeepsTheWizardsOwnOrNone) {
  veltrano::test::TMessageRecorder yes_to_deleting(true);
  auto wizard = Wizard();
  Choose(*wizard, QStringLiteral("IPad"), QStringLiteral("IPad H264 Hiqh Quality"));
  TAVProfile* before = wizard->CurrentProfile();
  // In the editor: empty the category "Zune", which leaves no profile current.
  auto empty_zune = WhenModalOpens<TFormEditProfile>([](TFormEditProfile* editor) {
    const QList<QListWidgetItem*> zune =
        editor->lstCategory->findItems(QStringLiteral("Zune"), Qt::MatchExactly);
    ASSERT_EQ(zune.size(), 1);
    editor->lstCategory->setCurrentItem(zune[0]);
    while (editor->lstProfile->count() > 0) editor->actDelete->trigger();
    EXPECT_EQ(editor->CurrentProfile(), nullptr);
    editor->reject();
  });
  auto* edit = wizard->findChild<QAction*>(QStringLiteral("actEditProfile"));
  edit->trigger();
  ASSERT_TRUE(empty_zune->Done());
  EXPECT_EQ(wizard->CurrentProfile(), before);
  EXPECT_EQ(Child<QComboBox>(wizard.get(), "cbbCategory")->currentText(), QStringLiteral("IPad"));

  // The category whose profiles are all gone lists nothing and cannot be finished.
  Choose(*wizard, QStringLiteral("Zune"), QString());
  wizard->SetSources({Q(WizardClip())});
  EXPECT_EQ(Child<QComboBox>(wizard.get(), "cbbProfile")->count(), 0);
  EXPECT_TRUE(SpinUntil([&] { return !wizard->button(QWizard::FinishButton)->isEnabled(); }));
}

// On page 2: a logo and a vertical flip, and a subtitle filter given up.
void AddFilters(TFormNewConversion& wizard, const fs::path& logo) {
  wizard.next();
  ASSERT_EQ(wizard.currentId(), TFormNewConversion::kFilterPage);
  const QList<QAction*> kinds = Child<QToolButton>(&wizard, "btnNewFilter")->menu()->actions();
  ASSERT_EQ(kinds.size(), 4);
  auto logo_dialog = WhenModalOpens<TFormLogoFilter>([&](TFormLogoFilter* dialog) {
    Child<TFileNameEdit>(dialog, "edtLogo")->SetFileName(Q(logo));
    Child<QSpinBox>(dialog, "edtX2")->setValue(10);
    Child<QSpinBox>(dialog, "edtY2")->setValue(20);
    SpinUntil([&] { return dialog->OkButton()->isEnabled(); });
    dialog->OkButton()->click();
  });
  kinds[1]->trigger();
  auto flip = WhenModalOpens<TFormStdFilter>([](TFormStdFilter* dialog) {
    Child<QCheckBox>(dialog, "chkVFlip")->setChecked(true);
    SpinUntil([&] { return dialog->OkButton()->isEnabled(); });
    dialog->OkButton()->click();
  });
  kinds[0]->trigger();
  auto give_up =
      WhenModalOpens<TFormSubtitleFilter>([](TFormSubtitleFilter* dialog) { dialog->reject(); });
  kinds[3]->trigger();
  auto* list = Child<QListWidget>(&wizard, "lstFilters");
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("Logo Filter"));
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("Standar Filters"));
}

TEST_F(NewConversion, FiltersApplyOnlyWhenFinishedOnTheFilterPage) {
  const fs::path logo = veltrano::test::MakeTempFolder("logo") / "logo.png";
  std::ofstream(logo) << "png";
  const std::string expected = "logo=10|20|" + logo.string() + ",vflip";

  auto from_page1 = Wizard();
  from_page1->SetSources({Q(WizardClip())});
  AddFilters(*from_page1, logo);
  from_page1->back();
  ASSERT_TRUE(Finish(*from_page1));
  auto settings = from_page1->TakeConversionSettings();
  ASSERT_EQ(settings.size(), 1u);
  EXPECT_EQ(settings[0]->ConvertOptions().FilterOptions().VideoFilters(), "");

  auto from_page2 = Wizard();
  from_page2->SetSources({Q(WizardClip())});
  AddFilters(*from_page2, logo);
  ASSERT_TRUE(Finish(*from_page2));
  settings = from_page2->TakeConversionSettings();
  ASSERT_EQ(settings.size(), 1u);
  EXPECT_EQ(settings[0]->ConvertOptions().FilterOptions().VideoFilters(), expected);
}

TEST_F(NewConversion, FilterListEditsAndDeletesTheSelectedFilter) {
  const fs::path logo = veltrano::test::MakeTempFolder("logo") / "logo.png";
  std::ofstream(logo) << "png";
  auto wizard = Wizard();
  wizard->SetSources({Q(WizardClip())});
  AddFilters(*wizard, logo);
  auto* list = Child<QListWidget>(wizard.get(), "lstFilters");
  auto* edit = wizard->findChild<QAction*>(QStringLiteral("actEditFilter"));
  auto* remove = wizard->findChild<QAction*>(QStringLiteral("actDeleteFilter"));
  list->clearSelection();
  EXPECT_TRUE(SpinUntil([&] { return !edit->isEnabled() && !remove->isEnabled(); }));
  list->setCurrentRow(0);
  EXPECT_TRUE(SpinUntil([&] { return edit->isEnabled() && remove->isEnabled(); }));
  auto move = WhenModalOpens<TFormLogoFilter>([](TFormLogoFilter* dialog) {
    Child<QSpinBox>(dialog, "edtX2")->setValue(5);
    SpinUntil([&] { return dialog->OkButton()->isEnabled(); });
    dialog->OkButton()->click();
  });
  edit->trigger();
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("Logo Filter"));
  list->setCurrentRow(1);
  remove->trigger();
  ASSERT_EQ(list->count(), 1);
  ASSERT_TRUE(Finish(*wizard));
  EXPECT_EQ(wizard->TakeConversionSettings()[0]->ConvertOptions().FilterOptions().VideoFilters(),
            "logo=5|20|" + logo.string());
}

TEST_F(NewConversion, ATypedTargetStaysUntilTheSourceChanges) {
  auto wizard = Wizard();
  wizard->SetSources({Q(WizardClip())});
  auto* target = Child<TFileNameEdit>(wizard.get(), "edtSavePath");
  target->SetFileName(QStringLiteral("/videos/mine.mkv"));
  // To the DVD tab (no disc: no source) and back: the same source.
  auto* tabs = Child<QTabWidget>(wizard.get(), "tabSource");
  tabs->setCurrentIndex(1);
  tabs->setCurrentIndex(0);
  EXPECT_EQ(Target(*wizard), QStringLiteral("/videos/mine.mkv"));
  wizard->SetSources({Q(WizardClip())});  // the same file again
  EXPECT_EQ(Target(*wizard), QStringLiteral("/videos/mine.mkv"));
  // Another source gets its own proposal.
  wizard->SetSources({Q(TextFile("other.avi"))});
  EXPECT_EQ(Target(*wizard), QString::fromStdString(Out("other.mkv")));
}

// The completion list of the target field must not swallow the click that
// starts the conversion.
TEST_F(NewConversion, OneClickStartsWhileTheTargetsCompletionListIsOpen) {
  auto wizard = Wizard();
  wizard->SetSources({Q(WizardClip())});
  QAbstractButton* finish = wizard->button(QWizard::FinishButton);
  ASSERT_TRUE(SpinUntil([&] { return finish->isEnabled(); }));
  auto* target = Child<TFileNameEdit>(wizard.get(), "edtSavePath");
  QLineEdit* line = target->findChild<QLineEdit*>();
  ASSERT_NE(line, nullptr);
  wizard->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(wizard.get()));
  line->setFocus();
  line->clear();
  // The names the list offers (the file system's names come from a thread
  // of Qt's own, which takes its time here).
  QCompleter* completer = line->completer();
  completer->setModel(new QStringListModel(
      {QString::fromStdString(Out("clip-a.mkv")), QString::fromStdString(Out("clip-b.mkv"))},
      completer));
  QTest::keyClicks(line, QString::fromStdString(Out("clip-")));
  QWidget* popup = completer->popup();
  ASSERT_TRUE(SpinUntil([&] { return popup->isVisible(); }));
  // As on X11, where Qt does not pass on a click that closes a popup (the
  // offscreen platform would).
  popup->setAttribute(Qt::WA_NoMouseReplay);
  // Through the window, as the windowing system delivers a click (a click
  // sent to the button itself would pass the popup by).
  QTest::mouseClick(wizard->windowHandle(), Qt::LeftButton, {},
                    finish->mapTo(wizard.get(), finish->rect().center()));
  EXPECT_TRUE(SpinUntil([&] { return !wizard->isVisible(); }));
  EXPECT_EQ(wizard->result(), QDialog::Accepted);
  EXPECT_EQ(wizard->TakeConversionSettings().size(), 1u);
}

// The wizard keeps its profiles by handle: the editor deleting the selected
// one while the wizard's timer asks for it leaves the wizard without a
// profile, not with a freed one (run under the address sanitizer, a stale
// address would be reported here).
TEST_F(NewConversion, AProfileDeletedInTheEditorIsGoneFromTheWizardWithoutAStaleAddress) {
  veltrano::test::TMessageRecorder yes_to_deleting(true);
  auto wizard = Wizard();
  wizard->SetSources({Q(WizardClip())});
  Choose(*wizard, QStringLiteral("PSP"), QStringLiteral("PSP AVC Video"));
  const std::string deleted = wizard->CurrentProfile()->Description();
  auto delete_current = WhenModalOpens<TFormEditProfile>([](TFormEditProfile* editor) {
    editor->actDelete->trigger();
    // The wizard's 300 ms timer runs while the editor is open.
    Spin(800);
    editor->reject();
  });
  wizard->findChild<QAction*>(QStringLiteral("actEditProfile"))->trigger();
  ASSERT_TRUE(delete_current->Done());
  EXPECT_EQ(profiles->FindProfile(deleted), nullptr);
  // The editor's current profile (the one before the deleted) is the wizard's.
  ASSERT_NE(Child<QComboBox>(wizard.get(), "cbbProfile")->currentIndex(), -1);
  EXPECT_NE(wizard->CurrentProfile()->Description(), deleted);
  Spin(400);
  EXPECT_TRUE(SpinUntil([&] { return wizard->button(QWizard::FinishButton)->isEnabled(); }));
}

}  // namespace
}  // namespace veltrano::gui::test
