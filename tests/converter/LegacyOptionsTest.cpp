// Option and encoder names of the profiles in older spellings: translated so
// that every option reaches an encoder and has its effect.
#include <gtest/gtest.h>

#include <filesystem>

#include "converter/AVConverter.h"
#include "converter/AVProfile.h"
#include "converter/LegacyOptions.h"
#include "support/EngineHarness.h"
#include "support/MediaFixture.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

TEST(LegacyOptions, OldSpellingsBecomeTodaysOptions) {
  const std::vector<std::tuple<std::string, std::string, TOptionList>> cases{
      {"partitions", "+parti8x8+parti4x4+partp8x8+partb8x8",
       {{"partitions", "i8x8,i4x4,p8x8,b8x8"}}},
      {"partitions", "-parti8x8-parti4x4-partp8x8-partp4x4-partb8x8", {{"partitions", "none"}}},
      {"partitions", "-parti8x8+parti4x4+partp8x8-partp4x4-partb8x8",
       {{"partitions", "i4x4,p8x8"}}},
      {"flags2", "+mixed_refs+wpred+dct8x8+fastpskip+mbtree",
       {{"mixed-refs", "1"}, {"weightb", "1"}, {"8x8dct", "1"}, {"fast-pskip", "1"}, {"mbtree", "1"}}},
      {"flags2", "-bpyramid-wpred-mixed_refs-dct8x8+fastpskip+mbtree",
       {{"b-pyramid", "none"}, {"weightb", "0"}, {"mixed-refs", "0"}, {"8x8dct", "0"},
        {"fast-pskip", "1"}, {"mbtree", "1"}}},
      {"flags", "+loop", {{"flags", "+loop"}}},
      {"flags", "+scan_offset", {{"scan_offset", "1"}}},
      {"flags", "+global_header+umv", {{"flags", "+global_header"}, {"umv", "1"}}},
      {"flags", "+aic", {{"flags", "+aic"}}},  // still a generic flag
      {"me_method", "umh", {{"motion-est", "umh"}}},
      {"directpred", "3", {{"direct-pred", "3"}}},
      {"wpredp", "2", {{"weightp", "2"}}},
      {"cqp", "0", {{"qp", "0"}}},
      {"g", "250", {{"g", "250"}}},
  };
  for (const auto& [name, value, expected] : cases) {
    EXPECT_EQ(TranslateCodecOption(name, value), expected) << name << "=" << value;
  }
}

TEST(LegacyOptions, OptionsThatNameFilesAreKnownButAnEncodersProfileIsNotOne) {
  EXPECT_EQ(FileNamingOption("passlogfile", "x"), "passlogfile=x");
  EXPECT_EQ(FileNamingOption("x265-params", "level-idc=5.1:csv=log"),
            "x265-params=level-idc=5.1:csv=log");
  EXPECT_EQ(FileNamingOption("profile", "high"), "");
  EXPECT_EQ(FileNamingOption("x264-params", "profile=high"), "");
}

TEST(LegacyOptions, EncodersTheBuildLacksAreReplaced) {
  EXPECT_EQ(ReplacementEncoder("libfaac"), "aac");
  EXPECT_EQ(ReplacementEncoder("libmp3lame"), "libmp3lame");  // present: kept
  EXPECT_EQ(ReplacementEncoder("nosuchencoder"), "");
  EXPECT_EQ(ReplacementEncoder(""), "");
}

TEST(LegacyOptions, EveryX264PresetLineIsTakenByTheEncoder) {
  const fs::path folder = test::MakeTempFolder("x264");
  test::TClip clip = test::VideoClipSpec("mpeg4");
  clip.seconds = 1;
  const fs::path source = test::SharedClip("x264-source.mkv", clip);
  for (int preset = 0; preset < 11; ++preset) {
    TAVX264Profile profile;
    profile.Setpreset(static_cast<TPreset>(preset));
    const fs::path out = folder / ("preset" + std::to_string(preset) + ".mp4");
    const auto result = test::ConvertFiles({source.string()}, {out.string()}, [&](TAVConverter& c) {
      c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("libx264");
      c.ConvertOptions().SetThreadCount(2);
      profile.ApplyProfile(c.ConvertOptions());
    });
    ASSERT_TRUE(result.Ok()) << "preset " << preset << ": " << result.error;
    EXPECT_TRUE(result.errors.empty()) << result.errors.front();
    for (const std::string& line : result.logs) {
      EXPECT_EQ(line.find("not taken"), std::string::npos) << "preset " << preset << ": " << line;
    }
    // x264 writes its settings into the stream: the presets' values are there.
    const auto info = test::RunCommand("strings " + test::ShellQuote(out.string()) + " | grep -m1 x264");
    if (preset == 0) {
      EXPECT_NE(info.output.find("analyse=0x3:0x113"), std::string::npos) << info.output;
      EXPECT_NE(info.output.find("me=hex"), std::string::npos);
      EXPECT_NE(info.output.find("subme=7"), std::string::npos);
      EXPECT_NE(info.output.find("ref=3"), std::string::npos);
      EXPECT_NE(info.output.find("weightp=2"), std::string::npos);
      EXPECT_NE(info.output.find("8x8dct=1"), std::string::npos);
    }
    if (preset == 6) {  // lossless
      EXPECT_NE(info.output.find("qp=0"), std::string::npos) << info.output;
    }
  }
}

// The replacement is a detail: logged at the info level, which the task log
// (warnings and errors) does not show.
TEST(LegacyOptions, AMissingEncoderIsReplacedAndTheReplacementLoggedAsADetail) {
  const fs::path folder = test::MakeTempFolder("faac");
  test::TClip clip;
  clip.video = false;
  clip.seconds = 1;
  const fs::path source = test::SharedClip("faac.wav", clip);
  auto logged = [](const test::TConversionResult& result) {
    for (const std::string& line : result.logs) {
      if (line.find("libfaac is not available") != std::string::npos) return true;
    }
    return false;
  };
  for (const int level : {24, 32}) {
    const fs::path out = folder / ("out" + std::to_string(level) + ".m4a");
    const auto result = test::ConvertFiles({source.string()}, {out.string()}, [&](TAVConverter& c) {
      c.ConvertOptions().AudioOptions().SetEncoderAudioCodecName("libfaac");
      c.SetLogLevel(level);
    });
    ASSERT_TRUE(result.Ok()) << result.error;
    EXPECT_EQ(test::ProbeMedia(out).Stream("audio").codec, "aac");
    EXPECT_EQ(logged(result), level == 32) << level;
  }
}

TEST(LegacyOptions, AnOptionNoEncoderTakesIsLogged) {
  const fs::path out = test::MakeTempFolder("untaken") / "out.avi";
  const auto result = test::ConvertFiles(
      {test::SharedClip("untaken.mkv", test::AvClipSpec("mpeg4", "mp2")).string()}, {out.string()},
      [](TAVConverter& c) {
        c.ConvertOptions().VideoOptions().SetEncoderVideoCodecName("mpeg4");
        c.ConvertOptions().SetCodecOptions({"nosuchoption=7", "mbd=rd"});
      });
  ASSERT_TRUE(result.Ok()) << result.error;
  int warnings = 0;
  for (const std::string& line : result.logs) {
    if (line.find("not taken") == std::string::npos) continue;
    ++warnings;
    EXPECT_NE(line.find("nosuchoption=7"), std::string::npos) << line;
  }
  EXPECT_EQ(warnings, 1);  // mbd is the MPEG-4 encoder's own option
}

}  // namespace
}  // namespace veltrano
