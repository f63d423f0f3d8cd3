// The window and the user's files: the wizard asks before a task may replace
// an existing file and refuses a target that is a source or another task's;
// deleting tasks with their files keeps what they did not write and says so.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <fstream>

#include "GuiFixture.h"
#include "GuiTestSupport.h"
#include "WizardTestSupport.h"
#include "common/TestHome.h"
#include "gui/CategoryDlg.h"
#include "gui/FileNameEdit.h"
#include "gui/Frames.h"
#include "gui/WizardEntry.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

using gui::test::WhenModalOpens;
using OwnFilesWindow = GuiTest;

// Answers the next question box with `answer` after checking its text.
std::unique_ptr<gui::test::TModalAction> Answer(QMessageBox::StandardButton answer,
                                                std::string* text) {
  return WhenModalOpens<QMessageBox>([answer, text](QMessageBox* box) {
    *text = box->windowTitle().toStdString() + ": " + box->text().toStdString();
    box->button(answer)->click();
  });
}

TEST_F(OwnFilesWindow, AnExistingTargetIsReplacedOnlyWhenTheUserSaysSo) {
  StartApp();
  Window().SetWizardRunner(gui::RunNewConversionWizard);
  const fs::path target = folder / "exists.mp4";
  std::ofstream(target) << "the user's file";
  std::string first_question;
  std::string second_question;
  auto wizard_done = OnNextModal([&](QWidget* modal) {
    auto* wizard = qobject_cast<gui::TFormNewConversion*>(modal);
    ASSERT_NE(wizard, nullptr);
    auto* target_edit = gui::test::Child<gui::TFileNameEdit>(wizard, "edtSavePath");
    target_edit->SetFileName(QString::fromStdString(target.string()));
    QAbstractButton* finish = wizard->button(QWizard::FinishButton);
    ASSERT_TRUE(gui::test::SpinUntil([&] { return finish->isEnabled(); }));
    // "No": the wizard stays open, back at the target.
    auto no = Answer(QMessageBox::No, &first_question);
    finish->click();
    EXPECT_TRUE(no->Done());
    EXPECT_TRUE(wizard->isVisible());
    EXPECT_EQ(wizard->focusWidget(), static_cast<QWidget*>(target_edit->Edit()));
    EXPECT_EQ(ReadWholeFile(target), "the user's file");
    auto yes = Answer(QMessageBox::Yes, &second_question);
    finish->click();
    EXPECT_TRUE(yes->Done());
  });
  Window().StartNewConversion({QString::fromStdString(QuickClip().string())});
  ASSERT_TRUE(*wizard_done);
  EXPECT_EQ(first_question, "Warning: 目标文件已存在，是否替换？");
  EXPECT_EQ(second_question, first_question);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(ListedTasks().empty()) << "converted and filed";
  EXPECT_NEAR(ProbeMedia(target).Stream("video").duration, 1.0, 0.1);
  EXPECT_EQ(Sql("select count(*) from conversions where Converting=0 and "
                "ConvertSettings like '%<Overwrite>1</Overwrite>%';"),
            "1\n");
}

TEST_F(OwnFilesWindow, DeletingKeepsWhatTheTasksDidNotWriteAndSaysSo) {
  StartApp();
  TAVTask& mine = NewTask(SlowSettings("mine.mp4"));
  TAVTask& replaced = NewTask(SlowSettings("replaced.mp4"));
  ASSERT_TRUE(WaitForProgress(mine));
  ASSERT_TRUE(WaitForProgress(replaced));
  mine.Stop();
  replaced.Stop();
  ASSERT_TRUE(WaitForIdle());
  ASSERT_TRUE(fs::exists(folder / "mine.mp4"));
  // The user puts a file of theirs where the stopped output was (which they
  // keep under another name, so its inode is not the new file's).
  fs::rename(folder / "replaced.mp4", folder / "moved.mp4");
  std::ofstream(folder / "replaced.mp4") << "the user's file";
  SelectTasks({&mine, &replaced});

  std::string kept_text;
  std::unique_ptr<gui::test::TModalAction> told;
  auto confirmed = OnNextModal([&](QWidget* modal) {
    auto* form = qobject_cast<gui::TFormDelete*>(modal);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->chkDeleteTarget->isChecked());
    told = WhenModalOpens<QMessageBox>([&](QMessageBox* box) {
      EXPECT_EQ(box->objectName(), "boxKeptFiles");
      kept_text = box->text().toStdString();
      box->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(form->btnYes, Qt::LeftButton);
  });
  QTest::keyClick(Window().FrameList().vstTaskList, Qt::Key_Delete);
  ASSERT_TRUE(*confirmed);
  ASSERT_TRUE(told && told->Done());
  EXPECT_EQ(kept_text,
            "下列文件没有删除:\n" + (folder / "replaced.mp4").string() + ": 不是这个任务写的文件");
  EXPECT_TRUE(ListedTasks().empty());
  EXPECT_FALSE(fs::exists(folder / "mine.mp4"));
  EXPECT_EQ(ReadWholeFile(folder / "replaced.mp4"), "the user's file");
  EXPECT_EQ(Sql("select count(*) from conversions;"), "0\n");
}

}  // namespace
}  // namespace veltrano::test

namespace veltrano::gui::test {
namespace {

using WizardTargets = WizardTest;

// A typed target that is the source by another name, or another unfinished
// task's target, is refused; the wizard stays open at the target field.
TEST_F(WizardTargets, ASourceOrAnotherTasksTargetIsRefusedAndTheWizardStays) {
  const fs::path folder = veltrano::test::MakeTempFolder("wizard-targets");
  const fs::path source = folder / "clip.mp4";
  fs::copy_file(WizardClip(), source);
  fs::create_directory(folder / "sub");
  const std::string reserved = Out("reserved.mp4");
  auto wizard = Wizard({reserved});
  wizard->SetSources({QString::fromStdString(source.string())});
  Choose(*wizard, QStringLiteral("视频"), QStringLiteral("MPEG-4视频"));
  auto* target = Child<TFileNameEdit>(wizard.get(), "edtSavePath");
  const std::vector<std::pair<std::string, std::string>> refusals{
      {(folder / "sub" / ".." / "clip.mp4").string(), "输出文件与源文件相同: " + source.string()},
      {(out / "." / "reserved.mp4").string(), "另一个未完成的任务已在写这个目标文件: " + reserved}};
  for (const auto& [typed, message] : refusals) {
    target->SetFileName(QString::fromStdString(typed));
    ASSERT_TRUE(Finish(*wizard));
    ASSERT_FALSE(messages->Errors().empty()) << typed;
    EXPECT_EQ(messages->Errors().back(), message);
    EXPECT_TRUE(wizard->isVisible());
    EXPECT_EQ(wizard->result(), 0);
    EXPECT_TRUE(wizard->TakeConversionSettings().empty());
  }
  // A free target finishes, named as the system opens it.
  target->SetFileName(QString::fromStdString((folder / "sub" / ".." / "new.mp4").string()));
  ASSERT_TRUE(Finish(*wizard));
  EXPECT_EQ(wizard->result(), QDialog::Accepted);
  const auto settings = wizard->TakeConversionSettings();
  ASSERT_EQ(settings.size(), 1u);
  EXPECT_EQ(settings[0]->TargetFile(), (folder / "new.mp4").string());
  EXPECT_FALSE(settings[0]->Overwrite());
  EXPECT_TRUE(messages->Warnings().empty());
}

}  // namespace
}  // namespace veltrano::gui::test
