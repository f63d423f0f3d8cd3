// The user profile store: round trips through Profiles.ini, its key layout,
// leftovers, malformed values and atomic replacement.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "TestHome.h"
#include "common/ProfileStore.h"
#include "converter/AVError.h"
#include "converter/DeviceCatalogue.h"
#include "converter/ProfileCatalogue.h"
#include "platform/AppFolders.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

class ProfileStoreTest : public ::testing::Test {
 protected:
  ProfileStoreTest() : folder(test::MakeTempFolder("store")), file((folder / "Profiles.ini")) {}

  void WriteStore(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
  std::unique_ptr<TAVProfileList> LoadedCatalogue() {
    auto list = std::make_unique<TAVProfileList>();
    BuildCatalogue(*list);
    EXPECT_TRUE(LoadProfiles(*list, file.string()));
    return list;
  }

  fs::path folder;
  fs::path file;
};

void ExpectSameAudio(const TAVCustomAudioProfile& a, const TAVCustomAudioProfile& b) {
  EXPECT_EQ(a.Description(), b.Description());
  EXPECT_EQ(a.Extension(), b.Extension());
  EXPECT_EQ(a.Category(), b.Category());
  EXPECT_EQ(a.SampleRate(), b.SampleRate());
  EXPECT_EQ(a.AudioEncoder(), b.AudioEncoder());
  EXPECT_EQ(a.AudioBitrate(), b.AudioBitrate());
  EXPECT_EQ(a.AudioChannels(), b.AudioChannels());
  EXPECT_EQ(a.Format(), b.Format());
  EXPECT_EQ(a.Options(), b.Options());
}

TEST_F(ProfileStoreTest, CatalogueRoundTripKeepsEveryStoredValueButNotTheAspect) {
  TAVProfileList original;
  BuildCatalogue(original);
  SaveProfiles(original, file.string());
  const std::unique_ptr<TAVProfileList> loaded = LoadedCatalogue();

  ASSERT_EQ(loaded->ProfileCount(), 71);
  // The eleven non-parametric profiles first, then the stored ones in order.
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(dynamic_cast<TAVCustomAudioProfile*>(loaded->Profiles(i)), nullptr);
  }
  int stored = 11;
  for (int i = 0; i < original.ProfileCount(); ++i) {
    const auto* before = dynamic_cast<const TAVCustomAudioProfile*>(original.Profiles(i));
    if (before == nullptr) continue;
    const auto* after = dynamic_cast<const TAVCustomAudioProfile*>(loaded->Profiles(stored++));
    ASSERT_NE(after, nullptr);
    SCOPED_TRACE(before->Description());
    ExpectSameAudio(*before, *after);
    const auto* video_before = dynamic_cast<const TAVCustomVideoProfile*>(before);
    const auto* video_after = dynamic_cast<const TAVCustomVideoProfile*>(after);
    ASSERT_EQ(video_before == nullptr, video_after == nullptr);
    if (video_before == nullptr) continue;
    EXPECT_EQ(video_before->FrameWidth(), video_after->FrameWidth());
    EXPECT_EQ(video_before->FrameHeight(), video_after->FrameHeight());
    EXPECT_EQ(video_before->VideoEncoder(), video_after->VideoEncoder());
    EXPECT_EQ(video_before->FrameRate(), video_after->FrameRate());
    EXPECT_EQ(video_before->VideoBitrate(), video_after->VideoBitrate());
    EXPECT_EQ(video_after->FrameAspectRatio(), TAVAspectRatio::AR_NONE);  // not stored
  }
  EXPECT_EQ(stored, 71);
  EXPECT_EQ(loaded->ProfilesOfCategory("Xbox").size(), 2u);
}

TEST_F(ProfileStoreTest, ChineseTextsAndQuotedOptionsRoundTrip) {
  TAVProfileList list;
  auto p = std::make_unique<TAVCustomVideoProfile>();
  p->SetDescription("我的 视频 \"配置\"");
  p->SetExtension(".中文");
  p->SetCategory("手机和3gp");
  p->SetAudioBitrate(12.2);
  p->SetOptions({"x=\"a b\"", "y=1,2", "中文=值", "", "flags=+loop"});
  TAVCustomVideoProfile* original = list.Add(std::move(p));
  SaveProfiles(list, file.string());

  TAVProfileList loaded;
  ASSERT_TRUE(LoadProfiles(loaded, file.string()));
  ASSERT_EQ(loaded.ProfileCount(), 1);
  const auto* back = dynamic_cast<const TAVCustomVideoProfile*>(loaded.Profiles(0));
  ASSERT_NE(back, nullptr);
  ExpectSameAudio(*original, *back);
}

TEST_F(ProfileStoreTest, WritesTheKeysInOrderWithIsVideoReplaced) {
  TAVProfileList list;
  BuildCatalogue(list);
  SaveProfiles(list, file.string());
  const std::string text = test::ReadWholeFile(file);

  // pfAAC is the first parametric profile (number 0), pfMp3 the second.
  const std::vector<std::string> keys{"Description0=AAC Audio",
                                      "Extension0=.mp4",
                                      "Category0=音频",
                                      "IsVideo0=0",
                                      "SampleRate0=48000",
                                      "AudioEncoder0=0",
                                      "AudioChannels0=1",
                                      "AudioBitrate0=128",
                                      "Format0=0",
                                      "Options0=",
                                      "Description1=MP3 Audio"};
  size_t position = 0;
  for (const std::string& key : keys) {
    const size_t found = text.find("\n" + key + "\n", position);
    ASSERT_NE(found, std::string::npos) << key;
    position = found + 1;
  }
  // A video profile's IsVideo is written once, in the audio part's place, as 1.
  EXPECT_NE(text.find("Category2=Apple TV\nIsVideo2=1\nSampleRate2=48000\n"), std::string::npos);
  EXPECT_EQ(text.find("IsVideo2=0"), std::string::npos);
  EXPECT_NE(text.find("Options26=maxrate=1000000,qmin=3,qmax=5,bufsize=4096k,g=300\n"),
            std::string::npos);
  EXPECT_NE(text.find("AudioBitrate32=12.2\n"), std::string::npos);
  EXPECT_NE(text.find("ProfileCount=60\n"), std::string::npos);
  EXPECT_EQ(text.find("ProfileCount=60\n"), text.rfind("ProfileCount="));
}

TEST_F(ProfileStoreTest, LeftoversOfALongerStoreStayAndAreIgnored) {
  TAVProfileList list;
  for (const char* name : {"one", "two", "three"}) {
    auto p = std::make_unique<TAVCustomAudioProfile>();
    p->SetDescription(name);
    list.AddProfile(std::move(p));
  }
  SaveProfiles(list, file.string());
  list.RemoveProfile(list.Profiles(2));
  list.RemoveProfile(list.Profiles(1));
  SaveProfiles(list, file.string());
  EXPECT_NE(test::ReadWholeFile(file).find("Description2=three"), std::string::npos);

  TAVProfileList loaded;
  LoadProfiles(loaded, file.string());
  ASSERT_EQ(loaded.ProfileCount(), 1);
  EXPECT_EQ(loaded.Profiles(0)->Description(), "one");

  // A count below the numbers present reads only as many.
  WriteStore(
      "[Profile]\nProfileCount=2\nDescription0=a\nDescription1=b\nDescription2=c\nIsVideo1=1\n");
  TAVProfileList two;
  LoadProfiles(two, file.string());
  ASSERT_EQ(two.ProfileCount(), 2);
  EXPECT_EQ(two.Profiles(1)->Description(), "b");
  EXPECT_NE(dynamic_cast<TAVCustomVideoProfile*>(two.Profiles(1)), nullptr);
}

TEST_F(ProfileStoreTest, MalformedValuesFallBackAndOrdinalsAreKeptAsRead) {
  WriteStore(
      "[profile]\n"
      "profilecount=1\n"
      "ISVIDEO0=7\n"
      "Description0=  hand made  \n"
      "SampleRate0=abc\n"
      "AudioEncoder0=0x3\n"
      "AudioChannels0=1\n"
      "AudioBitrate0=12,5\n"
      "Format0=99\n"
      "Options0=a=1 b=2\n"
      "FrameWidth0=$140\n"
      "FrameHeight0=99999999999\n"
      "VideoEncoder0=1\n"
      "FrameRate0=x\n");
  TAVProfileList list;
  ASSERT_TRUE(LoadProfiles(list, file.string()));
  ASSERT_EQ(list.ProfileCount(), 1);
  const auto* p = dynamic_cast<const TAVCustomVideoProfile*>(list.Profiles(0));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Description(), "hand made");
  EXPECT_EQ(p->SampleRate(), 0);
  EXPECT_EQ(p->AudioEncoder(), TCustomAudioEncoder::MP2);
  EXPECT_EQ(p->AudioChannels(), TCustomAudioChannels::stereo2);
  EXPECT_EQ(p->AudioBitrate(), 12.5);
  EXPECT_EQ(static_cast<int>(p->Format()), 99);
  EXPECT_EQ(p->Options(), (TStrings{"a=1", "b=2"}));
  EXPECT_EQ(p->FrameWidth(), 320);
  EXPECT_EQ(p->FrameHeight(), 0);
  EXPECT_EQ(p->VideoEncoder(), TCustomVideoEncoder::H264);
  EXPECT_EQ(p->FrameRate(), TCustomFrameRate::rOriginal);
  EXPECT_EQ(p->Pass(), 0);
  EXPECT_EQ(p->Extension(), "");

  // The unknown format fails only when the profile is applied.
  TAVConvertOptions o;
  EXPECT_THROW(p->ApplyProfile(o), EAVError);
}

TEST_F(ProfileStoreTest, CountsThatNoKeysBackAreNotBelieved) {
  WriteStore("[Profile]\nProfileCount=2000000000\nDescription0=only\n");
  TAVProfileList list;
  LoadProfiles(list, file.string());
  EXPECT_LE(list.ProfileCount(), 2);
  EXPECT_EQ(list.Profiles(0)->Description(), "only");

  WriteStore("[Profile]\nProfileCount=none\n");
  const std::unique_ptr<TAVProfileList> empty = LoadedCatalogue();
  EXPECT_EQ(empty->ProfileCount(), 11);
  for (const std::string& caption : empty->Categories()) {
    EXPECT_TRUE(empty->ProfilesOfCategory(caption).empty());
  }
}

TEST_F(ProfileStoreTest, AMissingOrUnreadableStoreLeavesTheCatalogue) {
  TAVProfileList list;
  BuildCatalogue(list);
  EXPECT_FALSE(LoadProfiles(list, (folder / "absent.ini").string()));
  EXPECT_EQ(list.ProfileCount(), 71);
  fs::create_directory(file);  // exists, but cannot be read as a store
  EXPECT_FALSE(LoadProfiles(list, file.string()));
  EXPECT_EQ(list.ProfileCount(), 71);
}

TEST_F(ProfileStoreTest, LineBreaksInAValueCannotForgeKeys) {
  TAVProfileList list;
  auto p = std::make_unique<TAVCustomAudioProfile>();
  p->SetDescription("evil\nProfileCount=50\r\n[Other]");
  list.AddProfile(std::move(p));
  SaveProfiles(list, file.string());
  TAVProfileList loaded;
  LoadProfiles(loaded, file.string());
  ASSERT_EQ(loaded.ProfileCount(), 1);
  EXPECT_EQ(loaded.Profiles(0)->Description(), "evil ProfileCount=50  [Other]");
}

TEST_F(ProfileStoreTest, KeepsOtherKeysAndReplacesTheFileWhole) {
  WriteStore("[Other]\nkeep=me\n[Profile]\nMine=1\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  TAVProfileList list;
  BuildCatalogue(list);
  SaveProfiles(list, file.string());
  const std::string text = test::ReadWholeFile(file);
  EXPECT_NE(text.find("keep=me"), std::string::npos);
  EXPECT_NE(text.find("Mine=1"), std::string::npos);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  for (const auto& entry : fs::directory_iterator(folder)) {
    EXPECT_EQ(entry.path().filename(), "Profiles.ini");  // no temporary left behind
  }
}

TEST_F(ProfileStoreTest, TodaysSettingsGoIntoNewKeysThatOlderReadersIgnore) {
  TAVProfileList list;
  BuildDeviceCatalogue(list);
  SaveProfiles(list, file.string());
  const std::string text = test::ReadWholeFile(file);
  // Profile 2 is the television's H.265: older readers see H.264 (ordinal 1),
  // the source's size and rate, and the encoder's own rate control.
  for (const char* line :
       {"\nVideoEncoder2=1\n", "\nVideoEncoderName2=H265\n", "\nVideoQuality2=24\n",
        "\nMaxFrameWidth2=3840\n", "\nMaxFrameHeight2=2160\n", "\nMaxFrameRate2=60\n",
        "\nDevice2=tv-4k\n", "\nFrameWidth2=0\n", "\nVideoBitrate2=0\n",
        // FLAC (11) is PCM for them, with the source's channels as stereo.
        "\nAudioEncoder11=5\n", "\nAudioEncoderName11=FLAC\n", "\nAudioChannels11=1\n",
        "\nAudioChannelsName11=chOriginal\n", "\nAudioQuality13=2\n", "\nKeepAllTracks7=1\n",
        "\nProfileCount=14\n", "\nCatalogueVersion=2\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  // Nothing of the new keys for what older profiles can say themselves.
  TAVProfileList old;
  BuildCatalogue(old);
  SaveProfiles(old, (folder / "old.ini").string());
  const std::string old_text = test::ReadWholeFile(folder / "old.ini");
  for (const char* key : {"EncoderName", "ChannelsName", "\nVideoQuality", "\nAudioQuality",
                          "\nMaxFrame", "\nDevice", "\nKeepAllTracks"}) {
    EXPECT_EQ(old_text.find(key), std::string::npos) << key;
  }

  TAVProfileList loaded;
  ASSERT_TRUE(LoadProfiles(loaded, file.string()));
  ASSERT_EQ(loaded.ProfileCount(), 14);  // the two remux profiles are never stored
  for (int i = 0; i < loaded.ProfileCount(); ++i) {
    const auto& a = dynamic_cast<const TAVCustomAudioProfile&>(*list.Profiles(i));
    const auto& b = dynamic_cast<const TAVCustomAudioProfile&>(*loaded.Profiles(i));
    ExpectSameAudio(a, b);
    EXPECT_EQ(a.AudioQuality(), b.AudioQuality());
    EXPECT_EQ(a.Device(), b.Device());
    EXPECT_EQ(a.KeepAllTracks(), b.KeepAllTracks());
    const auto* va = dynamic_cast<const TAVCustomVideoProfile*>(&a);
    const auto* vb = dynamic_cast<const TAVCustomVideoProfile*>(&b);
    ASSERT_EQ(va == nullptr, vb == nullptr);
    if (va == nullptr) continue;
    EXPECT_EQ(va->VideoEncoder(), vb->VideoEncoder());
    EXPECT_EQ(va->VideoQuality(), vb->VideoQuality());
    EXPECT_EQ(va->MaxFrameWidth(), vb->MaxFrameWidth());
    EXPECT_EQ(va->MaxFrameHeight(), vb->MaxFrameHeight());
    EXPECT_EQ(va->MaxFrameRate(), vb->MaxFrameRate());
  }
}

TEST_F(ProfileStoreTest, AnOlderReadersChangeWinsAndAClearedValueLeavesTheFile) {
  TAVProfileList list;
  auto tv = std::make_unique<TAVCustomVideoProfile>();
  tv->SetVideoEncoder(TCustomVideoEncoder::H265);
  tv->SetVideoQuality(24);
  TAVCustomVideoProfile* profile = list.Add(std::move(tv));
  SaveProfiles(list, file.string());

  // An older program changed the encoder to MPEG-4 and kept the key it does not know.
  std::string text = test::ReadWholeFile(file);
  text.replace(text.find("VideoEncoder0=1"), 15, "VideoEncoder0=2");
  WriteStore(text);
  TAVProfileList edited;
  LoadProfiles(edited, file.string());
  EXPECT_EQ(dynamic_cast<TAVCustomVideoProfile&>(*edited.Profiles(0)).VideoEncoder(),
            TCustomVideoEncoder::MPEG4);

  // Back to the bit rate and to an encoder older readers know: the keys go.
  profile->SetVideoQuality(0);
  profile->SetVideoEncoder(TCustomVideoEncoder::H264);
  SaveProfiles(list, file.string());
  text = test::ReadWholeFile(file);
  EXPECT_EQ(text.find("VideoQuality0"), std::string::npos);
  EXPECT_EQ(text.find("VideoEncoderName0"), std::string::npos);
}

TEST_F(ProfileStoreTest, TheProgramListUsesTheStoreOfTheAppDataFolder) {
  test::UseFreshConfigHome("programlist");
  const std::unique_ptr<TAVProfileList> fresh = CreateProfileList();
  EXPECT_EQ(fresh->ProfileCount(), kCatalogueProfileCount + kDeviceCatalogueProfileCount);
  EXPECT_EQ(fresh->Categories().back(), kDeviceCategory);

  TAVProfileList mine;
  auto p = std::make_unique<TAVCustomAudioProfile>();
  p->SetDescription("Only mine");
  p->SetCategory("音频");
  mine.AddProfile(std::move(p));
  SaveProfiles(mine);  // creates the folder chain
  EXPECT_TRUE(fs::exists(GetProfilesFile()));

  // The store knows today's category and holds none of it: only the two
  // remux profiles, which are never stored, stay (last in the list).
  const std::unique_ptr<TAVProfileList> list = CreateProfileList();
  ASSERT_EQ(list->ProfileCount(), 14);
  EXPECT_EQ(list->ProfilesOfCategory("音频").size(), 1u);
  EXPECT_NE(list->FindProfile("Only mine"), nullptr);
  EXPECT_EQ(list->Profiles(13)->Name(), "pfRemuxMkv");
  EXPECT_EQ(list->ProfilesOfCategory(kDeviceCategory).size(), 2u);

  // A store of an older version: today's profiles join the user's, before
  // the remux profiles.
  std::ofstream(GetProfilesFile(), std::ios::binary)
      << "[Profile]\nProfileCount=1\nDescription0=Older\nCategory0=音频\n";
  const std::unique_ptr<TAVProfileList> older = CreateProfileList();
  const std::vector<TAVProfile*> today = older->ProfilesOfCategory(kDeviceCategory);
  ASSERT_EQ(today.size(), static_cast<size_t>(kDeviceCatalogueProfileCount));
  EXPECT_EQ(today.front()->Name(), "pfPhone1080");
  EXPECT_EQ(today.back()->Name(), "pfRemuxMkv");
  EXPECT_NE(older->FindProfile("Older"), nullptr);
}

}  // namespace
}  // namespace veltrano
