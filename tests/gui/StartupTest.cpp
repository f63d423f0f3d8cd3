// Start-up and exit of the whole program.
#include <QApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include "GuiFixture.h"
#include "common/PersistentManager.h"
#include "common/TestHome.h"
#include "gui/Frames.h"
#include "gui/RunCommands.h"
#include "platform/AppFolders.h"
#include "platform/Shell.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

std::vector<std::string> HeaderCaptions(const gui::TTaskViewModel& model) {
  std::vector<std::string> captions;
  for (int column = 0; column < model.columnCount(); ++column) {
    captions.push_back(model.headerData(column, Qt::Horizontal).toString().toStdString());
  }
  return captions;
}

// The texts of the menu bar's visible menus and their visible items.
std::vector<std::string> VisibleMenuTexts(QMenuBar& bar) {
  std::vector<std::string> texts;
  for (QAction* menu : bar.actions()) {
    if (!menu->isVisible()) continue;
    texts.push_back(menu->text().toStdString());
    for (QAction* item : menu->menu()->actions()) {
      if (item->isVisible())
        texts.push_back(item->isSeparator() ? "-" : item->text().toStdString());
    }
  }
  return texts;
}

using StartupTest = GuiTest;

TEST_F(StartupTest, AFirstStartWritesTheDefaultsAndCreatesTheStore) {
  const fs::path app_folder = GetAppDataFolder();
  ASSERT_FALSE(fs::exists(app_folder));
  StartApp();

  const std::string config = ReadWholeFile(app_folder / "Config.Xml");
  EXPECT_NE(config.find("<ThreadCount>0</ThreadCount>\r\n"), std::string::npos) << config;
  EXPECT_NE(config.find("<ThreadPrority>2</ThreadPrority>"), std::string::npos);
  EXPECT_NE(config.find("<OutputFolder>" + GetDefaultOutputFolder() + "</OutputFolder>"),
            std::string::npos);
  EXPECT_EQ(config.find("ShowAlert"), std::string::npos);
  EXPECT_EQ(config.find("ShutdownWhenDone"), std::string::npos);
  EXPECT_EQ(Sql("select ID, Parent from categories;"), "1|-1\n");

  EXPECT_EQ(Window().windowTitle().toStdString(), "免费Veltrano-Tellurix制造");
  // Titles stay as they are: no display name for the platform to append.
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
  // The explorer: the node of unfiled tasks first and selected, the root
  // category after it; the list shows the ten columns of unfiled tasks.
  const ITaskView& explorer = Window().FrameExplorer().Model();
  const std::vector<TRowId> top = explorer.ChildRows(kNoRow);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(GetCaption(explorer, top[0], 0), "任务列表");
  EXPECT_EQ(explorer.FocusedRow(), top[0]);
  EXPECT_TRUE(explorer.IsSelected(top[0]));
  EXPECT_EQ(GetImageIndex(explorer, top[1]), 1);
  EXPECT_EQ(HeaderCaptions(Window().FrameList().Model()),
            (std::vector<std::string>{"原始文件", "原始文件大小", "目标文件", "目标文件大小",
                                      "输出格式配置", "用时", "完成度", "码率(kbs)", "剩余时间",
                                      "已用时间"}));
  EXPECT_EQ(Window().FrameList().vstTaskList->header()->sectionSize(0), 150);
  EXPECT_EQ(Window().FrameList().vstTaskList->header()->sectionSize(5), 60);
}

TEST_F(StartupTest, MenusAndToolbarShowTheirItemsAndHideTheHiddenOnes) {
  StartApp();
  EXPECT_EQ(VisibleMenuTexts(*Window().menuBar()),
            (std::vector<std::string>{"文件(&F)", "添加任务", "-", "开始转换", "暂停", "停止", "-",
                                      "关闭", "设置", "完成后关机", "-", "详细设置", "帮助",
                                      "Tellurix软件", "问题反馈", "-", "关于..."}));
  EXPECT_FALSE(Window().actDonate->isEnabled());
  EXPECT_FALSE(Window().actPlayer->isVisible());
  EXPECT_EQ(Window().RunCommands().actNewConversion->shortcut(),
            QKeySequence(Qt::CTRL | Qt::Key_N));

  std::vector<std::string> buttons;
  QToolBar& toolbar = Window().Toolbar();
  for (QAction* action : toolbar.actions()) {
    auto* button = qobject_cast<QToolButton*>(toolbar.widgetForAction(action));
    if (button != nullptr && button->isVisible()) buttons.push_back(button->text().toStdString());
  }
  EXPECT_EQ(buttons,
            (std::vector<std::string>{"添加任务", "开始转", "暂停", "停止", "Tellurix官网"}));
  EXPECT_EQ(toolbar.height(), 73);
  EXPECT_EQ(Window().FrameExplorer().width(), 209);
  EXPECT_EQ(Window().FrameList().height(), 353);

  // At the design size the banner shows whole on the toolbar, beside the
  // buttons, without an overflow button.
  Window().showNormal();
  Window().resize(930, 628);
  QTest::qWait(100);
  ASSERT_EQ(Window().width(), 930);
  auto* banner = toolbar.findChild<QWidget*>(QStringLiteral("WebBrowser1"));
  ASSERT_NE(banner, nullptr);
  EXPECT_TRUE(banner->isVisible());
  EXPECT_EQ(banner->size(), QSize(468, 60));
  EXPECT_TRUE(toolbar.rect().contains(banner->geometry()));
  for (const QToolButton* extension :
       toolbar.findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
    EXPECT_FALSE(extension->isVisible());
  }
}

TEST_F(StartupTest, UnfinishedTasksComeBackStoppedAndCategoriesListTheirOwnColumns) {
  // Two tasks queued by the command line on the same store.
  const std::string cli = std::string(VELTRANO_CLI) + " queue add ";
  for (const std::string target : {"first.mp3", "second.mp3"}) {
    const TCommandResult added =
        RunCommand(cli + ShellQuote(QuickClip().string()) + " --profile 'MP3 Audio' --target " +
                   ShellQuote((folder / target).string()));
    ASSERT_EQ(added.exit_code, 0) << added.output;
  }
  StartApp();
  const std::vector<TAVTask*> tasks = ListedTasks();
  ASSERT_EQ(tasks.size(), 2u);
  for (TAVTask* task : tasks) {
    EXPECT_EQ(task->Status(), stError);
    EXPECT_EQ(GetImageIndex(List(), task->Node()), static_cast<int>(stError));
    EXPECT_EQ(GetCaption(List(), task->Node(), 0), QuickClip().filename().string());
  }
  EXPECT_FALSE(Unfiled().HasActiveConverter());

  // A category lists its converted tasks under seven columns.
  TConvertedNode* root = Window().Model().FindCategory(1);
  ASSERT_NE(root, nullptr);
  Window().FrameExplorer().Model().Selection().setCurrentIndex(
      Window().FrameExplorer().Model().IndexOf(root->Node()), QItemSelectionModel::ClearAndSelect);
  EXPECT_EQ(HeaderCaptions(Window().FrameList().Model()).size(), 7u);
  EXPECT_EQ(HeaderCaptions(Window().FrameList().Model()).back(), "日期");
  // The date column takes a whole date and time.
  const QTreeView& list = *Window().FrameList().vstTaskList;
  EXPECT_GT(list.header()->sectionSize(6),
            list.fontMetrics().horizontalAdvance(QStringLiteral("2026-12-09 22:23:33")));
  EXPECT_TRUE(ListedTasks().empty());
}

TEST_F(StartupTest, ExitStopsARunningConversionWithItsTrailerAndKeepsItUnfinished) {
  StartApp();
  TAVTask& task = NewTask(SlowSettings("running.mp4"));
  const int32_t id = task.ID();
  ASSERT_TRUE(WaitForProgress(task));
  const TStrings log_before_exit = task.Log();
  CloseApp();  // the exit sequence of the program

  // The worker was joined before the store closed: the output is complete
  // up to where it stopped, and the task is stored as unfinished.
  const TMediaInfo output = ProbeMedia(folder / "running.mp4");
  ASSERT_TRUE(output.opened) << GetFileSize((folder / "running.mp4").string()) << " bytes; log: "
                             << ::testing::PrintToString(log_before_exit);
  EXPECT_GT(output.Stream("video").packets, 0);
  EXPECT_GT(output.duration, 0);
  for (const auto& entry : fs::directory_iterator(folder)) {
    EXPECT_NE(entry.path().extension(), ".part") << entry.path();
  }
  EXPECT_EQ(Sql("select Converting, ConvertedDate is null, Log is null from conversions where ID=" +
                std::to_string(id) + ";"),
            "1|1|1\n");
  EXPECT_EQ(Sql("pragma integrity_check;"), "ok\n");
  EXPECT_TRUE(fs::exists(GetConfigFile()));
}

}  // namespace
}  // namespace veltrano::test
