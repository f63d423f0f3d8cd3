// The English translation file, and the language a start of the program
// chooses: --lang, else the choice stored in Config.Xml, else the locale.
#include "gui/Language.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QXmlStreamReader>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "GuiFixture.h"
#include "common/AVNodes.h"
#include "common/TestHome.h"
#include "gui/EngineTexts.h"
#include "platform/AppFolders.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

using gui::TLanguage;

// One message of a .ts file. It is finished when its translation is not
// marked (unfinished, vanished, obsolete) and no form of it is empty.
struct TTsMessage {
  std::string context;
  std::string source;
  bool finished = false;
};

std::vector<TTsMessage> ReadTsFile(const fs::path& file) {
  QFile input(QString::fromStdString(file.string()));
  EXPECT_TRUE(input.open(QIODevice::ReadOnly)) << file;
  QXmlStreamReader xml(&input);
  std::vector<TTsMessage> messages;
  std::string context;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const auto name = xml.name();
    if (name == u"name") {
      context = xml.readElementText().toStdString();
    } else if (name == u"message") {
      messages.push_back({context, "", true});
    } else if (name == u"source") {
      messages.back().source = xml.readElementText().toStdString();
    } else if (name == u"translation") {
      if (!xml.attributes().value(QStringLiteral("type")).isEmpty())
        messages.back().finished = false;
      const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
      if (text.trimmed().isEmpty()) messages.back().finished = false;
    } else if (name == u"numerusform") {
      if (xml.readElementText().isEmpty()) messages.back().finished = false;
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  return messages;
}

std::set<std::pair<std::string, std::string>> Keys(const std::vector<TTsMessage>& messages) {
  std::set<std::pair<std::string, std::string>> keys;
  for (const TTsMessage& message : messages) keys.emplace(message.context, message.source);
  return keys;
}

TEST(TranslationFileTest, EveryTextOfTheWindowHasAFinishedEnglishTranslation) {
  const fs::path source_dir = VELTRANO_SOURCE_DIR;
  const fs::path committed = source_dir / "translations/veltrano_en.ts";
  const std::vector<TTsMessage> messages = ReadTsFile(committed);
  ASSERT_GT(messages.size(), 150u);
  for (const TTsMessage& message : messages) {
    EXPECT_TRUE(message.finished) << message.context << ": " << message.source;
  }

  // lupdate over today's sources finds the same texts: none added to the
  // code without a translation, none left behind in the file.
  const fs::path copy = MakeTempFolder("lupdate") / "veltrano_en.ts";
  fs::copy_file(committed, copy);
  const TCommandResult update = RunCommand(
      ShellQuote(VELTRANO_LUPDATE) + " -locations none -no-obsolete -I " +
      ShellQuote((source_dir / "src").string()) + " " +
      ShellQuote((source_dir / "src/gui").string()) + " -ts " + ShellQuote(copy.string()));
  ASSERT_EQ(update.exit_code, 0) << update.output;
  const std::vector<TTsMessage> current = ReadTsFile(copy);
  EXPECT_EQ(Keys(current), Keys(messages))
      << "refresh the file: cmake --build build --target update_translations";
  for (const TTsMessage& message : current) {
    EXPECT_TRUE(message.finished) << "not translated: " << message.context << ": "
                                  << message.source;
  }
}

TEST(LanguageTest, AChoiceWinsOverTheLocaleAndAutomaticIsEnglishOnlyWhereATranslationMatches) {
  EXPECT_EQ(gui::ResolveLanguage("en", QLocale(QLocale::Chinese, QLocale::China)),
            TLanguage::English);
  EXPECT_EQ(gui::ResolveLanguage("zh", QLocale(QLocale::English, QLocale::UnitedStates)),
            TLanguage::Chinese);
  // Automatic, and choices this version does not know.
  for (const std::string automatic : {"", "fr"}) {
    EXPECT_EQ(gui::ResolveLanguage(automatic, QLocale(QLocale::Chinese, QLocale::Taiwan)),
              TLanguage::Chinese);
    EXPECT_EQ(gui::ResolveLanguage(automatic, QLocale(QLocale::English, QLocale::UnitedKingdom)),
              TLanguage::English);
    EXPECT_EQ(gui::ResolveLanguage(automatic, QLocale(QLocale::German, QLocale::Germany)),
              TLanguage::Chinese);
    EXPECT_EQ(gui::ResolveLanguage(automatic, QLocale::c()), TLanguage::Chinese);
  }
}

TEST(LanguageTest, OnlyTheNamesTheSystemGaveAreTranslatedInTheExplorer) {
  ASSERT_TRUE(gui::InstallTranslations(TLanguage::English));
  TConvertingNode unfiled;
  TConvertedNode root;
  root.SetCategoryId(1);
  TConvertedNode child;
  child.SetCategoryId(7);
  EXPECT_EQ(gui::NodeCaption(&unfiled, unfiled.GetCaption(0)), QStringLiteral("Task List"));
  EXPECT_EQ(gui::NodeCaption(&root, "已转换"), QStringLiteral("Converted"));
  EXPECT_EQ(gui::NodeCaption(&root, "我的视频"), QStringLiteral("我的视频"));
  EXPECT_EQ(gui::NodeCaption(&child, "已转换"), QStringLiteral("已转换"));
  EXPECT_EQ(gui::NodeCaption(nullptr, "已转换"), QStringLiteral("已转换"));
  // Profile categories: the catalogue's Chinese captions only.
  EXPECT_EQ(gui::CategoryCaption("手机和3gp"), QStringLiteral("Phones and 3GP"));
  EXPECT_EQ(gui::CategoryCaption("Xbox"), QStringLiteral("Xbox"));
  EXPECT_EQ(gui::CategoryCaption("任务列表"), QStringLiteral("任务列表"));
  EXPECT_EQ(gui::CoreText("视频"), QStringLiteral("视频"));

  ASSERT_TRUE(gui::InstallTranslations(TLanguage::Chinese));
  EXPECT_EQ(gui::NodeCaption(&root, "已转换"), QStringLiteral("已转换"));
  EXPECT_EQ(gui::CategoryCaption("手机和3gp"), QStringLiteral("手机和3gp"));
}

// The engine's, the library's and the store's messages in the window's
// language; what a message names (files, streams) stays as it is.
TEST(LanguageTest, TheCoresMessagesShowInTheWindowsLanguage) {
  ASSERT_TRUE(gui::InstallTranslations(TLanguage::Chinese));
  EXPECT_EQ(gui::EngineText("Output file does not contain any stream"),
            QStringLiteral("输出文件不含任何流"));
  EXPECT_EQ(gui::EngineText("Could not find input stream #0.5"),
            QStringLiteral("找不到输入流 #0.5"));
  EXPECT_EQ(gui::EngineText("The logo file \"/a/logo.png\" does not exist"),
            QStringLiteral("Logo文件“/a/logo.png”不存在"));
  EXPECT_EQ(gui::EngineText("Error while reading input /a/片.mkv: No space left on device"),
            QStringLiteral("读取输入文件出错 /a/片.mkv: 磁盘空间不足"));
  EXPECT_EQ(gui::EngineText("打不开文件 /a/out.mp4: Permission denied"),
            QStringLiteral("打不开文件 /a/out.mp4: 没有权限"));
  EXPECT_EQ(gui::EngineText("database is locked"),
            QStringLiteral("任务数据库 av.cfg 被另一个程序锁住了"));
  // What the table does not know stays, a known reason alone is translated.
  EXPECT_EQ(gui::EngineText("[mp3 @ 0x1] incomplete frame"),
            QStringLiteral("[mp3 @ 0x1] incomplete frame"));
  EXPECT_EQ(gui::EngineText("Something new: Permission denied"),
            QStringLiteral("Something new: 没有权限"));

  ASSERT_TRUE(gui::InstallTranslations(TLanguage::English));
  EXPECT_EQ(gui::EngineText("Could not find input stream #0.5"),
            QStringLiteral("Could not find input stream #0.5"));
  EXPECT_EQ(gui::EngineText("目标文件已存在: /a/out.mp4"),
            QStringLiteral("The target file exists already: /a/out.mp4"));
  EXPECT_EQ(gui::EngineText("database is locked"),
            QStringLiteral("The task store av.cfg is locked by another program"));
  ASSERT_TRUE(gui::InstallTranslations(TLanguage::Chinese));
}

// Qt's own texts (its dialogs' buttons and captions) follow a Chinese window.
TEST(LanguageTest, AChineseWindowHasQtsOwnTextsInChinese) {
  ASSERT_TRUE(gui::InstallTranslations(TLanguage::Chinese));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("查找范围："));
  ASSERT_TRUE(gui::InstallTranslations(TLanguage::English));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
  ASSERT_TRUE(gui::InstallTranslations(TLanguage::Chinese));
}

// Runs `veltrano ARGUMENTS --help` in the locale `lang` and tells which
// language its help is in; the configuration folder is the test's.
class ProgramLanguageTest : public GuiTest {
 protected:
  std::string Help(const std::string& lang, const std::string& arguments = "") {
    const TCommandResult run = RunCommand("env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=" + lang +
                                          " QT_QPA_PLATFORM=offscreen " + ShellQuote(VELTRANO_GUI) +
                                          " " + arguments + " --help 2>&1");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    const bool english = run.output.find("Files to convert") != std::string::npos;
    const bool chinese = run.output.find("要转换的文件") != std::string::npos;
    if (english == chinese) return "unclear: " + run.output;
    return english ? "en" : "zh";
  }

  void StoreLanguage(const std::string& choice) {
    fs::create_directories(GetAppDataFolder());
    std::ofstream(GetConfigFile(), std::ios::binary)
        << "<?xml version=\"1.0\"?>\n<data PropFormat=\"node\"><TAVConfiguration>"
        << "<Language>" << choice << "</Language></TAVConfiguration></data>";
  }
};

TEST_F(ProgramLanguageTest, ArgumentThenStoredChoiceThenLocaleChooseTheLanguage) {
  EXPECT_EQ(Help("en_US.UTF-8"), "en");
  EXPECT_EQ(Help("C"), "zh");
  // Choosing reads the configuration file but never writes it.
  EXPECT_FALSE(fs::exists(GetConfigFile()));

  StoreLanguage("zh");
  EXPECT_EQ(Help("en_US.UTF-8"), "zh");
  EXPECT_EQ(Help("C", "--lang en"), "en");
  StoreLanguage("en");
  EXPECT_EQ(Help("zh_CN.UTF-8"), "en");
  EXPECT_EQ(Help("zh_CN.UTF-8", "--lang=zh"), "zh");

  const TCommandResult unknown =
      RunCommand("QT_QPA_PLATFORM=offscreen " + ShellQuote(VELTRANO_GUI) + " --lang fr 2>&1");
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_NE(unknown.output.find("--lang takes en or zh"), std::string::npos) << unknown.output;
}

// The help and the version are printed without any display (over ssh, by a
// manual page generator, by a package's checks), in the chosen language.
TEST_F(ProgramLanguageTest, HelpAndVersionNeedNoDisplay) {
  const std::string bare =
      "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + ShellQuote(VELTRANO_GUI);
  for (const char* option : {" --version", " -v"}) {
    const TCommandResult version = RunCommand(bare + option + " 2>&1");
    EXPECT_EQ(version.exit_code, 0) << version.output;
    EXPECT_EQ(version.output, "Veltrano " VELTRANO_VERSION "\n");
  }
  const TCommandResult help = RunCommand(bare + " --lang en -h 2>&1");
  EXPECT_EQ(help.exit_code, 0) << help.output;
  EXPECT_NE(help.output.find("Files to convert"), std::string::npos) << help.output;
  const TCommandResult wrong = RunCommand(bare + " --lang fr --help 2>&1");
  EXPECT_EQ(wrong.exit_code, 1);
  EXPECT_NE(wrong.output.find("--lang takes en or zh"), std::string::npos) << wrong.output;
}

}  // namespace
}  // namespace veltrano::test
