// A wizard on the real profile catalogue, with the output folder, the
// thread count and the message boxes of a test of its own.
#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>

#include <filesystem>
#include <memory>

#include "GuiTestSupport.h"
#include "converter/AVProfile.h"
#include "gui/FormNewConversion.h"
#include "support/EngineHarness.h"

namespace veltrano::gui::test {

namespace fs = std::filesystem;

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A shown wizard over `profiles` with `reserved` as the unfiled targets.
  std::unique_ptr<TFormNewConversion> Wizard(const std::vector<std::string>& reserved = {});
  // `path` in the output folder.
  std::string Out(const std::string& name) const { return (out / name).string(); }

  fs::path out;  // the configured output folder
  std::unique_ptr<TAVProfileList> profiles;
  std::unique_ptr<veltrano::test::TMessageRecorder> messages;
};

// Selects the category and then the profile by their captions, in the
// wizard or in the dialog of a file's own settings.
void Choose(QWidget& window, const QString& category, const QString& profile);
// Waits for the validity timer to enable the finish button, then presses it.
bool Finish(TFormNewConversion& wizard);
// The target field's text.
QString Target(const TFormNewConversion& wizard);
// Types `path` into a file dialog's name field and confirms it as its
// "Open" button does.
void AcceptFileDialog(QWidget* dialog, const fs::path& path);

// A clip with video and audio, shared by the wizard tests.
fs::path WizardClip();

}  // namespace veltrano::gui::test
