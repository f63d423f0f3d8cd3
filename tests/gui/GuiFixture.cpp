#include "GuiFixture.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "common/Configuration.h"
#include "common/PersistentManager.h"
#include "gui/DesktopAlert.h"
#include "gui/Frames.h"
#include "gui/RunCommands.h"
#include "platform/AppFolders.h"
#include "support/MediaFixture.h"
#include "support/TaskSettings.h"

namespace veltrano::test {

fs::path QuickClip() {
  TClip clip = AvClipSpec("mpeg4", "aac");
  clip.seconds = 1;
  return SharedClip("gui-quick.mp4", clip);
}

fs::path SlowClip() {
  TClip clip = AvClipSpec("mpeg4", "aac");
  clip.seconds = 3;
  return SharedClip("gui-slow.mp4", clip);
}

std::shared_ptr<bool> OnNextModal(std::function<void(QWidget*)> act,
                                  std::chrono::milliseconds timeout) {
  auto done = std::make_shared<bool>(false);
  auto* timer = new QTimer(qApp);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  QObject::connect(timer, &QTimer::timeout, timer, [timer, done, act = std::move(act), deadline] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) {
      if (std::chrono::steady_clock::now() > deadline) timer->deleteLater();
      return;
    }
    timer->stop();
    timer->deleteLater();
    *done = true;
    act(modal);
  });
  timer->start(20);
  return done;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return QTest::qWaitFor(done, static_cast<int>(timeout.count()));
}

void GuiTest::SetUp() {
  home = MakeTempFolder("gui-home");
  folder = MakeTempFolder("gui-files");
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
  // The process-wide configuration as a new process has it.
  TAVConfiguration& configuration = AVConfiguration();
  configuration.PerformanceOptions().SetThreadCount(0);
  configuration.PerformanceOptions().SetThreadPrority(2);
  configuration.SetShutdownWhenDone(false);
  configuration.SetOutputFolder(GetDefaultOutputFolder());
  configuration.SetShowAlert(true);
  configuration.SetLanguage("");
  dbus = std::make_unique<TDBusRecorder>(true);
  launcher = std::make_shared<TRecordingLauncher>();
  scoped_launcher_ = std::make_unique<TScopedLauncher>(launcher);
}

void GuiTest::TearDown() {
  CloseApp();
  scoped_launcher_.reset();
  dbus.reset();
}

void GuiTest::StartApp() {
  app = std::make_unique<gui::TVeltranoApp>();
  Window().SetWizardRunner([this](QWidget*, TAVProfileList&, const QStringList& sources,
                                  const std::vector<std::string>& reserved) {
    wizard_calls.push_back(sources);
    wizard_reserved.push_back(reserved);
    return std::exchange(wizard_result, {});
  });
  Window().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
}

void GuiTest::CloseApp() {
  app.reset();
  gui::TAVDesktopAlert::CloseAll();
}

ITaskView& GuiTest::List() const {
  return Window().FrameList().Model();
}

std::vector<TAVTask*> GuiTest::ListedTasks() const {
  std::vector<TAVTask*> tasks;
  for (TRowId row : List().ChildRows(kNoRow)) {
    tasks.push_back(dynamic_cast<TAVTask*>(List().RowObject(row)));
  }
  return tasks;
}

void GuiTest::SelectTasks(const std::vector<TAVTask*>& tasks) {
  gui::TTaskViewModel& model = Window().FrameList().Model();
  model.Selection().clear();
  for (size_t i = 0; i < tasks.size(); ++i) {
    const QModelIndex index = model.IndexOf(tasks[i]->Node());
    const auto flags = QItemSelectionModel::Select | QItemSelectionModel::Rows;
    if (i == 0) {
      model.Selection().setCurrentIndex(index, flags);
    } else {
      model.Selection().select(index, flags);
    }
  }
}

std::unique_ptr<TConversionSettings> GuiTest::Settings(const fs::path& source,
                                                       const std::string& target) {
  return MakeTaskSettings(source, folder / target);
}

std::unique_ptr<TConversionSettings> GuiTest::SlowSettings(const std::string& target) {
  return MakeTaskSettings(SlowClip(), folder / target, 1, "PS3 1080 HD Video");
}

TAVTask& GuiTest::NewTask(std::unique_ptr<TConversionSettings> settings) {
  wizard_result.push_back(std::move(settings));
  const size_t before = Unfiled().Tasks().size();
  Window().RunCommands().actNewConversion->trigger();
  EXPECT_EQ(Unfiled().Tasks().size(), before + 1);
  return *Unfiled().Tasks().back();
}

bool GuiTest::WaitForProgress(const TAVTask& task) {
  return WaitUntil([&task] { return task.Converter().Progress() > 0; });
}

bool GuiTest::WaitForIdle() {
  return WaitUntil(
      [this] { return !Unfiled().HasActiveConverter() && Unfiled().RetiredCount() == 0; });
}

std::string GuiTest::Sql(const std::string& sql) const {
  const std::string file = TPersistentManager::DatabaseFile(GetAppDataFolder());
  return RunCommand("sqlite3 " + ShellQuote(file) + " " + ShellQuote(sql)).output;
}

}  // namespace veltrano::test
