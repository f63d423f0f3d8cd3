#include "cli/QueueCommand.h"

#include <fmt/format.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>

#include "cli/ConvertCommand.h"
#include "cli/MediaCommands.h"
#include "common/AVNodes.h"
#include "common/CFilters.h"
#include "common/Configuration.h"
#include "common/MemoryTaskView.h"
#include "common/PersistentManager.h"
#include "common/ProfileOptions.h"
#include "common/ProfileStore.h"
#include "common/TargetNames.h"
#include "converter/AVError.h"
#include "converter/AVLib.h"
#include "converter/AVProbe.h"
#include "converter/DvdNavigation.h"
#include "converter/MessageBoxes.h"
#include "converter/StreamProtocol.h"

namespace veltrano::cli {
namespace {

namespace fs = std::filesystem;

// A failure the user must read: printed, then the command ends with 1.
struct EQueueError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Error boxes become lines on stderr while it lives.
class TErrorBoxToStderr {
 public:
  TErrorBoxToStderr()
      : previous_(SetErrorBoxHandler(
            [](const std::string& text) { std::fprintf(stderr, "Error: %s\n", text.c_str()); })) {}
  ~TErrorBoxToStderr() { SetErrorBoxHandler(previous_); }
  TErrorBoxToStderr(const TErrorBoxToStderr&) = delete;
  TErrorBoxToStderr& operator=(const TErrorBoxToStderr&) = delete;

 private:
  TErrorBoxHandler previous_;
};

// The configuration, the store and the task model as the desktop program
// sets them up, with views kept in memory.
class TQueueSession {
 public:
  explicit TQueueSession(ITaskView* list = nullptr) : list_(list != nullptr ? list : &own_list_) {
    AVConfiguration().Load();
    TPersistentManager::Connect();
    model_ = std::make_unique<TNodeTree>(tree_, *list_, &ui_);
    model_->Load();
  }
  ~TQueueSession() {
    model_.reset();  // the tasks end before the store closes
    TPersistentManager::Disconnect();
  }
  TQueueSession(const TQueueSession&) = delete;
  TQueueSession& operator=(const TQueueSession&) = delete;

  TEventLoopDispatcher& Ui() { return ui_; }
  TNodeTree& Model() { return *model_; }

 private:
  TErrorBoxToStderr errors_;
  TEventLoopDispatcher ui_;
  TMemoryTaskView tree_;
  TMemoryTaskView own_list_;
  ITaskView* list_;
  std::unique_ptr<TNodeTree> model_;
};

const char* StatusText(TAVTaskStatus status) {
  switch (status) {
    case stRunning:
      return "running";
    case stPaused:
      return "paused";
    case stError:
      return "stopped";
    case stFinished:
      return "converted";
  }
  return "?";
}

// queue add -------------------------------------------------------------------

struct TAddRequest {
  std::string source;
  std::string target;       // empty: proposed in the output folder
  TConvertRequest convert;  // options, threads, span
  std::string profile;
  std::vector<std::string> filters;
  TDvdSourceOptions dvd;
};

// A file source must be media the probe can read, as in the wizard.
void CheckFileSource(const std::string& source) {
  std::error_code error;
  if (!fs::is_regular_file(fs::path(source), error)) {
    throw EQueueError(source + ": no such file");
  }
  TAVProbe probe;
  probe.SetFileName(source);
  try {
    probe.SetActive(true);
  } catch (const EAVError&) {
    throw EQueueError(source + ": 无效的文件");
  }
  if (!probe.HasVideo() && !probe.HasAudio()) throw EQueueError(source + ": 无效的文件");
}

// The wizard's proposal: the source's name (a DVD: volume label and title)
// with the profile's extension, in the configured output folder.
std::string ProposeTarget(const TConversionSettings& settings, const TAVProfile& profile) {
  std::string name = settings.SourceType() == TAVSourceType::stDvd
                         ? fmt::format("{}_{}", settings.DvdVolume(), settings.DvdTitle())
                         : fs::path(settings.SourceFile()).stem().string();
  std::string folder = AVConfiguration().OutputFolder();
  if (!folder.empty() && folder.back() != '/') folder += '/';
  std::error_code error;
  fs::create_directories(fs::path(folder), error);
  return folder + name + profile.Extension();
}

void RunAdd(const TAddRequest& request) {
  LoadMediaLibraries();
  TQueueSession session;
  std::unique_ptr<TAVProfileList> profiles = CreateProfileList();
  const TAVProfile* profile = profiles->FindProfile(request.profile);
  if (profile == nullptr) {
    throw EQueueError("no profile \"" + request.profile + "\" (see `veltrano-cli profiles`)");
  }
  auto settings = std::make_unique<TConversionSettings>();
  if (!request.dvd.path.empty()) {
    FillDvdSource(*settings, request.dvd);
  } else if (!request.source.empty()) {
    CheckFileSource(request.source);
    settings->SetSourceFile(fs::absolute(request.source).string());
  } else {
    throw EQueueError("a SOURCE file or --dvd is required");
  }

  // The options as the wizard collects them: no length limit, the filters,
  // the profile; then what the command line asks on top.
  TAVConverter converter(&session.Ui());
  converter.ConvertOptions().SetRecordingTime(std::numeric_limits<int64_t>::max());
  converter.ConvertOptions().FilterOptions().SetVideoFilters(JoinFilterEntries(request.filters));
  const TConvertRequest& extra = request.convert;
  if (extra.start_seconds >= 0) {
    converter.ConvertOptions().SetStartTime(static_cast<int64_t>(extra.start_seconds * 1e6 + 0.5));
  }
  if (extra.duration_seconds >= 0) {
    converter.ConvertOptions().SetRecordingTime(static_cast<int64_t>(extra.duration_seconds * 1e6 + 0.5));
  }
  PrepareProfileOptions(converter, *profile, AVConfiguration());
  try {
    ApplyRequestOptions(converter.ConvertOptions(), extra);
  } catch (const std::exception& e) {
    throw EQueueError(e.what());
  }
  // A new task never takes a name that exists or that another unfinished
  // task will write: " (2)" and so on before the extension.
  std::vector<std::string> reserved;
  for (const auto& other : session.Model().ConvertingNode().Tasks()) {
    reserved.push_back(other->Settings().TargetFile());
  }
  const std::string wanted = request.target.empty() ? ProposeTarget(*settings, *profile)
                                                    : fs::absolute(request.target).string();
  settings->SetTargetFile(FreeTargetName(wanted, reserved));
  settings->SetProfile(profile->Description());
  settings->SetCategoryId(1);
  settings->SetConvertOptions(converter.ConvertOptions());

  TConvertingTask task(std::move(settings), nullptr, &session.Ui());
  task.SetStatus(stError);
  TPersistentManager::NewDbTask(task);
  std::printf("Added task %d: %s -> %s\n", task.ID(), task.GetCaption(0).c_str(),
              task.Settings().TargetFile().c_str());
}

// queue list ------------------------------------------------------------------

void PrintList(const TMemoryTaskView& list) {
  std::string header = "ID\tStatus";
  for (const auto& [caption, width] : list.Columns()) header += "\t" + caption;
  std::printf("%s\n", header.c_str());
  for (TRowId row : list.ChildRows(kNoRow)) {
    auto* task = dynamic_cast<TAVTask*>(list.RowObject(row));
    if (task == nullptr) continue;
    std::string line = fmt::format("{}\t{}", task->ID(), StatusText(task->Status()));
    for (const std::string& text : list.RowTexts(row)) line += "\t" + text;
    std::printf("%s\n", line.c_str());
  }
}

void RunList() {
  TMemoryTaskView list;
  TQueueSession session(&list);
  TNodeTree& model = session.Model();
  std::printf("%s\n", model.ConvertingNode().GetCaption(0).c_str());
  PrintList(list);
  for (TConvertedNode* category : model.Categories()) {
    model.Select(*category);
    std::printf("\n%s (category %d, %s)\n", category->Category().c_str(), category->CategoryId(),
                category->Folder().c_str());
    PrintList(list);
  }
}

// queue run -------------------------------------------------------------------

// The task list on a terminal: one line with every running task's progress,
// at most five times a second.
class TProgressView : public TMemoryTaskView {
 public:
  explicit TProgressView(bool enabled) : enabled_(enabled) {}
  void Clear() override {
    TMemoryTaskView::Clear();
    Erase();
  }
  void Erase() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    shown_ = false;
  }

 protected:
  void Paint(TRowId) override {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    std::string line;
    for (TRowId row : ChildRows(kNoRow)) {
      auto* task = dynamic_cast<TAVTask*>(RowObject(row));
      if (task == nullptr || task->Status() != stRunning) continue;
      if (!line.empty()) line += " | ";
      line += fmt::format("{} {}% left {}", task->GetCaption(2), task->GetCaption(6),
                          task->GetCaption(8));
    }
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
    shown_ = true;
  }

 private:
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_{};
};

int RunQueue() {
  LoadMediaLibraries();
  int completed = 0;
  int failed = 0;
  TProgressView list(isatty(STDERR_FILENO) != 0);
  TQueueSession session(&list);
  TConvertingNode& node = session.Model().ConvertingNode();
  node.SetOnTaskEnded([&](TAVTask& task, bool ok) {
    list.Erase();
    if (ok) {
      ++completed;
      std::printf("Converted task %d: %s\n", task.ID(), task.Settings().TargetFile().c_str());
    } else {
      ++failed;
      const TStrings log = task.Log();
      std::printf("Failed task %d: %s\n", task.ID(), log.empty() ? "" : log.back().c_str());
    }
    std::fflush(stdout);
  });

  TInterruptGuard guard;
  std::vector<TAVTask*> tasks;
  for (const auto& task : node.Tasks()) tasks.push_back(task.get());
  for (TAVTask* task : tasks) {
    if (task->Status() == stPaused) {
      task->Resume();
    } else if (task->Status() == stError && !task->Start()) {
      ++failed;
      std::printf("Failed task %d: %s\n", task->ID(), task->Log().back().c_str());
    }
  }
  bool stop_sent = false;
  session.Ui().RunUntil([&] {
    if (Interrupted() && !stop_sent) {
      stop_sent = true;
      for (const auto& task : node.Tasks()) task->Stop();
    }
    return !node.HasActiveConverter() && node.RetiredCount() == 0;
  });
  list.Erase();
  if (Interrupted()) {
    std::fprintf(stderr, "Stopped.\n");
    return 130;
  }
  std::printf("%d converted, %d failed\n", completed, failed);
  return failed > 0 ? 1 : 0;
}

// queue delete ----------------------------------------------------------------

void RunDelete(int id, bool source, bool target) {
  TQueueSession session;
  TNodeTree& model = session.Model();
  std::vector<TNodeObject*> nodes{&model.ConvertingNode()};
  for (TConvertedNode* category : model.Categories()) nodes.push_back(category);
  for (TNodeObject* node : nodes) {
    model.Select(*node);
    for (const auto& task : node->Tasks()) {
      if (task->ID() != id) continue;
      task->Delete(source, target);
      std::printf("Deleted task %d\n", id);
      return;
    }
  }
  throw EQueueError(fmt::format("no task {}", id));
}

// Runs a subcommand's work: failures are reported, not thrown at the user.
template <typename Work>
void Guarded(Work work) {
  int status = 0;
  try {
    status = work();
  } catch (const EQueueError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    status = 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Error: %s\n", e.what());
    status = 1;
  }
  if (status != 0) throw CLI::RuntimeError(status);
}

}  // namespace

void AddQueueCommand(CLI::App& app) {
  CLI::App* queue = app.add_subcommand("queue", "The task list: add, list, run and delete tasks");
  queue->require_subcommand(1);

  auto add_request = std::make_shared<TAddRequest>();
  CLI::App* add = queue->add_subcommand("add", "Store a new task (it runs with `queue run`)");
  add->add_option("SOURCE", add_request->source, "Media file to convert");
  add->add_option("--profile", add_request->profile, "Output profile, by its description")
      ->required();
  add->add_option("--target", add_request->target,
                  "File to write (default: in the configured output folder)");
  add->add_option("--start", add_request->convert.start_seconds,
                  "Start position in the source, seconds");
  add->add_option("--duration", add_request->convert.duration_seconds,
                  "Longest output duration, seconds");
  add->add_option("--filter", add_request->filters,
                  "Video filter entry, repeatable (e.g. vflip, drawbox=8:8:40:30:Red)");
  add->add_option("--option", add_request->convert.options,
                  "Set a stored option: Path=Value, or Path+=Line for lists");
  add->add_option("--codec-option", add_request->convert.codec_options,
                  "Set an encoder option: Name=Value");
  add->add_option("--threads", add_request->convert.threads,
                  "Threads for every decoder and encoder");
  AddDvdSourceOptions(*add, add_request->dvd);
  add->callback([add_request] {
    Guarded([&] {
      RunAdd(*add_request);
      return 0;
    });
  });

  CLI::App* list = queue->add_subcommand("list", "Show the unfiled tasks and every category");
  list->callback([] {
    Guarded([] {
      RunList();
      return 0;
    });
  });

  CLI::App* run = queue->add_subcommand("run", "Convert every unfinished task at once");
  run->callback([] { Guarded([] { return RunQueue(); }); });

  auto delete_id = std::make_shared<int>(0);
  auto delete_source = std::make_shared<bool>(false);
  auto delete_target = std::make_shared<bool>(false);
  CLI::App* remove = queue->add_subcommand("delete", "Delete a task");
  remove->add_option("ID", *delete_id, "The task's ID (see `queue list`)")->required();
  remove->add_flag("--source", *delete_source, "Delete the source file as well");
  remove->add_flag("--target", *delete_target, "Delete the converted file as well");
  remove->callback([delete_id, delete_source, delete_target] {
    Guarded([&] {
      RunDelete(*delete_id, *delete_source, *delete_target);
      return 0;
    });
  });
}

}  // namespace veltrano::cli
