// The category and task commands, with their dialogs driven as a user would.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "GuiFixture.h"
#include "gui/CategoryCommands.h"
#include "gui/CategoryDlg.h"
#include "gui/DesktopAlert.h"
#include "gui/DialogParts.h"
#include "gui/Frames.h"
#include "gui/RunCommands.h"

namespace veltrano::test {
namespace {

using CategoryCommandsTest = GuiTest;

// Fills the category dialog that opens next and confirms it; checks that
// blanks alone keep "确定" disabled.
std::shared_ptr<bool> EnterCategory(const std::string& name, const std::string& path,
                                    const std::string& caption) {
  return OnNextModal([=](QWidget* modal) {
    auto* form = qobject_cast<gui::TFormCategory*>(modal);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle().toStdString(), caption);
    form->edtName->setText(QStringLiteral("   "));
    form->edtPath->SetText(QString::fromStdString(path));
    EXPECT_FALSE(form->btnOk->isEnabled());
    form->edtName->setText(QString::fromStdString(name));
    EXPECT_TRUE(form->btnOk->isEnabled());
    QTest::mouseClick(form->btnOk, Qt::LeftButton);
  });
}

std::shared_ptr<bool> AnswerWarning(QMessageBox::StandardButton answer, std::string* text) {
  return OnNextModal([=](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle().toStdString(), "Warning");
    *text = box->text().toStdString();
    box->button(answer)->click();
  });
}

void Focus(gui::TFormMain& window, const TNodeObject& node) {
  gui::TTaskViewModel& explorer = window.FrameExplorer().Model();
  explorer.Selection().setCurrentIndex(explorer.IndexOf(node.Node()),
                                       QItemSelectionModel::ClearAndSelect);
}

TEST_F(CategoryCommandsTest, CategoriesAreCreatedRenamedAndDeletedWithTheirSubCategories) {
  StartApp();
  gui::TCategoryCommands& commands = Window().CategoryCommands();
  TConvertedNode& root = *Window().Model().FindCategory(1);
  Focus(Window(), root);
  commands.UpdateActions();
  EXPECT_FALSE(commands.actDelCategory->isEnabled());  // the root stays

  const fs::path films = folder / "films";
  auto done = EnterCategory(" 电影 ", films.string(), "New Category");
  commands.actNewCategory->trigger();
  ASSERT_TRUE(*done);
  TConvertedNode* created = Window().Model().Categories().back();
  ASSERT_NE(created, &root);
  EXPECT_EQ(created->Category(), "电影");
  EXPECT_EQ(created->Parent(), &root);
  EXPECT_FALSE(fs::exists(films));  // a new category does not make its folder
  EXPECT_EQ(Sql("select Category, Path, Parent from categories where ID=" +
                std::to_string(created->CategoryId()) + ";"),
            "电影|" + films.string() + "|1\n");

  Focus(Window(), *created);
  done = EnterCategory("片段", (folder / "clips").string(), "New Category");
  commands.actNewCategory->trigger();
  ASSERT_TRUE(*done);
  TConvertedNode* below = Window().Model().Categories().back();
  EXPECT_EQ(below->Parent(), created);

  // Properties: a new name and a folder that does not exist yet, which is made.
  Focus(Window(), *created);
  const fs::path renamed = folder / "new" / "films";
  done = EnterCategory("影片", renamed.string(), "Category Properties");
  commands.actCategoryProp->trigger();
  ASSERT_TRUE(*done);
  EXPECT_TRUE(fs::is_directory(renamed));
  EXPECT_EQ(GetCaption(Window().FrameExplorer().Model(), created->Node(), 0), "影片");

  // Deleting asks first; "No" keeps everything.
  commands.UpdateActions();
  EXPECT_TRUE(commands.actDelCategory->isEnabled());
  std::string question;
  done = AnswerWarning(QMessageBox::No, &question);
  commands.actDelCategory->trigger();
  ASSERT_TRUE(*done);
  EXPECT_EQ(question, "Do you want to delete the selected category?");
  EXPECT_EQ(Sql("select count(*) from categories;"), "3\n");

  const int32_t below_id = below->CategoryId();
  done = AnswerWarning(QMessageBox::Yes, &question);
  commands.actDelCategory->trigger();
  ASSERT_TRUE(*done);
  EXPECT_EQ(Sql("select ID from categories;"), "1\n");
  EXPECT_EQ(Window().Model().FindCategory(below_id), nullptr);
  EXPECT_EQ(Window().Model().Categories(), (std::vector<TConvertedNode*>{&root}));
  // The parent is shown with its own list.
  EXPECT_EQ(GetCurrNodeObject(Window().FrameExplorer().Model()), &root);
  EXPECT_EQ(Window().FrameList().Model().columnCount(), 7);
  EXPECT_TRUE(fs::is_directory(renamed));  // files on disk stay
}

TEST_F(CategoryCommandsTest, OnlyCategoriesHaveAContextMenu) {
  StartApp();
  QTreeView& tree = *Window().FrameExplorer().vstExplorer;
  QMenu& menu = *Window().CategoryCommands().pmConverted;
  const ITaskView& explorer = Window().FrameExplorer().Model();
  const std::vector<TRowId> top = explorer.ChildRows(kNoRow);
  auto right_click = [&](TRowId row) {
    const QRect place = tree.visualRect(Window().FrameExplorer().Model().IndexOf(row));
    emit tree.customContextMenuRequested(place.center());
  };
  right_click(top[0]);
  EXPECT_FALSE(menu.isVisible());
  right_click(top[1]);
  EXPECT_TRUE(QTest::qWaitFor([&] { return menu.isVisible(); }, 2000));
  EXPECT_EQ(explorer.FocusedRow(), top[1]);  // the category is the one acted on
  menu.close();
}

TEST_F(CategoryCommandsTest, DeletingStopsRunningTasksAndRemovesStoppedOnesWithTheirFiles) {
  StartApp();
  TAVTask& first = NewTask(SlowSettings("first.mp4"));
  TAVTask& second = NewTask(SlowSettings("second.mp4"));
  // Stopped once they have written something: a run stopped before its
  // header leaves no file.
  ASSERT_TRUE(WaitForProgress(first));
  ASSERT_TRUE(WaitForProgress(second));
  first.Stop();
  second.Stop();
  ASSERT_TRUE(WaitForIdle());
  ASSERT_TRUE(fs::exists(folder / "first.mp4"));
  TAVTask& running = NewTask(SlowSettings("running.mp4"));
  SelectTasks({&first, &running, &second});

  const auto confirmed = OnNextModal([](QWidget* modal) {
    auto* form = qobject_cast<gui::TFormDelete*>(modal);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle().toStdString(), "确认删除吗？");
    EXPECT_FALSE(form->chkDeleteSource->isChecked());
    EXPECT_TRUE(form->chkDeleteTarget->isChecked());
    QTest::mouseClick(form->btnYes, Qt::LeftButton);
  });
  QTest::keyClick(Window().FrameList().vstTaskList, Qt::Key_Delete);
  ASSERT_TRUE(*confirmed);

  EXPECT_EQ(ListedTasks(), (std::vector<TAVTask*>{&running}));
  EXPECT_EQ(running.Status(), stError);
  EXPECT_EQ(Sql("select count(*) from conversions;"), "1\n");
  EXPECT_FALSE(fs::exists(folder / "first.mp4"));
  EXPECT_FALSE(fs::exists(folder / "second.mp4"));
  EXPECT_TRUE(fs::exists(SlowClip()));  // sources stay unless asked
}

TEST_F(CategoryCommandsTest, TheDeleteKeyWithoutASelectionDoesNothingAndTheKeypadsDeletes) {
  StartApp();
  TAVTask& task = NewTask(SlowSettings("kept.mp4"));
  task.Stop();
  ASSERT_TRUE(WaitForIdle());
  Window().FrameList().Model().Selection().clear();
  const auto asked = OnNextModal([](QWidget* modal) { modal->close(); }, std::chrono::seconds(1));
  QTest::keyClick(Window().FrameList().vstTaskList, Qt::Key_Delete);
  QTest::qWait(1200);
  EXPECT_FALSE(*asked);
  EXPECT_EQ(ListedTasks(), (std::vector<TAVTask*>{&task}));

  // The keypad's Delete key (which comes with the keypad modifier) deletes
  // as the other one does.
  SelectTasks({&task});
  const auto confirmed = OnNextModal([](QWidget* modal) {
    auto* form = qobject_cast<gui::TFormDelete*>(modal);
    ASSERT_NE(form, nullptr);
    QTest::mouseClick(form->btnYes, Qt::LeftButton);
  });
  QTest::keyClick(Window().FrameList().vstTaskList, Qt::Key_Delete, Qt::KeypadModifier);
  ASSERT_TRUE(*confirmed);
  EXPECT_TRUE(ListedTasks().empty());
}

TEST_F(CategoryCommandsTest, OpenCommandsNeedOneRowWithAFileThatExists) {
  StartApp();
  NewTask(Settings(QuickClip(), "done.mp4"));
  NewTask(Settings(QuickClip(), "other.mp4"));
  ASSERT_TRUE(WaitForIdle());
  ASSERT_TRUE(ListedTasks().empty());  // both filed into the root category
  gui::TAVDesktopAlert::CloseAll();
  Focus(Window(), *Window().Model().FindCategory(1));
  ASSERT_EQ(ListedTasks().size(), 2u);
  std::vector<TAVTask*> listed = ListedTasks();
  EXPECT_GE(listed[0]->Date(), listed[1]->Date());  // newest first
  if (fs::path(listed[0]->Settings().TargetFile()).filename() != "done.mp4") {
    std::swap(listed[0], listed[1]);
  }
  TAVTask& converted = *listed[0];
  EXPECT_EQ(converted.Status(), stFinished);
  gui::TCategoryCommands& commands = Window().CategoryCommands();
  SelectTasks(ListedTasks());
  commands.UpdateActions();
  EXPECT_TRUE(commands.actDelTask->isEnabled());
  EXPECT_FALSE(commands.actOpenSource->isEnabled());
  EXPECT_FALSE(commands.actOpenConverted->isEnabled());
  EXPECT_FALSE(commands.actExploreFile->isEnabled());

  SelectTasks({&converted});
  // A converted task is neither started, nor paused, nor stopped.
  Window().UpdateActions();
  EXPECT_FALSE(Window().RunCommands().actStartTask->isEnabled());
  EXPECT_FALSE(Window().RunCommands().actPauseTask->isEnabled());
  EXPECT_FALSE(Window().RunCommands().actStopTask->isEnabled());
  EXPECT_TRUE(commands.actOpenSource->isEnabled());
  EXPECT_TRUE(commands.actOpenConverted->isEnabled());
  EXPECT_TRUE(commands.actExploreFile->isEnabled());

  commands.actExploreFile->trigger();
  ASSERT_EQ(dbus->Calls().size(), 1u);
  EXPECT_EQ(dbus->Calls()[0].method, "ShowItems");
  commands.actOpenConverted->trigger();
  ASSERT_EQ(launcher->started.size(), 1u);
  EXPECT_EQ(launcher->started[0],
            (std::vector<std::string>{"xdg-open", (folder / "done.mp4").string()}));

  fs::remove(folder / "done.mp4");
  commands.UpdateActions();
  EXPECT_FALSE(commands.actOpenConverted->isEnabled());
  EXPECT_FALSE(commands.actExploreFile->isEnabled());
  EXPECT_TRUE(commands.actOpenSource->isEnabled());
}

}  // namespace
}  // namespace veltrano::test
