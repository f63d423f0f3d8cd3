#include "TaskFixture.h"

#include "TestHome.h"
#include "common/Configuration.h"
#include "common/PersistentManager.h"
#include "common/ProfileOptions.h"
#include "common/ProfileStore.h"
#include "platform/AppFolders.h"
#include "support/MediaFixture.h"

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
                                                           const std::string& profile_name) {
  static const std::unique_ptr<TAVProfileList> profiles = CreateProfileList();
  const TAVProfile* profile = profiles->FindProfile(profile_name);
  EXPECT_NE(profile, nullptr) << profile_name;
  TAVConvertOptions options;
  options.SetRecordingTime(std::numeric_limits<int64_t>::max());
  PrepareProfileOptions(options, *profile, AVConfiguration());
  // An option no encoder takes: the engine logs it, so every run has a log.
  TStrings codec_options = options.CodecOptions();
  codec_options.push_back("veltranomarker=1");
  options.SetCodecOptions(codec_options);
  auto settings = std::make_unique<TConversionSettings>();
  settings->SetSourceFile(source.string());
  settings->SetTargetFile(target.string());
  settings->SetProfile(profile->Description());
  settings->SetCategoryId(category);
  settings->SetConvertOptions(options);
  return settings;
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
