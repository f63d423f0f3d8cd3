// Short profile ids and finding a profile by what people type.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "converter/DeviceCatalogue.h"
#include "converter/ProfileCatalogue.h"
#include "converter/ProfileIds.h"

namespace veltrano {
namespace {

std::unique_ptr<TAVCustomAudioProfile> UserProfile(const std::string& description) {
  auto profile = std::make_unique<TAVCustomAudioProfile>();
  profile->SetDescription(description);
  profile->SetExtension(".mp3");
  return profile;
}

TEST(ProfileIds, EveryCatalogueProfileHasItsOwnShortStableId) {
  TAVProfileList list;
  BuildCatalogue(list);
  const std::vector<std::string> ids = ProfileIds(list);
  ASSERT_EQ(ids.size(), static_cast<size_t>(kCatalogueProfileCount));
  const std::regex form("[a-z0-9]+(-[a-z0-9]+)*");
  std::set<std::string> seen;
  for (int i = 0; i < list.ProfileCount(); ++i) {
    const std::string& name = list.Profiles(i)->Name();
    EXPECT_TRUE(std::regex_match(ids[i], form)) << ids[i];
    EXPECT_LE(ids[i].size(), 20u) << ids[i];
    EXPECT_TRUE(seen.insert(ids[i]).second) << "twice: " << ids[i];
    // From the table, not from the position: a new catalogue entry cannot
    // shift the others' ids.
    EXPECT_EQ(CatalogueProfileId(name), ids[i]) << name;
  }
  EXPECT_EQ(CatalogueProfileId("pfIPhone_264"), "iphone-h264");
  EXPECT_EQ(CatalogueProfileId("pfdAVIXviD"), "xvid-avi");
  EXPECT_EQ(CatalogueProfileId("pfMp3"), "mp3");
  EXPECT_EQ(CatalogueProfileId("pfNoSuch"), "");
}

TEST(ProfileIds, TodaysProfilesHaveIdsOfTheirOwnThatFindThem) {
  TAVProfileList list;
  BuildCatalogue(list);
  BuildDeviceCatalogue(list);
  const std::vector<std::string> ids = ProfileIds(list);
  std::set<std::string> seen(ids.begin(), ids.end());
  EXPECT_EQ(seen.size(), ids.size());
  for (int i = kCatalogueProfileCount; i < list.ProfileCount(); ++i) {
    EXPECT_EQ(CatalogueProfileId(list.Profiles(i)->Name()), ids[i]) << list.Profiles(i)->Name();
  }
  EXPECT_EQ(FindProfileByName(list, "phone-1080p").profile->Name(), "pfPhone1080");
  EXPECT_EQ(FindProfileByName(list, "REMUX-MKV").profile->Name(), "pfRemuxMkv");
  EXPECT_EQ(FindProfileByName(list, "archive-av1").profile->Description(),
            "Archive AV1 (MKV, every track)");
  // Stored without their component names, they keep their ids by description.
  TAVProfileList stored;
  auto opus = std::make_unique<TAVCustomAudioProfile>();
  opus->SetDescription("Opus Audio");
  stored.AddProfile(std::move(opus));
  EXPECT_EQ(ProfileIds(stored), std::vector<std::string>{"opus"});
}

TEST(ProfileIds, UserProfilesGetIdsFromTheirDescriptionThatNeverTakeAnother) {
  EXPECT_EQ(ProfileIdFromDescription("My Phone (480p) *fast*"), "my-phone-480p-fast");
  EXPECT_EQ(ProfileIdFromDescription("我的配置"), "profile");
  EXPECT_EQ(ProfileIdFromDescription("MP4 视频 HD"), "mp4-hd");

  TAVProfileList list;
  // A user profile listed before the catalogue's MP3 profile, named so that
  // it would take the catalogue's id.
  list.AddProfile(UserProfile("MP3"));
  BuildCatalogue(list);
  // The catalogue's profile as the user's store holds it: no component name,
  // recognised by its description.
  list.AddProfile(UserProfile("Matroska Video"));
  list.AddProfile(UserProfile("我的配置"));
  list.AddProfile(UserProfile("我的另一个配置"));
  list.AddProfile(UserProfile("mp3"));
  const std::vector<std::string> ids = ProfileIds(list);
  EXPECT_EQ(ids.front(), "mp3-2");
  EXPECT_EQ(ids[8], "mp3");  // the catalogue's "MP3 Audio", at its position 8
  const size_t n = ids.size();
  EXPECT_EQ(ids[n - 4], "mkv-2");  // "mkv" is the catalogue's own entry in this list
  EXPECT_EQ(ids[n - 3], "profile");
  EXPECT_EQ(ids[n - 2], "profile-2");
  EXPECT_EQ(ids[n - 1], "mp3-3");
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), n);
}

TEST(ProfileIds, NamesMatchByIdOrDescriptionIgnoringCaseAndBlanks) {
  TAVProfileList list;
  BuildCatalogue(list);
  auto found = [&list](const std::string& name) {
    const TProfileLookup lookup = FindProfileByName(list, name);
    return lookup.profile != nullptr ? lookup.profile->Description() : std::string("(none)");
  };
  EXPECT_EQ(found("iphone-h264"), "IPhone H264 Video");
  EXPECT_EQ(found("IPHONE-H264"), "IPhone H264 Video");
  EXPECT_EQ(found("IPhone H264 Video"), "IPhone H264 Video");
  EXPECT_EQ(found("iphoneh264video"), "IPhone H264 Video");
  EXPECT_EQ(found("  iphone  H264   VIDEO "), "IPhone H264 Video");
  EXPECT_EQ(found("xvid影片(*.AVI)"), "XviD影片(*.avi)");
  EXPECT_EQ(found("MPEG 4 音频"), "MPEG 4 音频");
  EXPECT_EQ(found("mpeg4音频"), "MPEG 4 音频");
  EXPECT_EQ(FindProfileByName(list, "mp3").id, "mp3");
  EXPECT_EQ(found("iphone-h26"), "(none)");
  EXPECT_EQ(found(""), "(none)");
}

TEST(ProfileIds, ATypoSuggestsTheNearestProfilesFirst) {
  TAVProfileList list;
  BuildCatalogue(list);
  TProfileLookup lookup = FindProfileByName(list, "iphone-h246");
  ASSERT_FALSE(lookup.suggestions.empty());
  EXPECT_EQ(lookup.suggestions.front(), "iphone-h264 (IPhone H264 Video)");
  EXPECT_LE(lookup.suggestions.size(), 5u);

  lookup = FindProfileByName(list, "Matroska Vdieo");
  ASSERT_FALSE(lookup.suggestions.empty());
  EXPECT_EQ(lookup.suggestions.front(), "mkv (Matroska Video)");

  // Part of a name is near enough.
  lookup = FindProfileByName(list, "zune");
  ASSERT_EQ(lookup.suggestions.size(), 3u);
  for (const std::string& suggestion : lookup.suggestions) {
    EXPECT_EQ(suggestion.rfind("zune-", 0), 0u) << suggestion;
  }
  EXPECT_TRUE(FindProfileByName(list, "something else entirely").suggestions.empty());
}

}  // namespace
}  // namespace veltrano
