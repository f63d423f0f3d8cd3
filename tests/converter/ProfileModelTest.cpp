// The profile model: what ApplyProfile writes (and leaves alone), the x264
// presets, the disc recipes, frame sizes and the list's ownership rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "converter/AVConverter.h"
#include "converter/AVError.h"
#include "converter/AVProfile.h"
#include "converter/MessageBoxes.h"

namespace veltrano {
namespace {

// Records error boxes instead of printing them.
class ErrorBoxRecorder {
 public:
  ErrorBoxRecorder() {
    previous_ = SetErrorBoxHandler([this](const std::string& text) { boxes.push_back(text); });
  }
  ~ErrorBoxRecorder() { SetErrorBoxHandler(previous_); }
  std::vector<std::string> boxes;

 private:
  TErrorBoxHandler previous_;
};

std::unique_ptr<TAVCustomVideoProfile> MakeVideoProfile() {
  auto p = std::make_unique<TAVCustomVideoProfile>();
  p->SetSampleRate(44100);
  p->SetAudioEncoder(TCustomAudioEncoder::MP3);
  p->SetAudioBitrate(128);
  p->SetAudioChannels(TCustomAudioChannels::stereo2);
  p->SetFormat(TCustomAVFormat::F_AVI);
  p->SetFrameWidth(640);
  p->SetFrameHeight(480);
  p->SetVideoEncoder(TCustomVideoEncoder::MPEG4);
  p->SetFrameRate(TCustomFrameRate::r2997);
  p->SetVideoBitrate(1200);
  p->SetPass(1);
  p->SetOptions({"qmin=3", "g=300"});
  return p;
}

TEST(ProfileApplyTest, AudioProfileOnStreamCopyOnlySwitchesVideoAndSubtitlesOff) {
  TAVConvertOptions o;
  o.AudioOptions().SetAudioStreamCopy(true);
  o.AudioOptions().SetEncoderAudioCodecName("copy-kept");
  o.AudioOptions().SetBitrate(1);
  o.AudioOptions().SetAudioSampleRate(22050);
  o.AudioOptions().SetAudioChannels(6);
  o.SetOutputFormat("matroska");
  o.SetCodecOptions({"x=1"});

  TAVCustomAudioProfile p;
  p.SetAudioEncoder(TCustomAudioEncoder::AC3);
  p.SetAudioBitrate(192);
  p.SetSampleRate(48000);
  p.SetAudioChannels(TCustomAudioChannels::stereo2);
  p.SetFormat(TCustomAVFormat::F_AC3);
  p.SetOptions({"y=2"});
  EXPECT_TRUE(p.ApplyProfile(o));

  EXPECT_TRUE(o.VideoOptions().VideoDisable());
  EXPECT_TRUE(o.SubtitleOptions().SubtitleDisable());
  EXPECT_EQ(o.AudioOptions().EncoderAudioCodecName(), "copy-kept");
  EXPECT_EQ(o.AudioOptions().Bitrate(), 1);
  EXPECT_EQ(o.AudioOptions().AudioSampleRate(), 22050);
  EXPECT_EQ(o.AudioOptions().AudioChannels(), 6);
  EXPECT_EQ(o.OutputFormat(), "matroska");
  EXPECT_EQ(o.CodecOptions(), TStrings{"x=1"});
}

TEST(ProfileApplyTest, VideoProfileOnAudioStreamCopyStillSetsTheVideo) {
  TAVConvertOptions o;
  o.AudioOptions().SetAudioStreamCopy(true);
  o.VideoOptions().SetVideoDisable(true);
  auto p = MakeVideoProfile();
  EXPECT_TRUE(p->ApplyProfile(o));
  TAVConvertOptions four_thirds;
  p->SetFrameAspectRatio(TAVAspectRatio::AR4_3);
  p->ApplyProfile(four_thirds);
  EXPECT_EQ(four_thirds.VideoOptions().FrameAspectRatio(), 4.0f / 3.0f);  // single precision

  const TVideoOptions& v = o.VideoOptions();
  EXPECT_FALSE(v.VideoDisable());
  EXPECT_EQ(v.EncoderVideoCodecName(), "mpeg4");
  EXPECT_EQ(v.FrameWidth(), 640);
  EXPECT_EQ(v.FrameHeight(), 480);
  EXPECT_EQ(v.Bitrate(), 1200000);
  EXPECT_EQ(v.Pass(), 1);
  EXPECT_EQ(v.FrameRate().num(), 30000);
  EXPECT_EQ(v.FrameRate().den(), 1001);
  EXPECT_TRUE(v.CustomFrameRate());
  EXPECT_EQ(v.FrameAspectRatio(), 0.0f);
  // The audio part returned early: no codec, format or options.
  EXPECT_EQ(o.AudioOptions().EncoderAudioCodecName(), "");
  EXPECT_EQ(o.OutputFormat(), "");
  EXPECT_TRUE(o.CodecOptions().empty());
}

TEST(ProfileApplyTest, AudioBitrateIsKilobitsRoundedHalvesToEven) {
  const std::vector<std::pair<double, int>> cases{
      {12.2, 12200}, {64, 64000}, {0.0625, 62}, {0.1875, 188}, {48000, 48000000}};
  for (const auto& [kbits, bits] : cases) {
    TAVConvertOptions o;
    TAVCustomAudioProfile p;
    p.SetAudioBitrate(kbits);
    p.ApplyProfile(o);
    EXPECT_EQ(o.AudioOptions().Bitrate(), bits) << kbits;
  }
}

TEST(ProfileApplyTest, HugeBitratesFromAHandEditedStoreAreClampedNotWrapped) {
  TAVConvertOptions o;
  auto p = MakeVideoProfile();
  p->SetAudioBitrate(1e12);
  p->SetVideoBitrate(3000000);
  p->ApplyProfile(o);
  EXPECT_EQ(o.AudioOptions().Bitrate(), MaxInt);
  EXPECT_EQ(o.VideoOptions().Bitrate(), MaxInt);
}

TEST(ProfileApplyTest, ZeroSizeKeepsTheOptionsSizeAndEachSideIsTestedAlone) {
  TAVConvertOptions o;
  o.VideoOptions().SetFrameWidth(111);
  o.VideoOptions().SetFrameHeight(222);
  auto p = MakeVideoProfile();
  p->SetFrameWidth(0);
  p->SetFrameHeight(0);
  EXPECT_EQ(p->FrameSize(), TAVFrameSize::fsOriginal);
  p->ApplyProfile(o);
  EXPECT_EQ(o.VideoOptions().FrameWidth(), 111);
  EXPECT_EQ(o.VideoOptions().FrameHeight(), 222);

  p->SetFrameHeight(144);
  p->ApplyProfile(o);
  EXPECT_EQ(o.VideoOptions().FrameWidth(), 111);
  EXPECT_EQ(o.VideoOptions().FrameHeight(), 144);
}

TEST(ProfileApplyTest, OriginalFrameRateKeepsTheRateAndHandsItBackToTheSource) {
  TAVConvertOptions o;
  auto p = MakeVideoProfile();
  p->ApplyProfile(o);  // 29.97 first
  ASSERT_TRUE(o.VideoOptions().CustomFrameRate());

  p->SetFrameRate(TCustomFrameRate::rOriginal);
  p->ApplyProfile(o);
  EXPECT_EQ(o.VideoOptions().FrameRate().num(), 30000);  // left as it was
  EXPECT_FALSE(o.VideoOptions().CustomFrameRate());      // but no longer imposed
}

TEST(ProfileApplyTest, H264GetsTheBasicPresetThenMbdAndLevel) {
  TAVConvertOptions o;
  o.SetThreadCount(8);
  auto p = MakeVideoProfile();
  p->SetVideoEncoder(TCustomVideoEncoder::H264);
  p->SetOptions({});
  p->SetPass(0);
  p->ApplyProfile(o);
  EXPECT_EQ(o.VideoOptions().EncoderVideoCodecName(), "libx264");
  EXPECT_EQ(o.VideoOptions().Pass(), 0);
  const TStrings expected{"coder=1",
                          "flags=+loop",
                          "cmp=+chroma",
                          "partitions=+parti8x8+parti4x4+partp8x8+partb8x8",
                          "me_method=hex",
                          "subq=7",
                          "me_range=16",
                          "g=250",
                          "keyint_min=25",
                          "sc_threshold=40",
                          "i_qfactor=0.71",
                          "b_strategy=1",
                          "qcomp=0.6",
                          "qmin=10",
                          "qmax=51",
                          "qdiff=4",
                          "bf=3",
                          "refs=3",
                          "directpred=1",
                          "trellis=1",
                          "flags2=+mixed_refs+wpred+dct8x8+fastpskip+mbtree",
                          "wpredp=2",
                          "mbd=rd",
                          "level=41"};
  EXPECT_EQ(o.CodecOptions(), expected);
  EXPECT_EQ(o.ThreadCount(), 8);  // H.264 keeps the thread count
}

TEST(ProfileApplyTest, X264LosslessTailAndAnUnknownPresetSetsNothing) {
  TAVConvertOptions lossless;
  TAVX264Profile p;
  p.Setpreset(TPreset::LosslessFast);
  p.ApplyProfile(lossless);
  const TStrings& lines = lossless.CodecOptions();
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[3], "partitions=-parti8x8+parti4x4+partp8x8-partp4x4-partb8x8");
  EXPECT_EQ(lines[17], "cqp=0");
  EXPECT_EQ(lines[19], "wpredp=0");

  TAVConvertOptions none;
  p.Setpreset(static_cast<TPreset>(11));
  EXPECT_TRUE(p.ApplyProfile(none));
  EXPECT_TRUE(none.CodecOptions().empty());
}

TEST(ProfileApplyTest, ThreadCountOneOnlyForTheSingleThreadedEncoders) {
  const std::vector<std::pair<TCustomVideoEncoder, int>> cases{
      {TCustomVideoEncoder::H263, 1},     {TCustomVideoEncoder::WMV2, 1},
      {TCustomVideoEncoder::RV20, 1},     {TCustomVideoEncoder::FLV, 1},
      {TCustomVideoEncoder::MPEG4, 8},    {TCustomVideoEncoder::XVID, 8},
      {TCustomVideoEncoder::MSMPEGV3, 8}, {TCustomVideoEncoder::MPEG2VIDEO, 8}};
  for (const auto& [encoder, threads] : cases) {
    TAVConvertOptions o;
    o.SetThreadCount(8);
    auto p = MakeVideoProfile();
    p->SetVideoEncoder(encoder);
    p->ApplyProfile(o);
    EXPECT_EQ(o.ThreadCount(), threads) << p->VideoEncoderName();
  }
}

TEST(ProfileApplyTest, RepeatedParametricApplicationKeepsOneLinePerKey) {
  TAVConvertOptions o;
  o.SetCodecOptions({"QMIN=2"});
  auto p = MakeVideoProfile();
  p->SetVideoEncoder(TCustomVideoEncoder::H264);
  p->ApplyProfile(o);
  const TStrings first = o.CodecOptions();
  p->ApplyProfile(o);
  EXPECT_EQ(o.CodecOptions(), first);
  // The existing line of the same name was changed in place (by the
  // profile's qmin=3, then by the x264 defaults' qmin=10), never duplicated.
  EXPECT_EQ(first.front(), "QMIN=10");
  EXPECT_EQ(std::count_if(first.begin(), first.end(),
                          [](const std::string& line) { return line.rfind("g=", 0) == 0; }),
            1);
}

TEST(ProfileApplyTest, RepeatedDiscApplicationAppendsTheGopLineEachTime) {
  TAVConvertOptions pal;
  TAVDvdProfile dvd;
  dvd.ApplyProfile(pal);
  dvd.ApplyProfile(pal);
  EXPECT_EQ(std::count(pal.CodecOptions().begin(), pal.CodecOptions().end(), "g=15"), 2);

  TAVConvertOptions ntsc;
  TAVVcdProfile vcd;
  vcd.SetTarget(TAVTarget::ntsc);
  vcd.ApplyProfile(ntsc);
  vcd.ApplyProfile(ntsc);
  EXPECT_EQ(std::count(ntsc.CodecOptions().begin(), ntsc.CodecOptions().end(), "g=18"), 2);
  // The advanced options are set, not appended.
  EXPECT_EQ(std::count(ntsc.CodecOptions().begin(), ntsc.CodecOptions().end(), "muxrate=1411200"),
            1);
}

TEST(ProfileApplyTest, DiscRecipesFollowTheirNorm) {
  TAVConvertOptions vcd_film;
  vcd_film.AudioOptions().SetAudioChannels(6);
  TAVVcdProfile vcd;
  vcd.SetTarget(TAVTarget::film);
  vcd.ApplyProfile(vcd_film);
  EXPECT_EQ(vcd_film.VideoOptions().EncoderVideoCodecName(), "mpeg1video");
  EXPECT_EQ(vcd_film.VideoOptions().FrameHeight(), 240);
  EXPECT_EQ(vcd_film.CodecOptions(),
            (TStrings{"g=18", "maxrate=1150000", "minrate=1150000", "bufsize=327680",
                      "packetsize=2324", "muxrate=1411200"}));
  EXPECT_EQ(vcd_film.AudioOptions().AudioChannels(), 2);
  EXPECT_EQ(vcd_film.MuxerOptions().MuxPreload(), 0.44f);
  EXPECT_EQ(vcd_film.VideoOptions().FrameRate().num(), 24000);

  TAVConvertOptions svcd_pal;  // SVCD leaves channels and preload alone
  svcd_pal.AudioOptions().SetAudioChannels(6);
  TAVSVcdProfile().ApplyProfile(svcd_pal);
  EXPECT_EQ(svcd_pal.VideoOptions().FrameWidth(), 480);
  EXPECT_EQ(svcd_pal.VideoOptions().FrameHeight(), 576);
  EXPECT_EQ(svcd_pal.AudioOptions().AudioChannels(), 6);
  EXPECT_EQ(svcd_pal.MuxerOptions().MuxPreload(), 0.5f);

  TAVConvertOptions dv_ntsc;  // DV sets no codec names, only the format and pixels
  TAVDvProfile dv;
  dv.SetTarget(TAVTarget::ntsc);
  dv.ApplyProfile(dv_ntsc);
  EXPECT_EQ(dv_ntsc.OutputFormat(), "dv");
  EXPECT_EQ(dv_ntsc.VideoOptions().FrameHeight(), 480);
  EXPECT_EQ(dv_ntsc.VideoOptions().FramePixFormat(), 7);
  EXPECT_EQ(dv_ntsc.VideoOptions().EncoderVideoCodecName(), "");
  EXPECT_EQ(dv_ntsc.VideoOptions().FrameRate().num(), 30000);

  TAVConvertOptions dv50;
  TAVDv50Profile().ApplyProfile(dv50);
  EXPECT_EQ(dv50.VideoOptions().FramePixFormat(), 4);
  EXPECT_EQ(dv50.OutputFormat(), "");
  EXPECT_EQ(dv50.AudioOptions().AudioSampleRate(), 0);
}

TEST(ProfileApplyTest, UnknownOrdinalsFromAStoreFailAtTheirStep) {
  TAVConvertOptions o;
  TAVCustomAudioProfile bad_encoder;
  bad_encoder.SetAudioEncoder(static_cast<TCustomAudioEncoder>(99));
  EXPECT_THROW(bad_encoder.ApplyProfile(o), EAVError);
  EXPECT_TRUE(o.VideoOptions().VideoDisable());  // set before the failing step
  EXPECT_EQ(o.AudioOptions().EncoderAudioCodecName(), "");

  TAVCustomAudioProfile bad_format;
  bad_format.SetFormat(static_cast<TCustomAVFormat>(17));
  EXPECT_THROW(bad_format.ApplyProfile(o), EAVError);
  EXPECT_EQ(o.AudioOptions().EncoderAudioCodecName(), "libfaac");

  auto bad_video = MakeVideoProfile();
  bad_video->SetVideoEncoder(static_cast<TCustomVideoEncoder>(-1));
  EXPECT_THROW(bad_video->ApplyProfile(o), EAVError);
  EXPECT_EQ(bad_video->VideoEncoderName(), "-1");

  TAVConvertOptions channels;
  channels.AudioOptions().SetAudioChannels(6);
  TAVCustomAudioProfile odd_channels;
  odd_channels.SetAudioChannels(static_cast<TCustomAudioChannels>(3));
  odd_channels.ApplyProfile(channels);
  EXPECT_EQ(channels.AudioOptions().AudioChannels(), 6);
}

TEST(ProfileApplyTest, ImageProfileForcesOneThreadAndAppliesThroughTheConverter) {
  TAVConverter converter;
  converter.ConvertOptions().SetThreadCount(4);
  TAVImageProfile image;
  EXPECT_TRUE(image.ApplyProfile(converter));
  EXPECT_EQ(converter.ConvertOptions().ThreadCount(), 1);
}

TEST(ProfileApplyTest, DeviceProfilesAskForQualityBoundsAndCopiesAndTheirLinesBeatTheDefaults) {
  TAVConvertOptions o;
  o.AudioOptions().SetAudioChannels(6);
  auto phone = MakeVideoProfile();
  phone->SetDevice("phone-720p");
  phone->SetVideoEncoder(TCustomVideoEncoder::H264);
  phone->SetVideoBitrate(0);
  phone->SetVideoQuality(23);
  phone->SetFrameWidth(0);
  phone->SetFrameHeight(0);
  phone->SetMaxFrameWidth(1280);
  phone->SetMaxFrameHeight(720);
  phone->SetMaxFrameRate(30);
  phone->SetFrameRate(TCustomFrameRate::rOriginal);
  phone->SetAudioQuality(2);
  phone->SetAudioChannels(TCustomAudioChannels::chOriginal);
  phone->SetOptions({"level=31"});
  phone->ApplyProfile(o);
  const TVideoOptions& v = o.VideoOptions();
  EXPECT_EQ(v.VideoQuality(), 23.0f);
  EXPECT_EQ(v.Bitrate(), 0);
  EXPECT_EQ(v.FrameWidth(), 0);
  EXPECT_EQ(v.MaxFrameWidth(), 1280);
  EXPECT_EQ(v.MaxFrameHeight(), 720);
  EXPECT_EQ(v.MaxFrameRate(), 30);
  EXPECT_FALSE(v.CustomFrameRate());
  EXPECT_EQ(o.Device(), "phone-720p");
  EXPECT_TRUE(o.CopyFittingStreams());
  EXPECT_FALSE(o.KeepAllTracks());
  EXPECT_TRUE(o.SubtitleOptions().SubtitleDisable());
  EXPECT_EQ(o.AudioOptions().AudioQScale(), 2.0f);
  EXPECT_EQ(o.AudioOptions().AudioChannels(), 6);  // the source's channels stay
  // The x264 defaults say level 41; the device profile's own line wins.
  const TStrings& lines = o.CodecOptions();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "level=31"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "level=41"), 0);

  // The encoders added later get their codec names and speed settings.
  auto encoder_of = [](TCustomVideoEncoder encoder) {
    TAVConvertOptions options;
    auto p = MakeVideoProfile();
    p->SetVideoEncoder(encoder);
    p->ApplyProfile(options);
    return std::make_pair(options.VideoOptions().EncoderVideoCodecName(), options.CodecOptions());
  };
  EXPECT_EQ(encoder_of(TCustomVideoEncoder::H265).first, "libx265");
  const auto vp9 = encoder_of(TCustomVideoEncoder::VP9);
  EXPECT_EQ(vp9.first, "libvpx-vp9");
  EXPECT_EQ(std::count(vp9.second.begin(), vp9.second.end(), "row-mt=1"), 1);
  EXPECT_EQ(encoder_of(TCustomVideoEncoder::AV1).first, "libsvtav1");
  TAVConvertOptions sound;
  TAVCustomAudioProfile flac;
  flac.SetAudioEncoder(TCustomAudioEncoder::FLAC);
  flac.SetKeepAllTracks(true);
  flac.ApplyProfile(sound);
  EXPECT_EQ(sound.AudioOptions().EncoderAudioCodecName(), "flac");
  EXPECT_TRUE(sound.KeepAllTracks());
  EXPECT_FALSE(sound.SubtitleOptions().SubtitleDisable());  // every track goes out
  EXPECT_EQ(sound.AudioOptions().AudioQScale(), kNoAudioQScale);
  EXPECT_EQ(sound.Device(), "");
  EXPECT_FALSE(sound.CopyFittingStreams());
}

TEST(ProfileApplyTest, RemuxCopiesEveryStreamIntoItsContainer) {
  TAVConvertOptions o;
  o.VideoOptions().SetVideoDisable(true);
  o.SubtitleOptions().SetSubtitleDisable(true);
  TAVRemuxProfile remux;
  remux.SetFormat("matroska");
  EXPECT_TRUE(remux.ApplyProfile(o));
  EXPECT_FALSE(o.VideoOptions().VideoDisable());
  EXPECT_TRUE(o.VideoOptions().VideoStreamCopy());
  EXPECT_TRUE(o.AudioOptions().AudioStreamCopy());
  EXPECT_FALSE(o.SubtitleOptions().SubtitleDisable());
  EXPECT_TRUE(o.SubtitleOptions().SubtitleStreamCopy());
  EXPECT_TRUE(o.KeepAllTracks());
  EXPECT_EQ(o.OutputFormat(), "matroska");
}

TEST(ProfileModelTest, FrameSizeTakesTheFirstMatchingEntry) {
  EXPECT_EQ(FrameSizeOf(852, 480), TAVFrameSize::fsWvga);  // never fsHd480
  EXPECT_EQ(FrameSizeOf(1440, 1080), TAVFrameSize::fsMceHd);
  EXPECT_EQ(FrameSizeOf(720, 406), TAVFrameSize::fsIPhoneWide);
  EXPECT_EQ(FrameSizeOf(853, 480), TAVFrameSize::fsOriginal);
  EXPECT_EQ(FrameSizeDimensions(TAVFrameSize::fsHd480).width, 852);
  EXPECT_EQ(FrameSizeDimensions(TAVFrameSize::fs16cif).height, 1152);
  EXPECT_EQ(FrameSizeDimensions(static_cast<TAVFrameSize>(kFrameSizeCount)).width, 0);
}

// A profile that reports its destruction.
class TTracedProfile : public TAVCustomAudioProfile {
 public:
  TTracedProfile(std::string name, std::vector<std::string>* log) : log_(log) {
    SetDescription(std::move(name));
  }
  ~TTracedProfile() override { log_->push_back(Description()); }

 private:
  std::vector<std::string>* log_;
};

TEST(ProfileListTest, IndexClampsAndMovesWithinTheList) {
  std::vector<std::string> log;
  TAVProfileList list;
  TAVProfile* a = list.AddProfile(std::make_unique<TTracedProfile>("a", &log));
  TAVProfile* b = list.AddProfile(std::make_unique<TTracedProfile>("b", &log));
  TAVProfile* c = list.AddProfile(std::make_unique<TTracedProfile>("c", &log));
  EXPECT_EQ(c->ProfileList(), &list);
  EXPECT_EQ(c->Index(), 2);

  c->SetIndex(-5);
  EXPECT_EQ(list.Profiles(0), c);
  EXPECT_EQ(list.Profiles(1), a);
  a->SetIndex(1000);
  EXPECT_EQ(list.Profiles(2), a);
  EXPECT_EQ(b->Index(), 1);

  TTracedProfile loose("loose", &log);
  loose.SetIndex(3);
  EXPECT_EQ(loose.Index(), -1);
  EXPECT_EQ(loose.ProfileList(), nullptr);
}

TEST(ProfileListTest, RemovingHandsTheProfileBackAndDestroyingTheListGoesFromTheLast) {
  std::vector<std::string> log;
  {
    TAVProfileList list;
    TAVProfile* a = list.AddProfile(std::make_unique<TTracedProfile>("a", &log));
    list.AddProfile(std::make_unique<TTracedProfile>("b", &log));
    list.AddProfile(std::make_unique<TTracedProfile>("c", &log));

    std::unique_ptr<TAVProfile> taken = list.RemoveProfile(a);
    ASSERT_EQ(taken.get(), a);
    EXPECT_EQ(a->ProfileList(), nullptr);
    EXPECT_EQ(a->Index(), -1);
    EXPECT_EQ(list.ProfileCount(), 2);
    EXPECT_EQ(list.RemoveProfile(a), nullptr);  // not a member any more
    EXPECT_TRUE(log.empty());
    taken.reset();
    EXPECT_EQ(log, std::vector<std::string>{"a"});
  }
  EXPECT_EQ(log, (std::vector<std::string>{"a", "c", "b"}));
}

TEST(ProfileListTest, ClearDestroysOnlyParametricProfiles) {
  std::vector<std::string> log;
  TAVProfileList list;
  list.AddProfile(std::make_unique<TTracedProfile>("audio", &log));
  TAVProfile* dvd = list.AddProfile(std::make_unique<TAVDvdProfile>());
  list.AddProfile(std::make_unique<TAVCustomVideoProfile>());
  TAVProfile* x264 = list.AddProfile(std::make_unique<TAVX264Profile>());
  list.AddProfile(std::make_unique<TTracedProfile>("audio2", &log));
  TAVProfile* image = list.AddProfile(std::make_unique<TAVImageProfile>());

  list.Clear();
  EXPECT_EQ(log, (std::vector<std::string>{"audio2", "audio"}));
  ASSERT_EQ(list.ProfileCount(), 3);
  EXPECT_EQ(list.Profiles(0), dvd);
  EXPECT_EQ(list.Profiles(1), x264);
  EXPECT_EQ(list.Profiles(2), image);
  EXPECT_EQ(image->Index(), 2);
}

TEST(ProfileListTest, CategoryListingIgnoresLetterCaseAndKeepsOrder) {
  TAVProfileList list;
  auto add = [&](const char* description, const char* category) {
    auto p = std::make_unique<TAVCustomAudioProfile>();
    p->SetDescription(description);
    p->SetCategory(category);
    return list.AddProfile(std::move(p));
  };
  TAVProfile* first = add("one", "XBox");
  add("two", "PSP");
  TAVProfile* third = add("three", "xbox");
  EXPECT_EQ(list.ProfilesOfCategory("Xbox"), (std::vector<TAVProfile*>{first, third}));
  EXPECT_TRUE(list.ProfilesOfCategory("Images").empty());
  EXPECT_EQ(list.FindProfile("three"), third);
  EXPECT_EQ(list.FindProfile("Three"), nullptr);
}

}  // namespace
}  // namespace veltrano
