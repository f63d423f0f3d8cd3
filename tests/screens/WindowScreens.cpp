// Pictures of the main window, the options and about windows and the
// completion alert.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <fstream>
#include <memory>

#include "Screens.h"
#include "common/AVNodes.h"
#include "common/Configuration.h"
#include "common/PersistentManager.h"
#include "gui/Application.h"
#include "gui/DesktopAlert.h"
#include "gui/DialogParts.h"
#include "gui/FormMain.h"
#include "gui/FormOptions.h"
#include "gui/Frames.h"
#include "platform/AppFolders.h"
#include "platform/Shell.h"
#include "support/MediaFixture.h"
#include "support/TaskSettings.h"

namespace veltrano::screens {
namespace {

namespace fs = std::filesystem;

void ResetConfiguration() {
  TAVConfiguration& configuration = AVConfiguration();
  configuration.PerformanceOptions().SetThreadCount(0);
  configuration.PerformanceOptions().SetThreadPrority(2);
  configuration.SetShutdownWhenDone(false);
  configuration.SetShowAlert(true);
  configuration.SetOutputFolder(GetDefaultOutputFolder());
  configuration.SetLanguage("");
}

// Settings as the wizard makes them, without the marker option that makes
// the tests' runs log a line.
std::unique_ptr<TConversionSettings> WizardSettings(const fs::path& source, const fs::path& target,
                                                    const std::string& profile) {
  auto settings = test::MakeTaskSettings(source, target, 1, profile);
  TAVConvertOptions options;
  options.Assign(settings->ConvertOptions());
  TStrings codec_options = options.CodecOptions();
  std::erase(codec_options, std::string("veltranomarker=1"));
  options.SetCodecOptions(codec_options);
  settings->SetConvertOptions(options);
  return settings;
}

void SpinUntil(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < timeout_ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

// Tasks the user left unfinished last time: they come back stopped.
void StoreUnfinishedTasks(const fs::path& videos) {
  AVConfiguration().Load();
  TPersistentManager::Connect();
  struct TStored {
    std::string source;
    std::string target;
    std::string profile;
  };
  const std::vector<TStored> tasks{{"假日旅行.mp4", "假日旅行.mp4", "IPhone MPEG4 Video"},
                                   {"生日聚会.mkv", "生日聚会.avi", "XviD影片(*.avi)"},
                                   {"演唱会录音.mp4", "演唱会录音.mp3", "MP3 Audio"}};
  for (const auto& [name, target, profile] : tasks) {
    test::TClip clip = test::AvClipSpec("mpeg4", "aac");
    clip.seconds = 3;
    clip.size = "640x360";
    const fs::path source = test::MakeClip(videos / name, clip);
    auto settings = WizardSettings(source, fs::path(GetDefaultOutputFolder()) / target, profile);
    settings->SetSourceFileSize(GetFileSize(source.string()));
    TConvertingTask task(std::move(settings), nullptr);
    TPersistentManager::NewDbTask(task);
  }
  TPersistentManager::Disconnect();
}

// The program started as usual (on what the store holds), its window shown
// at `size`.
gui::TFormMain& ShowMainWindow(TScreenContext& ctx, QSize size) {
  auto app = std::make_shared<gui::TVeltranoApp>();
  ctx.keep.push_back(app);
  gui::TFormMain& window = app->MainWindow();
  window.resize(size);
  window.show();
  return window;
}

}  // namespace

VELTRANO_SCREEN(main_window) {
  ResetConfiguration();
  const fs::path videos = ctx.home / "视频";
  fs::create_directories(videos);
  StoreUnfinishedTasks(videos);
  gui::TFormMain& window = ShowMainWindow(ctx, QSize(1300, 680));

  // One conversion running, its row selected so that its log shows.
  test::TClip clip = test::AvClipSpec("mpeg4", "aac");
  clip.seconds = 8;
  clip.size = "1280x720";
  const fs::path source = test::MakeClip(videos / "毕业典礼.mp4", clip);
  window.SetWizardRunner(
      [&](QWidget*, TAVProfileList&, const QStringList&, const std::vector<std::string>&) {
        std::vector<std::unique_ptr<TConversionSettings>> created;
        created.push_back(WizardSettings(
            source, fs::path(GetDefaultOutputFolder()) / "毕业典礼.mp4", "PS3 1080 HD Video"));
        return created;
      });
  window.StartNewConversion({});
  TAVTask& running = *window.Model().ConvertingNode().Tasks().back();
  gui::TTaskViewModel& list = window.FrameList().Model();
  list.Selection().setCurrentIndex(list.IndexOf(running.Node()),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  SpinUntil([&] { return running.Converter().Progress() >= 25; }, 60000);
  window.UpdateStatus();
  ctx.settle_ms = 1200;
  return &window;
}

// The main window at its design size (930 x 628): the banner beside the
// toolbar's buttons.
VELTRANO_SCREEN(main_window_design_size) {
  ResetConfiguration();
  return &ShowMainWindow(ctx, QSize(930, 628));
}

// Tasks filed under the root category, with their dates.
VELTRANO_SCREEN(converted_list) {
  ResetConfiguration();
  const fs::path videos = ctx.home / "视频";
  fs::create_directories(videos);
  AVConfiguration().Load();
  TPersistentManager::Connect();
  for (const std::string name : {"春节联欢.mp4", "海边日落.mp4", "Team meeting.mp4"}) {
    test::TClip clip = test::AvClipSpec("mpeg4", "aac");
    clip.seconds = 2;
    const fs::path source = test::MakeClip(videos / name, clip);
    const fs::path target = fs::path(GetDefaultOutputFolder()) / name;
    fs::create_directories(target.parent_path());
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    auto settings = WizardSettings(source, target, "IPhone MPEG4 Video");
    settings->SetSourceFileSize(GetFileSize(source.string()));
    TConvertingTask task(std::move(settings), nullptr);
    task.Converter().SetDuration(2);
    TPersistentManager::NewDbTask(task);
    TPersistentManager::FinishDbTask(task);
  }
  TPersistentManager::Disconnect();
  gui::TFormMain& window = ShowMainWindow(ctx, QSize(1300, 560));
  window.Model().Select(*window.Model().FindCategory(1));
  return &window;
}

// A task whose conversion failed, as the window shows it after a restart:
// its icon, "失败" and the message that ends its log.
VELTRANO_SCREEN(failed_task) {
  ResetConfiguration();
  const fs::path videos = ctx.home / "视频";
  fs::create_directories(videos);
  StoreUnfinishedTasks(videos);
  AVConfiguration().Load();
  TPersistentManager::Connect();
  const fs::path source = videos / "损坏的视频.mp4";
  { std::ofstream(source) << "这不是视频"; }
  auto settings = WizardSettings(source, fs::path(GetDefaultOutputFolder()) / "损坏的视频.mp4",
                                 "IPhone MPEG4 Video");
  TConvertingTask failed(std::move(settings), nullptr);
  TPersistentManager::NewDbTask(failed);
  failed.SetLog(
      {"打不开:-1094995529! " + source.string() + ": Invalid data found when processing input"});
  TPersistentManager::SaveFailure(failed);
  TPersistentManager::Disconnect();
  gui::TFormMain& window = ShowMainWindow(ctx, QSize(1300, 560));
  gui::TTaskViewModel& list = window.FrameList().Model();
  TAVTask& shown = *window.Model().ConvertingNode().Tasks().back();
  list.Selection().setCurrentIndex(list.IndexOf(shown.Node()),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  return &window;
}

VELTRANO_SCREEN(options) {
  ResetConfiguration();
  auto form = std::make_shared<gui::TFormOptions>();
  form->Fill(AVConfiguration());
  form->adjustSize();
  gui::CenterOnScreen(*form);
  form->show();
  ctx.keep.push_back(form);
  return form.get();
}

VELTRANO_SCREEN(about) {
  auto form = std::make_shared<gui::TFormAbout>();
  form->adjustSize();
  form->show();
  ctx.keep.push_back(form);
  return form.get();
}

VELTRANO_SCREEN(alert) {
  ResetConfiguration();
  const fs::path target = fs::path(GetDefaultOutputFolder()) / "假日旅行.mp4";
  ctx.keep.push_back(
      std::shared_ptr<void>(nullptr, [](void*) { gui::TAVDesktopAlert::CloseAll(); }));
  return gui::TAVDesktopAlert::ShowCompleted(target.string());
}

}  // namespace veltrano::screens
