#include "TaskFixture.h"

#include "TestHome.h"
#include "common/Configuration.h"
#include "common/PersistentManager.h"
#include "platform/AppFolders.h"
#include "support/MediaFixture.h"
#include "support/TaskSettings.h"

namespace veltrano::test {

fs::path TaskClip() {
  TClip clip = AvClipSpec("mpeg4", "aac");
  clip.seconds = 1;
  return SharedClip("task-clip.mp4", clip);
}

void TaskFixture::SetUp() {
  UseFreshConfigHome("tasks");
  folder = MakeTempFolder("task-files");
  AVConfiguration().SetShowAlert(true);
  AVConfiguration().SetShutdownWhenDone(false);
  AVConfiguration().SetOutputFolder(folder.string());
  previous_alert_ =
      SetCompletionAlertHandler([this](const std::string& file) { alerts.push_back(file); });
  messages = std::make_unique<TMessageRecorder>();
  TPersistentManager::Connect();
  OpenModel();
}

void TaskFixture::TearDown() {
  model.reset();
  TPersistentManager::Disconnect();
  SetCompletionAlertHandler(previous_alert_);
  messages.reset();
  AVConfiguration().SetShutdownWhenDone(false);
}

void TaskFixture::OpenModel() {
  model = std::make_unique<TNodeTree>(tree, list, &ui);
  model->Load();
}

void TaskFixture::Reopen() {
  model.reset();
  TPersistentManager::Disconnect();
  TPersistentManager::Connect();
  OpenModel();
}

std::unique_ptr<TConversionSettings> TaskFixture::Settings(const fs::path& source,
                                                           const fs::path& target, int category,
                                                           const std::string& profile) {
  return MakeTaskSettings(source, target, category, profile);
}

std::unique_ptr<TConversionSettings> TaskFixture::SlowSettings(const fs::path& target) {
  TClip clip = AvClipSpec("mpeg4", "aac");
  clip.seconds = 2;
  return Settings(SharedClip("task-slow.mp4", clip), target, 1, "PS3 1080 HD Video");
}

bool TaskFixture::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return ui.RunUntil(done, timeout);
}

bool TaskFixture::WaitForIdle() {
  return WaitUntil(
      [this] { return !Unfiled().HasActiveConverter() && Unfiled().RetiredCount() == 0; });
}

std::vector<TAVTask*> TaskFixture::ShownTasks() const {
  std::vector<TAVTask*> tasks;
  for (TRowId row : list.ChildRows(kNoRow)) {
    tasks.push_back(dynamic_cast<TAVTask*>(list.RowObject(row)));
  }
  return tasks;
}

std::string TaskFixture::Sql(const std::string& sql) const {
  const std::string file = TPersistentManager::DatabaseFile(GetAppDataFolder());
  return RunCommand("sqlite3 " + ShellQuote(file) + " " + ShellQuote(sql)).output;
}

}  // namespace veltrano::test
