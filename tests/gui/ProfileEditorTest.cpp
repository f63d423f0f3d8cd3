#include "gui/FormEditProfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "GuiTestSupport.h"
#include "common/ProfileStore.h"
#include "common/TestHome.h"
#include "converter/AVProfile.h"
#include "gui/FrameProfile.h"
#include "gui/FrameVideoInfo.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

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

// A store with today's keys beside one written before them.
constexpr const char* kStoreWithTodaysKeys =
    "[Profile]\nProfileCount=2\n"
    "Description0=TV\nCategory0=A\nIsVideo0=1\nAudioEncoder0=0\nAudioChannels0=1\n"
    "AudioChannelsName0=chOriginal\nAudioQuality0=2\nDevice0=tv-4k\nKeepAllTracks0=1\n"
    "VideoEncoder0=1\nVideoEncoderName0=H265\nVideoQuality0=23\nMaxFrameWidth0=1920\n"
    "MaxFrameHeight0=1080\nMaxFrameRate0=30\n"
    "Description1=Old\nCategory1=A\nIsVideo1=1\nAudioEncoder1=4\nAudioChannels1=1\n"
    "AudioBitrate1=128\nSampleRate1=44100\nVideoEncoder1=1\nVideoBitrate1=1200\n"
    "FrameWidth1=640\nFrameHeight1=480\n";

TEST_F(ProfileEditorTest, AStoreWithTodaysKeysShowsThemAndAnOlderOneShowsWhatItAlwaysDid) {
  const std::filesystem::path file =
      veltrano::test::MakeTempFolder("editor-store") / "Profiles.ini";
  std::ofstream(file, std::ios::binary) << kStoreWithTodaysKeys;
  TAVProfileList stored;
  stored.SetCategories({"A"});
  ASSERT_TRUE(LoadProfiles(stored, file.string()));
  auto* tv = dynamic_cast<TAVCustomVideoProfile*>(stored.FindProfile("TV"));
  auto* old = dynamic_cast<TAVCustomVideoProfile*>(stored.FindProfile("Old"));
  ASSERT_NE(tv, nullptr);
  ASSERT_NE(old, nullptr);

  TFormEditProfile editor(stored);
  editor.SetCurrentProfile(tv);
  const TFrameProfile& frame = *editor.FrameProfile;
  EXPECT_EQ(frame.cbbVideoEncoder->currentText(), QStringLiteral("H265"));
  EXPECT_EQ(frame.cbbVideoQuality->currentText(), QStringLiteral("23"));
  EXPECT_EQ(frame.cbbMaxSize->currentText(), QStringLiteral("1920x1080"));
  EXPECT_EQ(frame.cbbMaxFrameRate->currentText(), QStringLiteral("30"));
  EXPECT_EQ(frame.cbbDevice->currentText(), QStringLiteral("tv-4k"));
  EXPECT_TRUE(frame.chkKeepAllTracks->isChecked());
  EXPECT_EQ(frame.cbbChannels->currentText(), QStringLiteral("original"));
  EXPECT_EQ(frame.cbbAudioQuality->currentText(), QStringLiteral("2"));
  EXPECT_EQ(frame.cbbSampleRate->currentText(), QStringLiteral("Original"));

  // Back to the bit rate, another bound, no device: written into the profile.
  frame.cbbVideoQuality->setCurrentIndex(0);
  frame.cbbMaxSize->setCurrentText(QStringLiteral("1280x720"));
  frame.cbbDevice->setCurrentIndex(0);
  frame.chkKeepAllTracks->setChecked(false);
  EXPECT_EQ(tv->VideoQuality(), 0);
  EXPECT_EQ(tv->MaxFrameWidth(), 1280);
  EXPECT_EQ(tv->MaxFrameHeight(), 720);
  EXPECT_EQ(tv->Device(), "");
  EXPECT_FALSE(tv->KeepAllTracks());
  EXPECT_EQ(tv->VideoEncoder(), TCustomVideoEncoder::H265);

  // The older profile: every new setting at "none", the old ones as always.
  editor.lstProfile->setCurrentRow(1);
  ASSERT_EQ(editor.CurrentProfile(), old);
  EXPECT_EQ(frame.cbbVideoEncoder->currentText(), QStringLiteral("H264"));
  EXPECT_EQ(frame.cbbVideoBitrate->currentText(), QStringLiteral("1200"));
  EXPECT_EQ(frame.cbbFrameSize->currentText(), QStringLiteral("vga(640x480)"));
  EXPECT_EQ(frame.cbbAudioEncoder->currentText(), QStringLiteral("MP3"));
  EXPECT_EQ(frame.cbbChannels->currentText(), QStringLiteral("stereo"));
  EXPECT_EQ(frame.cbbVideoQuality->currentIndex(), 0);
  EXPECT_EQ(frame.cbbMaxSize->currentIndex(), 0);
  EXPECT_EQ(frame.cbbMaxFrameRate->currentIndex(), 0);
  EXPECT_EQ(frame.cbbDevice->currentIndex(), 0);
  EXPECT_EQ(frame.cbbAudioQuality->currentIndex(), 0);
  EXPECT_FALSE(frame.chkKeepAllTracks->isChecked());
  EXPECT_EQ(old->AudioQuality(), -1.0);
  EXPECT_EQ(old->Device(), "");
}

TEST_F(ProfileEditorTest, TheWizardsInformationShowsQualityBoundsAndCopies) {
  TFrameVideoInfo info;
  auto tv = std::make_unique<TAVCustomVideoProfile>();
  tv->SetVideoQuality(23);
  tv->SetMaxFrameWidth(1920);
  tv->SetMaxFrameHeight(1080);
  tv->SetMaxFrameRate(30);
  tv->SetAudioQuality(2);
  tv->SetAudioChannels(TCustomAudioChannels::chOriginal);
  info.ShowProfile(*tv);
  EXPECT_EQ(info.lblVideoBitrate->text(), QStringLiteral("质量 23"));
  EXPECT_EQ(info.lblFrameSize->text(), QStringLiteral("最大 1920x1080"));
  EXPECT_EQ(info.lblFrameRate->text(), QStringLiteral("最高 30"));
  EXPECT_EQ(info.lblAudioBitrate->text(), QStringLiteral("质量 2"));
  EXPECT_EQ(info.lblChannels->text(), QStringLiteral("与源相同"));
  EXPECT_EQ(info.lblSampleRate->text(), QStringLiteral("与源相同"));
  TAVRemuxProfile remux;
  info.ShowProfile(remux);
  EXPECT_EQ(info.lblVideoEncoder->text(), QStringLiteral("直接复制"));
  EXPECT_EQ(info.lblAudioEncoder->text(), QStringLiteral("直接复制"));
  EXPECT_EQ(info.lblFrameSize->text(), QStringLiteral("与源相同"));
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
