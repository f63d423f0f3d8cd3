// The task store on its own: the file it creates, the order and dates of
// converted tasks, stored logs, and category trees from damaged files.
#include <gtest/gtest.h>

#include <thread>

#include "TaskFixture.h"
#include "TestHome.h"
#include "common/PersistentManager.h"
#include "platform/AppFolders.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

using TaskStore = TaskFixture;

// A task stored as unfinished, never run.
std::unique_ptr<TConvertingTask> StoredTask(TEventLoopDispatcher& ui, const std::string& target,
                                            int category) {
  auto settings = std::make_unique<TConversionSettings>();
  settings->SetSourceFile("/videos/source.avi");
  settings->SetTargetFile(target);
  auto task = std::make_unique<TConvertingTask>(std::move(settings), nullptr, &ui);
  task->SetCategoryId(category);
  task->SetLog({"first line", "second line"});
  TPersistentManager::NewDbTask(*task);
  return task;
}

TEST_F(TaskStore, CreatesTheFileWithBothTablesTheRootCategoryAndAWriteAheadLog) {
  EXPECT_TRUE(fs::exists(GetAppDataFolder() + "av.cfg"));
  EXPECT_EQ(Sql("pragma journal_mode"), "wal\n");
  EXPECT_EQ(Sql("select name from pragma_table_info('conversions')"),
            "ID\nConverting\nConvertSettings\nConvertedDate\nCategoryId\nLog\n");
  EXPECT_EQ(Sql("select name from pragma_table_info('categories')"),
            "ID\nCategory\nPath\nParent\n");
  EXPECT_EQ(Sql("select ID, Parent from categories"), "1|-1\n");

  // Connecting again keeps what is there.
  model->NewCategory(Root(), "Kept", "/kept");
  Reopen();
  EXPECT_EQ(Sql("select count(*) from categories"), "2\n");
}

TEST_F(TaskStore, ConvertedTasksAreFiledNewestFirstUnderAnExistingCategory) {
  TConvertedNode& other = model->NewCategory(Root(), "Other", "/other");
  std::vector<std::unique_ptr<TConvertingTask>> tasks;
  tasks.push_back(StoredTask(ui, "/out/restored.mp4", 0));  // read back at start-up
  tasks.push_back(StoredTask(ui, "/out/orphan.mp4", 99));   // its category was deleted
  tasks.push_back(StoredTask(ui, "/out/other.mp4", other.CategoryId()));
  tasks.push_back(StoredTask(ui, "/out/latest.mp4", 1));
  for (auto& task : tasks) {
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    TPersistentManager::FinishDbTask(*task);
  }
  EXPECT_EQ(Sql("select CategoryId from conversions order by ID"), "1\n1\n2\n1\n");
  EXPECT_EQ(Sql("select ID from conversions order by ConvertedDate desc"), "4\n3\n2\n1\n");

  model->Select(Root());
  std::vector<std::string> targets;
  for (TAVTask* task : ShownTasks()) targets.push_back(task->Settings().TargetFile());
  EXPECT_EQ(targets,
            (std::vector<std::string>{"/out/latest.mp4", "/out/orphan.mp4", "/out/restored.mp4"}));
  TAVTask& latest = *ShownTasks()[0];
  EXPECT_EQ(latest.Date(), tasks[3]->Date());
  EXPECT_EQ(latest.Log(), (TStrings{"first line", "second line"}));
  EXPECT_EQ(Sql("select Log from conversions where ID=4"), "first line\r\nsecond line\r\n\n");

  // A cleared log stays cleared after a restart; the others keep theirs.
  latest.ClearLog();
  Reopen();
  model->Select(Root());
  ASSERT_EQ(ShownTasks().size(), 3u);
  EXPECT_TRUE(ShownTasks()[0]->Log().empty());
  EXPECT_EQ(ShownTasks()[1]->Log().size(), 2u);
  EXPECT_EQ(Sql("select Log is null from conversions where ID=4"), "1\n");
}

TEST(TaskStoreLog, LinesSplitAtAnyLineBreak) {
  EXPECT_EQ(JoinLogLines({"a", "", "b"}), "a\r\n\r\nb\r\n");
  EXPECT_EQ(SplitLogText("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitLogText("a\nb\rc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(SplitLogText("").empty());
}

TEST_F(TaskStore, ACategoryTreeWhoseLinksLoopIsReadOnceAndCompletely) {
  model.reset();
  TPersistentManager::Disconnect();
  const std::string file = GetAppDataFolder() + "av.cfg";
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(file + suffix);
  // A file made by hand, without keys: two rows claim ID 2, one of them
  // under itself, and the root is also listed under category 2.
  const TCommandResult made = RunCommand(
      "sqlite3 " + ShellQuote(file) + " " +
      ShellQuote("create table conversions(ID integer primary key, Converting integer, "
                 "ConvertSettings text, ConvertedDate text, CategoryId integer, Log text);"
                 "create table categories(ID integer, Category text, Path text, Parent integer);"
                 "insert into categories values(1, 'Root', '/r', -1), (2, 'Child', '/c', 1),"
                 "(2, 'Self', '/s', 2), (3, 'Grandchild', '/g', 2), (1, 'Again', '/a', 2);"));
  ASSERT_EQ(made.exit_code, 0) << made.output;
  TPersistentManager::Connect();
  OpenModel();
  std::vector<std::string> names;
  for (TConvertedNode* category : model->Categories()) names.push_back(category->Category());
  EXPECT_EQ(names, (std::vector<std::string>{"Root", "Child", "Grandchild"}));
  EXPECT_TRUE(Unfiled().IsShown());
}

TEST(TaskStoreDeathTest, BelongsToTheThreadThatConnected) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  UseFreshConfigHome("store-thread");
  TPersistentManager::Connect();
  TEventLoopDispatcher ui;
  TConvertingTask task(std::make_unique<TConversionSettings>(), nullptr, &ui);
  EXPECT_DEATH(std::thread([&] { TPersistentManager::ClearLog(task); }).join(),
               "Assertion failure");
  TPersistentManager::Disconnect();
}

}  // namespace
}  // namespace veltrano::test
