// The options and about windows.
#include <sys/resource.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>

#include "GuiFixture.h"
#include "common/Configuration.h"
#include "common/TestHome.h"
#include "gui/ClickLabel.h"
#include "gui/DialogParts.h"
#include "gui/FormOptions.h"
#include "platform/AppFolders.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

using DialogsTest = GuiTest;

// Drives the options window that opens next with `change`, then presses
// `button` ("确定" or "放弃").
std::shared_ptr<bool> DriveOptions(std::function<void(gui::TFormOptions&)> change, bool confirm) {
  return OnNextModal([=](QWidget* modal) {
    auto* form = qobject_cast<gui::TFormOptions*>(modal);
    ASSERT_NE(form, nullptr);
    change(*form);
    QTest::mouseClick(confirm ? form->btnOk : form->btnCancel, Qt::LeftButton);
  });
}

TEST_F(DialogsTest, OptionsShowTheConfigurationAndCancelLeavesTheFileUntouched) {
  StartApp();
  const std::string before = ReadWholeFile(GetConfigFile());
  auto done = DriveOptions(
      [](gui::TFormOptions& form) {
        EXPECT_EQ(form.windowTitle().toStdString(), "选项");
        ASSERT_EQ(form.tvOptions->topLevelItemCount(), 2);
        EXPECT_EQ(form.tvOptions->currentItem(), form.tvOptions->topLevelItem(0));
        EXPECT_EQ(form.cbbThreadCnt->count(), 33);
        EXPECT_EQ(form.cbbThreadCnt->currentText().toStdString(), "Automatic(use all CPU(s))");
        EXPECT_EQ(form.tbPriority->value(), 2);
        EXPECT_TRUE(form.chkAlert->isChecked());
        EXPECT_EQ(form.edtOutputFolder->Text().toStdString(), GetDefaultOutputFolder());
        // The second node shows the performance page.
        form.tvOptions->setCurrentItem(form.tvOptions->topLevelItem(1));
        EXPECT_EQ(form.pages->currentIndex(), 1);
        form.cbbThreadCnt->setCurrentIndex(4);
        form.chkAlert->setChecked(false);
      },
      false);
  Window().actOptions->trigger();
  ASSERT_TRUE(*done);
  EXPECT_EQ(ReadWholeFile(GetConfigFile()), before);
  EXPECT_EQ(AVConfiguration().PerformanceOptions().ThreadCount(), 0);
  EXPECT_TRUE(AVConfiguration().ShowAlert());
}

TEST_F(DialogsTest, OptionsOkStoresAndWritesTheValues) {
  StartApp();
  const fs::path output = folder / "转换后";
  auto done = DriveOptions(
      [&](gui::TFormOptions& form) {
        form.cbbThreadCnt->setCurrentIndex(form.cbbThreadCnt->findText(QStringLiteral("4")));
        form.chkAlert->setChecked(false);
        EXPECT_TRUE(form.chkCopyFitting->isChecked());
        form.chkCopyFitting->setChecked(false);
        form.edtOutputFolder->SetText(QString::fromStdString(output.string()));
      },
      true);
  Window().actOptions->trigger();
  ASSERT_TRUE(*done);
  EXPECT_EQ(AVConfiguration().PerformanceOptions().ThreadCount(), 4);
  EXPECT_FALSE(AVConfiguration().ShowAlert());
  const std::string written = ReadWholeFile(GetConfigFile());
  EXPECT_NE(written.find("<ThreadCount>4</ThreadCount>"), std::string::npos) << written;
  EXPECT_NE(written.find("<ShowAlert>0</ShowAlert>"), std::string::npos);
  EXPECT_FALSE(AVConfiguration().CopyFittingStreams());
  EXPECT_NE(written.find("<CopyFittingStreams>0</CopyFittingStreams>"), std::string::npos);
  EXPECT_NE(written.find("<OutputFolder>" + output.string() + "</OutputFolder>"),
            std::string::npos);
}

TEST_F(DialogsTest, OptionsShowCountsFromAHandEditedFileAsTheNearestEntry) {
  AVConfiguration().PerformanceOptions().SetThreadCount(64);
  gui::TFormOptions form;
  form.Fill(AVConfiguration());
  EXPECT_EQ(form.cbbThreadCnt->currentText().toStdString(), "32");
  AVConfiguration().PerformanceOptions().SetThreadCount(-3);
  form.Fill(AVConfiguration());
  EXPECT_EQ(form.cbbThreadCnt->currentIndex(), 0);
}

// In a child process (the priority cannot be raised again): confirm the
// options at the "Low" end and report whether the process runs at idle
// priority at once.
[[noreturn]] void ConfirmLowPriorityAndCheck(gui::TFormMain& window) {
  auto done = DriveOptions([](gui::TFormOptions& form) { form.tbPriority->setValue(0); }, true);
  window.actOptions->trigger();
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, 0);
  const bool stored =
      AVConfiguration().PerformanceOptions().ThreadPrority() == 0 &&
      ReadWholeFile(GetConfigFile()).find("<ThreadPrority>0</ThreadPrority>") != std::string::npos;
  const bool ok = *done && stored && nice == 19;
  std::error_code ignored;
  fs::remove_all(TestFolder(), ignored);  // _Exit skips the program's own clean-up
  std::_Exit(ok ? 0 : 1);
}

TEST_F(DialogsTest, ConfirmingTheLowEndSwitchesToIdlePriorityAtOnce) {
  if (getpriority(PRIO_PROCESS, 0) > 0) GTEST_SKIP() << "already running below normal";
  StartApp();
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ConfirmLowPriorityAndCheck(Window()), ::testing::ExitedWithCode(0), "");
}

TEST_F(DialogsTest, AboutShowsTheVersionAndOpensBothLinks) {
  StartApp();
  auto done = OnNextModal([this](QWidget* modal) {
    auto* about = qobject_cast<gui::TFormAbout*>(modal);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->windowTitle().toStdString(), "关于...");
    EXPECT_EQ(about->lblVersion->text().toStdString(),
              std::string("版本  ") + VELTRANO_VERSION + "   ");
    EXPECT_EQ(about->Label3->text().toStdString(), "Tellurix软件");
    EXPECT_EQ(about->lblUrl->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(about->lblUrl, Qt::LeftButton);
    QTest::mouseClick(about->Label2, Qt::LeftButton);
    ASSERT_EQ(launcher->started.size(), 2u);
    EXPECT_EQ(launcher->started[0],
              (std::vector<std::string>{"xdg-open", "https://tellurix.example/"}));
    EXPECT_EQ(launcher->started[1],
              (std::vector<std::string>{"xdg-open", "mailto:support@tellurix.example"}));
    QTest::mouseClick(about->btnOk, Qt::LeftButton);
  });
  Window().actAbout->trigger();
  ASSERT_TRUE(*done);
}

}  // namespace
}  // namespace veltrano::test
