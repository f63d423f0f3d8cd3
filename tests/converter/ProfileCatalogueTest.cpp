// The built-in catalogue: order, categories, the odd values it carries, and
// every profile applying cleanly to fresh options.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "converter/AVProfile.h"
#include "converter/MessageBoxes.h"
#include "converter/ProfileCatalogue.h"

namespace veltrano {
namespace {

class CatalogueTest : public ::testing::Test {
 protected:
  CatalogueTest() { BuildCatalogue(list); }

  const TAVProfile& ByName(const std::string& name) const {
    for (int i = 0; i < list.ProfileCount(); ++i) {
      if (list.Profiles(i)->Name() == name) return *list.Profiles(i);
    }
    throw std::runtime_error("no profile " + name);
  }
  template <class T>
  const T& As(const std::string& name) const {
    const auto* p = dynamic_cast<const T*>(&ByName(name));
    if (p == nullptr) throw std::runtime_error(name + " has another class");
    return *p;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (int i = 0; i < list.ProfileCount(); ++i) names.push_back(list.Profiles(i)->Name());
    return names;
  }

  TAVProfileList list;
};

TEST_F(CatalogueTest, HoldsThirteenCategoriesAndSeventyOneProfilesInOrder) {
  EXPECT_EQ(list.Categories(),
            (TStrings{"视频", "音频", "手机和3gp", "Flash视频", "IPad", "IPhone", "IPod", "Zune",
                      "PSP", "PS3", "Xbox", "Windows Mobile", "Apple TV"}));
  ASSERT_EQ(list.ProfileCount(), 71);
  const std::vector<std::string> names = Names();
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 71u);
  // Spot checks of positions (1-based in the catalogue).
  const std::map<int, std::string> positions{
      {1, "pfVcd"},         {4, "pfDvd_old"},    {6, "pfImage"}, {7, "pfAAC"},
      {9, "pfTV264_320"},   {39, "pf3gp"},       {40, "pfAC3"},  {41, "pf3gp2"},
      {51, "pfMOV"},        {52, "pfJpeg"},      {56, "pfTiff"}, {57, "pfdWMA128"},
      {61, "pfdMP4Normal"}, {71, "pfdSWFNormal"}};
  for (const auto& [position, name] : positions) EXPECT_EQ(names[position - 1], name);
  for (int i = 0; i < list.ProfileCount(); ++i) EXPECT_EQ(list.Profiles(i)->Index(), i);
}

TEST_F(CatalogueTest, EveryCategoryOffersProfilesAndElevenAreOfferedByNone) {
  size_t offered = 0;
  for (const std::string& caption : list.Categories()) {
    const size_t count = list.ProfilesOfCategory(caption).size();
    EXPECT_GT(count, 0u) << caption;
    offered += count;
  }
  EXPECT_EQ(offered, 60u);
  const std::vector<TAVProfile*> xbox = list.ProfilesOfCategory("Xbox");
  ASSERT_EQ(xbox.size(), 2u);
  EXPECT_EQ(xbox[0]->Index(), 44);  // "XBox" as the catalogue spells it
  EXPECT_EQ(xbox[0]->Category(), "XBox");
  EXPECT_EQ(xbox[1]->Index(), 45);
  EXPECT_EQ(list.ProfilesOfCategory("Images").size(), 5u);
}

TEST_F(CatalogueTest, ClearLeavesTheElevenNonParametricProfilesInOrder) {
  list.Clear();
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"pfVcd", "pfDv", "pfDv50", "pfDvd_old", "pfSVcd", "pfImage",
                                      "pfJpeg", "pfGif", "pfPng", "pfBmp", "pfTiff"}));
  for (const std::string& caption : list.Categories()) {
    EXPECT_TRUE(list.ProfilesOfCategory(caption).empty()) << caption;
  }
}

TEST_F(CatalogueTest, CarriesItsOddValuesAsTheyStand) {
  EXPECT_EQ(ByName("pfIPad_H264_HQ").Description(), "IPad H264 Hiqh Quality");
  EXPECT_EQ(As<TAVCustomVideoProfile>("pfdWMVhd").AudioBitrate(), 48000);
  EXPECT_EQ(As<TAVCustomVideoProfile>("pf3gp").AudioBitrate(), 12.2);
  EXPECT_EQ(As<TAVCustomVideoProfile>("pf3gp").AudioChannels(), TCustomAudioChannels::mono1);
  EXPECT_EQ(ByName("pfDvd_old").Description(), "DVD");
  EXPECT_EQ(ByName("pfDvd_old").Extension(), ".vob");
  EXPECT_EQ(ByName("pfDvd_old").Category(), "");
  EXPECT_EQ(ByName("pfImage").Extension(), "%1d.bmp");
  EXPECT_EQ(As<TAVImageProfile>("pfTiff").ImageType(), TAVImageType::tiff);
  EXPECT_EQ(ByName("pfTiff").Extension(), "%1d.tif");
  EXPECT_EQ(As<TAVCustomVideoProfile>("pfIPhone_264").FrameAspectRatio(), TAVAspectRatio::AR4_3);
  EXPECT_EQ(As<TAVCustomVideoProfile>("pfIPhone_264_tele").FrameAspectRatio(),
            TAVAspectRatio::AR_NONE);
  EXPECT_EQ(As<TAVCustomVideoProfile>("pfIPhone_mpeg4_wide").FrameSize(),
            TAVFrameSize::fsIPhoneWide);
  EXPECT_EQ(As<TAVCustomVideoProfile>("pfXb_MPEG_MCE").FrameSize(), TAVFrameSize::fsMceHd);
  EXPECT_EQ(As<TAVCustomAudioProfile>("pfdM4A128").Description(), "MPEG 4 音频");
  EXPECT_EQ(As<TAVCustomVideoProfile>("pfdAVINormal").FrameRate(), TCustomFrameRate::rOriginal);
  EXPECT_EQ(As<TAVCustomVideoProfile>("pf3gp2").Options(), TStrings{"flags=bitexact"});
  for (int i = 0; i < list.ProfileCount(); ++i) {
    if (const auto* v = dynamic_cast<const TAVCustomVideoProfile*>(list.Profiles(i))) {
      EXPECT_EQ(v->Pass(), 0) << v->Name();
    }
  }
}

TEST_F(CatalogueTest, ThreeGppAppliesAsADeviceWould) {
  TAVConvertOptions o;
  o.VideoOptions().SetFrameRate(TRational(12, 1));
  ByName("pf3gp").ApplyProfile(o);
  EXPECT_EQ(o.AudioOptions().AudioChannels(), 1);
  EXPECT_EQ(o.AudioOptions().AudioSampleRate(), 8000);
  EXPECT_EQ(o.AudioOptions().Bitrate(), 12200);
  EXPECT_EQ(o.AudioOptions().EncoderAudioCodecName(), "libopencore_amrnb");
  EXPECT_EQ(o.VideoOptions().EncoderVideoCodecName(), "h263");
  EXPECT_EQ(o.ThreadCount(), 1);
  EXPECT_EQ(o.VideoOptions().FrameWidth(), 176);
  EXPECT_EQ(o.VideoOptions().FrameHeight(), 144);
  EXPECT_EQ(o.OutputFormat(), "3gp");
  EXPECT_EQ(o.VideoOptions().FrameRate().num(), 12);
  EXPECT_FALSE(o.VideoOptions().CustomFrameRate());
}

TEST_F(CatalogueTest, IPhoneMpeg4AddsItsRateControlLines) {
  TAVConvertOptions o;
  ByName("pfIPhone_mpeg4").ApplyProfile(o);
  EXPECT_EQ(o.CodecOptions(),
            (TStrings{"maxrate=1000000", "qmin=3", "qmax=5", "bufsize=4096k", "g=300"}));
  EXPECT_FLOAT_EQ(o.VideoOptions().FrameAspectRatio(), 4.0f / 3.0f);
  EXPECT_EQ(o.OutputFormat(), "mp4");
}

// What each enumerator must put into the options, written out here rather
// than taken from the code under test.
const std::map<std::string, std::string> kAudioCodecs{
    {"AAC", "libfaac"},    {"WMAV2", "wmav2"},
    {"AC3", "ac3"},        {"MP2", "mp2"},
    {"MP3", "libmp3lame"}, {"PCM_S16LE", "pcm_s16le"},
    {"RA1", "real_144"},   {"AMR_NB", "libopencore_amrnb"}};
const std::map<std::string, std::string> kVideoCodecs{
    {"H263", "h263"}, {"H264", "libx264"},          {"MPEG4", "mpeg4"},
    {"WMV2", "wmv2"}, {"MPEG2VIDEO", "mpeg2video"}, {"MSMPEGV3", "msmpeg4"},
    {"RV20", "rv20"}, {"XVID", "libxvid"},          {"FLV", "flv"}};
const std::vector<std::string> kFormats{"",    "rm",  "mp4", "asf",  "avi",  "3gp",
                                        "3g2", "flv", "mov", "psp",  "ipod", "svcd",
                                        "vcd", "vob", "dvd", "webm", "ac3"};
const std::map<std::string, std::vector<std::string>> kDiscNames{
    {"TAVVcdProfile", {"mpeg1video", "mp2", "vcd"}},
    {"TAVSVcdProfile", {"mpeg2video", "mp2", "svcd"}},
    {"TAVDvdProfile", {"mpeg2video", "ac3", "dvd"}},
    {"TAVDvProfile", {"", "", "dv"}},
    {"TAVDv50Profile", {"", "", ""}}};
const std::vector<std::pair<int, int>> kRates{{25, 1}, {15000, 1001}, {20, 1},       {24000, 1001},
                                              {24, 1}, {25, 1},       {30000, 1001}, {30, 1}};

TEST_F(CatalogueTest, EveryProfileAppliesWithoutErrorBoxesAndSetsItsNames) {
  std::vector<std::string> boxes;
  const TErrorBoxHandler previous =
      SetErrorBoxHandler([&](const std::string& text) { boxes.push_back(text); });
  for (int i = 0; i < list.ProfileCount(); ++i) {
    const TAVProfile& profile = *list.Profiles(i);
    SCOPED_TRACE(profile.Name());
    TAVConvertOptions o;
    ASSERT_NO_THROW(EXPECT_TRUE(profile.ApplyProfile(o)));
    const TVideoOptions& v = o.VideoOptions();
    const TAudioOptions& a = o.AudioOptions();

    if (const auto* audio = dynamic_cast<const TAVCustomAudioProfile*>(&profile)) {
      EXPECT_EQ(a.EncoderAudioCodecName(), kAudioCodecs.at(audio->AudioEncoderName()));
      EXPECT_EQ(o.OutputFormat(), kFormats.at(static_cast<size_t>(audio->Format())));
      EXPECT_EQ(a.AudioSampleRate(), audio->SampleRate());
      EXPECT_EQ(a.AudioChannels(), audio->AudioChannels() == TCustomAudioChannels::mono1 ? 1 : 2);
      EXPECT_TRUE(o.SubtitleOptions().SubtitleDisable());
      EXPECT_FALSE(profile.Extension().empty());
    }
    if (const auto* video = dynamic_cast<const TAVCustomVideoProfile*>(&profile)) {
      EXPECT_FALSE(v.VideoDisable());
      EXPECT_EQ(v.EncoderVideoCodecName(), kVideoCodecs.at(video->VideoEncoderName()));
      EXPECT_EQ(v.FrameWidth(), video->FrameWidth());
      EXPECT_EQ(v.FrameHeight(), video->FrameHeight());
      EXPECT_EQ(v.Bitrate(), video->VideoBitrate() * 1000);
      const auto [num, den] = kRates.at(static_cast<size_t>(video->FrameRate()));
      EXPECT_EQ(v.FrameRate().num(), num);
      EXPECT_EQ(v.FrameRate().den(), den);
      EXPECT_EQ(v.CustomFrameRate(), video->FrameRate() != TCustomFrameRate::rOriginal);
    } else if (dynamic_cast<const TAVCustomAudioProfile*>(&profile) != nullptr) {
      EXPECT_TRUE(v.VideoDisable());
      EXPECT_EQ(v.EncoderVideoCodecName(), "");
    } else if (kDiscNames.count(profile.ClassName()) != 0) {
      const std::vector<std::string>& names = kDiscNames.at(profile.ClassName());
      EXPECT_EQ(v.EncoderVideoCodecName(), names[0]);
      EXPECT_EQ(a.EncoderAudioCodecName(), names[1]);
      EXPECT_EQ(o.OutputFormat(), names[2]);
      EXPECT_EQ(v.FrameRate().num(), 25);  // the catalogue's disc profiles are PAL
      EXPECT_TRUE(v.CustomFrameRate());
    } else {
      EXPECT_STREQ(profile.ClassName(), "TAVImageProfile");
      EXPECT_EQ(o.ThreadCount(), 1);
      EXPECT_NE(profile.Extension().find("%1d."), std::string::npos);
    }
  }
  SetErrorBoxHandler(previous);
  EXPECT_TRUE(boxes.empty()) << boxes.front();
}

}  // namespace
}  // namespace veltrano
