// The whole program in a test: a fresh home and application-data folder,
// the start-up of the real program (configuration, store, profiles, main
// window) with a stand-in for the new-conversion wizard, and the desktop
// services answered by doubles.
#pragma once

#include <gtest/gtest.h>

#include <QStringList>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/AVNodes.h"
#include "gui/Application.h"
#include "gui/FormMain.h"
#include "platform/ServiceDoubles.h"

class QWidget;

namespace veltrano::test {

namespace fs = std::filesystem;

// A one-second clip, and a clip that takes a few seconds to convert with
// the 1080p profile of SlowSettings.
fs::path QuickClip();
fs::path SlowClip();

// Runs `act` on the next modal dialog that opens within `timeout`; the
// returned flag tells whether one did.
std::shared_ptr<bool> OnNextModal(std::function<void(QWidget*)> act,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Runs the Qt event loop until `done` or the timeout; false on timeout.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::minutes(2));

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the program as main() does (without the single-instance check).
  void StartApp();
  // Runs the exit sequence.
  void CloseApp();

  gui::TFormMain& Window() const { return app->MainWindow(); }
  TConvertingNode& Unfiled() const { return Window().Model().ConvertingNode(); }
  ITaskView& List() const;
  // The tasks listed, in row order.
  std::vector<TAVTask*> ListedTasks() const;
  // Makes `task` the focused and only selected row; several: all selected,
  // the first focused.
  void SelectTasks(const std::vector<TAVTask*>& tasks);

  // Settings of a conversion of `source` into the test folder.
  std::unique_ptr<TConversionSettings> Settings(const fs::path& source, const std::string& target);
  std::unique_ptr<TConversionSettings> SlowSettings(const std::string& target);
  // Starts a task through the new-conversion command, as a confirmed
  // wizard does.
  TAVTask& NewTask(std::unique_ptr<TConversionSettings> settings);
  // Waits until the task's run has reported progress.
  bool WaitForProgress(const TAVTask& task);
  // Waits until no conversion of the unfiled node runs any more.
  bool WaitForIdle();
  // What sqlite3 prints for `sql` on av.cfg.
  std::string Sql(const std::string& sql) const;

  fs::path home;    // HOME; XDG_CONFIG_HOME is home/.config
  fs::path folder;  // for this test's files
  std::unique_ptr<gui::TVeltranoApp> app;
  // The stand-in wizard: what it was called with, and what it returns next.
  std::vector<QStringList> wizard_calls;
  std::vector<std::vector<std::string>> wizard_reserved;
  std::vector<std::unique_ptr<TConversionSettings>> wizard_result;
  std::unique_ptr<TDBusRecorder> dbus;
  std::shared_ptr<TRecordingLauncher> launcher;

 private:
  std::unique_ptr<TScopedLauncher> scoped_launcher_;
};

}  // namespace veltrano::test
