#include "gui/FormEditProfile.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "GuiTestSupport.h"
#include "common/ProfileStore.h"
#include "common/TestHome.h"
#include "converter/AVProfile.h"
#include "gui/FrameProfile.h"
#include "support/EngineHarness.h"

namespace veltrano::gui {
namespace {

using test::Child;

// A small list: category "A" with an audio and a video profile, "B" with one
// video profile, and the image category the editor leaves out.
class ProfileEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    veltrano::test::UseFreshConfigHome("editor");
    profiles.SetCategories({"A", "b", "Images"});
    audio = profiles.Add(std::make_unique<TAVCustomAudioProfile>());
    audio->SetDescription("Audio A");
    audio->SetCategory("A");
    audio->SetAudioBitrate(48000);  // offered by no entry
    audio->SetSampleRate(44100);
    video = profiles.Add(std::make_unique<TAVCustomVideoProfile>());
    video->SetDescription("Video A");
    video->SetCategory("a");
    video->SetVideoBitrate(1600);  // offered by no entry
    video->SetAudioBitrate(12.2);
    only_b = profiles.Add(std::make_unique<TAVCustomVideoProfile>());
    only_b->SetDescription("Video B");
    only_b->SetCategory("B");
  }

  TAVProfileList profiles;
  TAVCustomAudioProfile* audio = nullptr;
  TAVCustomVideoProfile* video = nullptr;
  TAVCustomVideoProfile* only_b = nullptr;
};

QStringList Entries(const QListWidget* list) {
  QStringList texts;
  for (int row = 0; row < list->count(); ++row) texts << list->item(row)->text();
  return texts;
}

TEST_F(ProfileEditorTest, OpensOnTheProfilesCategoryIgnoringCaseAndListsItsProfiles) {
  TFormEditProfile editor(profiles);
  editor.SetCurrentProfile(only_b);
  EXPECT_EQ(Entries(editor.lstCategory), (QStringList{"A", "b"}));
  EXPECT_EQ(editor.lstCategory->currentItem()->text(), QStringLiteral("b"));
  EXPECT_EQ(Entries(editor.lstProfile), QStringList{"Video B"});
  EXPECT_EQ(editor.CurrentProfile(), only_b);

  // A click on a category makes its first profile current.
  QListWidgetItem* a = editor.lstCategory->item(0);
  editor.lstCategory->setCurrentItem(a);
  EXPECT_EQ(Entries(editor.lstProfile), (QStringList{"Audio A", "Video A"}));
  EXPECT_EQ(editor.CurrentProfile(), audio);
}

// Latin and Chinese captions (the catalogue has both) make rows of one height.
TEST_F(ProfileEditorTest, RowsAreEvenlyHighWhateverTheirCaptionsScript) {
  profiles.SetCategories({"IPad", "视频", "Zune", "手机和3gp"});
  for (const char* category : {"IPad", "视频", "Zune", "手机和3gp"}) {
    auto* profile = profiles.Add(std::make_unique<TAVCustomVideoProfile>());
    profile->SetCategory(category);
    profile->SetDescription(std::string(category) + " 高清 HD");
  }
  TFormEditProfile editor(profiles);
  editor.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
  ASSERT_EQ(editor.lstCategory->count(), 4);
  const int height = editor.lstCategory->visualItemRect(editor.lstCategory->item(0)).height();
  for (int row = 1; row < editor.lstCategory->count(); ++row) {
    EXPECT_EQ(editor.lstCategory->visualItemRect(editor.lstCategory->item(row)).height(), height)
        << editor.lstCategory->item(row)->text().toStdString();
  }
  editor.lstCategory->setCurrentRow(1);
  ASSERT_EQ(editor.lstProfile->count(), 1);
  EXPECT_EQ(editor.lstProfile->visualItemRect(editor.lstProfile->item(0)).height(), height);
}

TEST_F(ProfileEditorTest, AudioProfileLeavesTheVideoListsDisabledAndEmpty) {
  TFormEditProfile editor(profiles);
  editor.SetCurrentProfile(audio);
  const TFrameProfile& frame = *editor.FrameProfile;
  for (QComboBox* list :
       {frame.cbbFrameSize, frame.cbbVideoEncoder, frame.cbbFrameRate, frame.cbbVideoBitrate}) {
    EXPECT_FALSE(list->isEnabled());
    EXPECT_EQ(list->currentIndex(), -1);
  }
  EXPECT_EQ(frame.cbbSampleRate->currentText(), QStringLiteral("44100"));
}

TEST_F(ProfileEditorTest, ValuesNoEntryOffersStayUntouchedWhenOtherControlsChange) {
  TFormEditProfile editor(profiles);
  editor.SetCurrentProfile(video);
  TFrameProfile& frame = *editor.FrameProfile;
  EXPECT_EQ(frame.cbbVideoBitrate->currentIndex(), -1);
  EXPECT_EQ(frame.cbbAudioBitrate->currentText(), QStringLiteral("12.2"));
  frame.cbbChannels->setCurrentIndex(1);
  EXPECT_EQ(video->VideoBitrate(), 1600);
  EXPECT_EQ(video->AudioChannels(), TCustomAudioChannels::stereo2);
  EXPECT_DOUBLE_EQ(video->AudioBitrate(), 12.2);

  // Sizes: the entry's dimensions are stored; showing again picks the first
  // entry of the table with those dimensions.
  frame.cbbFrameSize->setCurrentText(QStringLiteral("hd480(852x480)"));
  EXPECT_EQ(video->FrameWidth(), 852);
  EXPECT_EQ(video->FrameHeight(), 480);
  frame.SetProfile(video);
  EXPECT_EQ(frame.cbbFrameSize->currentText(), QStringLiteral("wvga(852x480)"));
  frame.cbbFrameSize->setCurrentIndex(0);  // "Original"
  EXPECT_EQ(video->FrameWidth(), 0);
  frame.cbbVideoBitrate->setCurrentText(QStringLiteral("900"));
  frame.cbbFormat->setCurrentText(QStringLiteral("WEBM"));
  EXPECT_EQ(video->VideoBitrate(), 900);
  EXPECT_EQ(video->Format(), TCustomAVFormat::F_WEBM);
}

TEST_F(ProfileEditorTest, DescriptionRenamesTheEntryAsTypedAndStoresItTrimmed) {
  TFormEditProfile editor(profiles);
  editor.SetCurrentProfile(video);
  editor.FrameProfile->edtDescript->setText(QStringLiteral(" Mine "));
  EXPECT_EQ(editor.lstProfile->currentItem()->text(), QStringLiteral(" Mine "));
  EXPECT_EQ(video->Description(), "Mine");
  editor.FrameProfile->edtExtension->setText(QStringLiteral(" .mkv"));
  EXPECT_EQ(video->Extension(), ".mkv");
}

TEST_F(ProfileEditorTest, NewProfilesJoinTheSelectedCategoryAndTheList) {
  TFormEditProfile editor(profiles);
  editor.SetCurrentProfile(only_b);
  editor.actNewVideo->trigger();
  auto* created = dynamic_cast<TAVCustomVideoProfile*>(editor.CurrentProfile());
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->Description(), "New Video Profile");
  EXPECT_EQ(created->Category(), "b");
  EXPECT_EQ(profiles.IndexOf(created), profiles.ProfileCount() - 1);
  EXPECT_EQ(Entries(editor.lstProfile), (QStringList{"Video B", "New Video Profile"}));
  EXPECT_EQ(editor.lstProfile->currentRow(), 1);
  editor.actNewAudio->trigger();
  EXPECT_EQ(editor.CurrentProfile()->Description(), "New Audio Profile");
  EXPECT_EQ(dynamic_cast<TAVCustomVideoProfile*>(editor.CurrentProfile()), nullptr);
}

TEST_F(ProfileEditorTest, DeletingAsksFirstAndTheLastProfileLeavesNoneCurrent) {
  TFormEditProfile editor(profiles);
  editor.SetCurrentProfile(only_b);
  {
    veltrano::test::TMessageRecorder answer_no(false);
    editor.actDelete->trigger();
    EXPECT_EQ(answer_no.Warnings(),
              std::vector<std::string>{"Are you sure to delete the profile?"});
  }
  EXPECT_EQ(profiles.ProfileCount(), 3);
  veltrano::test::TMessageRecorder answer_yes(true);
  editor.actDelete->trigger();
  EXPECT_EQ(profiles.ProfileCount(), 2);
  EXPECT_EQ(profiles.FindProfile("Video B"), nullptr);
  EXPECT_EQ(editor.CurrentProfile(), nullptr);
  EXPECT_EQ(editor.lstProfile->count(), 0);
  EXPECT_FALSE(editor.actDelete->isEnabled());
  EXPECT_FALSE(editor.FrameProfile->edtDescript->isEnabled());

  // In a list of two, removing the second makes the first current.
  editor.SetCurrentProfile(video);
  editor.actDelete->trigger();
  EXPECT_EQ(editor.CurrentProfile(), audio);
  EXPECT_EQ(Entries(editor.lstProfile), QStringList{"Audio A"});
}

TEST_F(ProfileEditorTest, SaveAndExitWritesTheStoreAndClosesWithTheCurrentProfile) {
  auto edit = test::WhenModalOpens<TFormEditProfile>([](TFormEditProfile* editor) {
    editor->actNewAudio->trigger();
    editor->FrameProfile->cbbAudioBitrate->setCurrentText(QStringLiteral("160"));
    editor->actSave->trigger();
  });
  TAVCustomAudioProfile* chosen = EditProfile(profiles, audio, nullptr);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->Description(), "New Audio Profile");

  TAVProfileList reloaded;
  ASSERT_TRUE(LoadProfiles(reloaded));
  const auto* stored =
      dynamic_cast<TAVCustomAudioProfile*>(reloaded.FindProfile("New Audio Profile"));
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->Category(), "A");
  EXPECT_DOUBLE_EQ(stored->AudioBitrate(), 160);
}

}  // namespace
}  // namespace veltrano::gui
