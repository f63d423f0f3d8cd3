#include "WizardTestSupport.h"

#include <QFileDialog>
#include <QLineEdit>

#include "common/Configuration.h"
#include "common/ProfileStore.h"
#include "common/TestHome.h"
#include "gui/FileNameEdit.h"
#include "support/MediaFixture.h"

namespace veltrano::gui::test {

fs::path WizardClip() {
  veltrano::test::TClip clip = veltrano::test::AvClipSpec("mpeg4", "aac");
  clip.seconds = 1;
  return veltrano::test::SharedClip("wizard-clip.mp4", clip);
}

void WizardTest::SetUp() {
  veltrano::test::UseFreshConfigHome("wizard");
  out = veltrano::test::MakeTempFolder("wizard-out");
  AVConfiguration().SetOutputFolder(out.string());
  AVConfiguration().PerformanceOptions().SetThreadCount(3);
  profiles = CreateProfileList();
  messages = std::make_unique<veltrano::test::TMessageRecorder>();
}

void WizardTest::TearDown() {
  AVConfiguration().PerformanceOptions().SetThreadCount(0);
  messages.reset();
}

std::unique_ptr<TFormNewConversion> WizardTest::Wizard(const std::vector<std::string>& reserved) {
  auto wizard = std::make_unique<TFormNewConversion>(*profiles, reserved);
  wizard->show();
  return wizard;
}

void Choose(QWidget& window, const QString& category, const QString& profile) {
  auto* categories = Child<QComboBox>(&window, "cbbCategory");
  categories->setCurrentIndex(categories->findText(category));
  auto* list = Child<QComboBox>(&window, "cbbProfile");
  if (profile.isEmpty()) return;
  const int index = list->findText(profile);
  ASSERT_GE(index, 0) << profile.toStdString();
  list->setCurrentIndex(index);
}

bool Finish(TFormNewConversion& wizard) {
  QAbstractButton* finish = wizard.button(QWizard::FinishButton);
  if (!SpinUntil([&] { return finish->isEnabled(); })) return false;
  finish->click();
  return true;
}

QString Target(const TFormNewConversion& wizard) {
  return Child<TFileNameEdit>(&wizard, "edtSavePath")->FileName();
}

void AcceptFileDialog(QWidget* dialog, const fs::path& path) {
  // selectFile replaces the selection of the file list but leaves the name
  // field alone while it has the focus.
  auto* file_dialog = qobject_cast<QFileDialog*>(dialog);
  ASSERT_NE(file_dialog, nullptr);
  file_dialog->selectFile(QString::fromStdString(path.string()));
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(name, nullptr);
  name->setText(QString::fromStdString(path.string()));
  QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
}

}  // namespace veltrano::gui::test
