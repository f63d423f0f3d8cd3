// The configuration file: first run, the values it leaves out, malformed
// files, and preparing a converter's options for a profile.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "TestHome.h"
#include "common/Configuration.h"
#include "common/ObjectXml.h"
#include "common/ProfileOptions.h"
#include "converter/AVProfile.h"
#include "platform/AppFolders.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

void WriteConfig(const std::string& body) {
  fs::create_directories(GetAppDataFolder());
  std::ofstream(GetConfigFile(), std::ios::binary)
      << "<?xml version=\"1.0\"?>\n<data PropFormat=\"node\"><TAVConfiguration>" << body
      << "</TAVConfiguration></data>";
}

TEST(ConfigurationTest, FirstRunCreatesTheFolderChainAndWritesTheDefaults) {
  const fs::path home = test::UseFreshConfigHome("firstrun");
  ASSERT_FALSE(fs::exists(home));
  TAVConfiguration config;
  config.Load();

  EXPECT_EQ(GetConfigFile(), (home / "Tellurix/Veltrano/Config.Xml").string());
  ASSERT_TRUE(fs::exists(GetConfigFile()));
  const std::string text = test::ReadWholeFile(GetConfigFile());
  EXPECT_NE(text.find("<data PropFormat=\"node\">\r\n"
                      "  <TAVConfiguration>\r\n"
                      "    <PerformanceOptions>\r\n"
                      "      <ThreadCount>0</ThreadCount>\r\n"
                      "      <ThreadPrority>2</ThreadPrority>\r\n"
                      "    </PerformanceOptions>\r\n"
                      "    <OutputFolder>" +
                      GetDefaultOutputFolder() +
                      "</OutputFolder>\r\n"
                      "  </TAVConfiguration>\r\n"
                      "</data>"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("ShutdownWhenDone"), std::string::npos);
  EXPECT_EQ(text.find("ShowAlert"), std::string::npos);
  EXPECT_EQ(GetDefaultOutputFolder(), GetHomeFolder() + "/Tellurix转换");
  EXPECT_EQ(config.PerformanceOptions().ThreadCount(), 0);
  EXPECT_EQ(config.PerformanceOptions().ThreadPrority(), 2);
  EXPECT_TRUE(config.ShowAlert());
  EXPECT_FALSE(config.ShutdownWhenDone());
}

TEST(ConfigurationTest, ShowAlertIsStoredOnlyWhenFalse) {
  test::UseFreshConfigHome("alert");
  TAVConfiguration config;
  config.SetShowAlert(false);
  config.SetShutdownWhenDone(true);
  config.PerformanceOptions().SetThreadCount(4);
  // The file's lines end in CR LF; a line end inside a value is not changed.
  config.SetOutputFolder("/媒体/输出>\n  <x>");
  config.Save();
  const std::string text = test::ReadWholeFile(GetConfigFile());
  EXPECT_NE(text.find("<OutputFolder>/媒体/输出&gt;\n  &lt;x&gt;</OutputFolder>\r\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("<ShowAlert>0</ShowAlert>"), std::string::npos);
  EXPECT_NE(text.find("<ShutdownWhenDone>1</ShutdownWhenDone>"), std::string::npos);

  TAVConfiguration loaded;
  loaded.Load();
  EXPECT_FALSE(loaded.ShowAlert());
  EXPECT_TRUE(loaded.ShutdownWhenDone());
  EXPECT_EQ(loaded.PerformanceOptions().ThreadCount(), 4);
  EXPECT_EQ(loaded.OutputFolder(), "/媒体/输出>\n  <x>");

  WriteConfig("<OutputFolder>/x</OutputFolder>");
  TAVConfiguration without;
  without.SetShowAlert(false);
  without.SetShutdownWhenDone(true);
  without.Load();
  EXPECT_TRUE(without.ShowAlert());
  EXPECT_FALSE(without.ShutdownWhenDone());
}

TEST(ConfigurationTest, MissingElementsFollowTheReadingRules) {
  test::UseFreshConfigHome("missing");
  WriteConfig("<ShowAlert>1</ShowAlert>");
  TAVConfiguration config;
  config.PerformanceOptions().SetThreadCount(5);
  config.Load();
  EXPECT_EQ(config.PerformanceOptions().ThreadCount(), 5);  // no PerformanceOptions element
  EXPECT_EQ(config.PerformanceOptions().ThreadPrority(), 2);
  EXPECT_EQ(config.OutputFolder(), "");  // left out means empty
}

TEST(ConfigurationTest, TheLanguageIsStoredOnlyWhenChosenAndFilesWithoutItAreAutomatic) {
  test::UseFreshConfigHome("language");
  TAVConfiguration config;
  config.SetLanguage("en");
  config.Save();
  const std::string chosen = test::ReadWholeFile(GetConfigFile());
  EXPECT_NE(chosen.find("    <Language>en</Language>\r\n  </TAVConfiguration>"), std::string::npos)
      << chosen;
  TAVConfiguration loaded;
  loaded.Load();
  EXPECT_EQ(loaded.Language(), "en");

  config.SetLanguage("");
  config.Save();
  EXPECT_EQ(test::ReadWholeFile(GetConfigFile()).find("Language"), std::string::npos);

  // A file of an earlier version: the other values load, the language is
  // automatic even over a choice loaded before.
  WriteConfig("<ShowAlert>0</ShowAlert><OutputFolder>/x</OutputFolder>");
  loaded.Load();
  EXPECT_EQ(loaded.Language(), "");
  EXPECT_FALSE(loaded.ShowAlert());
  EXPECT_EQ(loaded.OutputFolder(), "/x");
}

TEST(ConfigurationTest, MalformedFilesKeepTheValuesAndBadValuesRaise) {
  test::UseFreshConfigHome("malformed");
  WriteConfig("<PerformanceOptions><ThreadCount>3</ThreadCount>");  // not well formed
  TAVConfiguration config;
  EXPECT_NO_THROW(config.Load());
  EXPECT_EQ(config.PerformanceOptions().ThreadCount(), 0);
  EXPECT_EQ(config.OutputFolder(), GetDefaultOutputFolder());
  config.Save();  // overwrites the broken file
  TAVConfiguration again;
  again.SetOutputFolder("");
  again.Load();
  EXPECT_EQ(again.OutputFolder(), GetDefaultOutputFolder());

  WriteConfig("<PerformanceOptions><ThreadCount>many</ThreadCount></PerformanceOptions>");
  TAVConfiguration bad;
  EXPECT_THROW(bad.Load(), EPersistError);
}

TEST(ConfigurationTest, APriorityOutsideTheLevelsIsSavedWithoutApplyingAnything) {
  test::UseFreshConfigHome("priority");
  TAVConfiguration config;
  config.PerformanceOptions().SetThreadPrority(9);
  EXPECT_NO_THROW(config.Save());
  TAVConfiguration loaded;
  loaded.Load();
  EXPECT_EQ(loaded.PerformanceOptions().ThreadPrority(), 9);
  for (const auto& entry : fs::directory_iterator(GetAppDataFolder())) {
    EXPECT_EQ(entry.path().filename(), "Config.Xml");  // no temporary left behind
  }
}

TEST(ProfileOptionsTest, PreparesLikeTheWizard) {
  TAVConfiguration config;
  const int32_t processors =
      static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  EXPECT_EQ(ConversionThreadCount(config), processors);
  config.PerformanceOptions().SetThreadCount(-3);
  EXPECT_EQ(ConversionThreadCount(config), processors);
  config.PerformanceOptions().SetThreadCount(3);
  EXPECT_EQ(ConversionThreadCount(config), 3);

  TAVConvertOptions o;
  o.SetInputFormat("mpeg");
  TAVCustomVideoProfile mpeg4;
  mpeg4.SetVideoEncoder(TCustomVideoEncoder::MPEG4);
  PrepareProfileOptions(o, mpeg4, config);
  EXPECT_EQ(o.InputFormat(), "");
  EXPECT_EQ(o.ThreadCount(), 3);
  EXPECT_EQ(o.VideoOptions().EncoderVideoCodecName(), "mpeg4");

  TAVCustomVideoProfile flv;  // the profile comes last: FLV forces one thread
  flv.SetVideoEncoder(TCustomVideoEncoder::FLV);
  PrepareProfileOptions(o, flv, config);
  EXPECT_EQ(o.ThreadCount(), 1);
}

}  // namespace
}  // namespace veltrano
