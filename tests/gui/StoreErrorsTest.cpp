// Every command of the window that writes the task store meets a store that
// another program has locked: each shows the error box, changes nothing the
// store does not hold, and the program goes on; once the lock is gone the
// same commands work.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <sqlite3.h>

#include "GuiFixture.h"
#include "common/PersistentManager.h"
#include "gui/CategoryCommands.h"
#include "gui/CategoryDlg.h"
#include "gui/DialogParts.h"
#include "gui/Frames.h"
#include "gui/RunCommands.h"
#include "platform/AppFolders.h"
#include "support/EngineHarness.h"
#include "support/TaskSettings.h"

namespace veltrano::test {
namespace {

// Another program in the middle of a write transaction on av.cfg.
class TStoreLock {
 public:
  TStoreLock() {
    const std::string file = TPersistentManager::DatabaseFile(GetAppDataFolder());
    EXPECT_EQ(sqlite3_open(file.c_str(), &db_), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  }
  ~TStoreLock() {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
  }
  TStoreLock(const TStoreLock&) = delete;
  TStoreLock& operator=(const TStoreLock&) = delete;

 private:
  sqlite3* db_ = nullptr;
};

class StoreErrors : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    // A locked store answers after its busy timeout: a short one here.
    TPersistentManager::SetBusyTimeout(100);
  }
  void TearDown() override {
    GuiTest::TearDown();
    TPersistentManager::SetBusyTimeout(5000);
  }

  void Focus(const TNodeObject& node) {
    gui::TTaskViewModel& explorer = Window().FrameExplorer().Model();
    explorer.Selection().setCurrentIndex(explorer.IndexOf(node.Node()),
                                         QItemSelectionModel::ClearAndSelect);
  }
  // Confirms the next category dialog with `name`.
  std::shared_ptr<bool> EnterCategory(const std::string& name) {
    return OnNextModal([name, path = (folder / name).string()](QWidget* modal) {
      auto* form = qobject_cast<gui::TFormCategory*>(modal);
      ASSERT_NE(form, nullptr);
      form->edtName->setText(QString::fromStdString(name));
      form->edtPath->SetText(QString::fromStdString(path));
      QTest::mouseClick(form->btnOk, Qt::LeftButton);
    });
  }
  std::shared_ptr<bool> ConfirmDelete() {
    return OnNextModal([](QWidget* modal) {
      auto* form = qobject_cast<gui::TFormDelete*>(modal);
      ASSERT_NE(form, nullptr);
      QTest::mouseClick(form->btnYes, Qt::LeftButton);
    });
  }
};

TEST_F(StoreErrors, EveryCommandSurvivesALockedStoreAndWorksOnceItIsFree) {
  StartApp();
  gui::TCategoryCommands& categories = Window().CategoryCommands();
  gui::TRunCommands& run = Window().RunCommands();
  TConvertedNode& root = *Window().Model().FindCategory(1);
  Focus(root);
  auto entered = EnterCategory("films");
  categories.actNewCategory->trigger();
  ASSERT_TRUE(*entered);
  TConvertedNode& films = *Window().Model().Categories().back();
  Focus(Unfiled());
  TAVTask& stopped = NewTask(SlowSettings("stopped.mp4"));
  ASSERT_TRUE(WaitForProgress(stopped));  // its log has a line by then
  stopped.Stop();
  // Held before it reaches its end, which comes once the store is locked.
  TAVTask& finishing = NewTask(Settings(QuickClip(), "finishing.mp4"));
  finishing.Pause();
  ASSERT_TRUE(WaitUntil([&] { return !stopped.Converter().IsRunning(); }));
  ASSERT_FALSE(stopped.Log().empty());
  const std::string tasks_before = Sql("select ID, Converting from conversions order by ID;");

  TMessageRecorder messages(true);  // the boxes, and "Yes" to every question
  {
    const TStoreLock lock;
    // The conversion that ends now cannot be filed: it stays, stopped.
    finishing.Resume();
    ASSERT_TRUE(WaitForIdle());
    ASSERT_EQ(ListedTasks().size(), 2u);
    EXPECT_EQ(&finishing, ListedTasks()[1]);
    EXPECT_EQ(finishing.Status(), stError);
    size_t boxes = 1;
    EXPECT_EQ(messages.Errors().size(), boxes);

    // Creating a task: nothing is created, nothing starts.
    wizard_result.push_back(Settings(QuickClip(), "new.mp4"));
    run.actNewConversion->trigger();
    EXPECT_EQ(ListedTasks().size(), 2u);
    EXPECT_EQ(messages.Errors().size(), ++boxes);
    EXPECT_FALSE(fs::exists(folder / "new.mp4"));

    // Starting a stopped task: it stays stopped.
    SelectTasks({&stopped});
    run.actStartTask->trigger();
    EXPECT_EQ(stopped.Status(), stError);
    EXPECT_FALSE(stopped.Converter().IsRunning());
    EXPECT_EQ(messages.Errors().size(), ++boxes);

    // Clearing the log: it stays.
    Window().FrameInfo().ShowTask(stopped);
    const TStrings log_now = stopped.Log();
    Window().FrameInfo().actClearLog->trigger();
    EXPECT_EQ(stopped.Log(), log_now);
    EXPECT_EQ(messages.Errors().size(), ++boxes);

    // Deleting the task (its menu command and the Delete key): it stays.
    SelectTasks({&stopped});
    auto confirmed = ConfirmDelete();
    categories.actDelTask->trigger();
    ASSERT_TRUE(*confirmed);
    EXPECT_EQ(ListedTasks().size(), 2u);
    EXPECT_EQ(messages.Errors().size(), ++boxes);
    confirmed = ConfirmDelete();
    QTest::keyClick(Window().FrameList().vstTaskList, Qt::Key_Delete);
    ASSERT_TRUE(*confirmed);
    EXPECT_EQ(ListedTasks().size(), 2u);
    EXPECT_EQ(messages.Errors().size(), ++boxes);

    // The category commands: no new category, no new name, none deleted.
    Focus(films);
    const size_t category_count = Window().Model().Categories().size();
    entered = EnterCategory("more");
    categories.actNewCategory->trigger();
    ASSERT_TRUE(*entered);
    EXPECT_EQ(Window().Model().Categories().size(), category_count);
    EXPECT_EQ(messages.Errors().size(), ++boxes);
    entered = EnterCategory("renamed");
    categories.actCategoryProp->trigger();
    ASSERT_TRUE(*entered);
    EXPECT_EQ(films.Category(), "films");
    EXPECT_EQ(messages.Errors().size(), ++boxes);
    categories.actDelCategory->trigger();
    EXPECT_EQ(Window().Model().FindCategory(films.CategoryId()), &films);
    EXPECT_EQ(messages.Errors().size(), ++boxes);

    // The store's own words, after the file a run could not record where it names one.
    for (const std::string& error : messages.Errors()) {
      EXPECT_TRUE(error.ends_with("database is locked")) << error;
    }
    // The window still answers.
    QTest::qWait(100);
    EXPECT_TRUE(Window().isVisible());
  }
  EXPECT_EQ(Sql("select ID, Converting from conversions order by ID;"), tasks_before);
  EXPECT_EQ(Sql("select count(*) from categories;"), "2\n");

  // The store is free again: the same commands work.
  Focus(Unfiled());
  TAVTask& after = NewTask(Settings(QuickClip(), "after.mp4"));
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(ListedTasks(), (std::vector<TAVTask*>{&stopped, &finishing}));
  EXPECT_EQ(Sql("select count(*) from conversions where Converting=0;"), "1\n");
  (void)after;
  SelectTasks({&stopped, &finishing});
  auto confirmed = ConfirmDelete();
  categories.actDelTask->trigger();
  ASSERT_TRUE(*confirmed);
  EXPECT_TRUE(ListedTasks().empty());
  Focus(films);
  const int32_t films_id = films.CategoryId();  // `films` is gone once deleted
  categories.actDelCategory->trigger();
  EXPECT_EQ(Window().Model().FindCategory(films_id), nullptr);
  EXPECT_EQ(messages.Errors().size(), 9u) << messages.Errors().back();  // none since the lock went
}

}  // namespace
}  // namespace veltrano::test
