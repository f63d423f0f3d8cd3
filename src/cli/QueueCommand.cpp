#include "cli/QueueCommand.h"

#include <fmt/format.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "cli/ConvertCommand.h"
#include "cli/FilterArguments.h"
#include "cli/ProgressLine.h"
#include "cli/TimeText.h"
#include "cli/UsageError.h"
#include "common/AVNodes.h"
#include "common/Configuration.h"
#include "common/MemoryTaskView.h"
#include "common/PersistentManager.h"
#include "common/TargetNames.h"
#include "converter/AVLib.h"
#include "converter/MessageBoxes.h"

namespace veltrano::cli {
namespace {

namespace fs = std::filesystem;

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

// The status the lists show. The store keeps every unfinished task as
// stopped; here a stopped task that never started since it was stored is
// waiting, and one that another program converts is running there.
std::string StatusText(const TAVTask& task) {
  switch (task.Status()) {
    case stRunning:
      return "running";
    case stPaused:
      return "paused";
    case stFinished:
      return "converted";
    case stError:
      break;
  }
  switch (TPersistentManager::ClaimState(task.ID())) {
    case TTaskClaimState::NeverClaimed:
      return "waiting";
    case TTaskClaimState::Elsewhere:
      return "running elsewhere";
    default:
      return "stopped";
  }
}

// queue add -------------------------------------------------------------------

struct TAddRequest {
  std::string source;
  std::string target;       // empty: proposed in the output folder
  TConvertRequest convert;  // profile, filters, span, tracks, options
  bool overwrite = false;   // -y: the task may replace what is under its target
};

// The unfinished tasks: a new target is none of theirs.
std::vector<const TAVTask*> UnfinishedTasks(TQueueSession& session) {
  std::vector<const TAVTask*> tasks;
  for (const auto& task : session.Model().ConvertingNode().Tasks()) tasks.push_back(task.get());
  return tasks;
}

std::vector<std::string> TargetsOf(const std::vector<const TAVTask*>& tasks) {
  std::vector<std::string> targets;
  for (const TAVTask* task : tasks) targets.push_back(task->Settings().TargetFile());
  return targets;
}

// Refuses a target that is the source, another unfinished task's target, or
// an existing file the user did not allow to replace (-y); with -y the task
// may replace it.
void CheckAddedTarget(TConversionSettings& settings, const std::vector<const TAVTask*>& unfinished,
                      bool overwrite) {
  const std::string& target = settings.TargetFile();
  const std::string source =
      settings.SourceType() == TAVSourceType::stDvd ? settings.DvdDriver() : settings.SourceFile();
  const TTargetCheck check = CheckNewTarget(target, {source}, TargetsOf(unfinished));
  switch (check.problem) {
    case TTargetCheck::IsSource:
      throw std::runtime_error("输出文件与源文件相同: " + target);
    case TTargetCheck::Reserved:
      throw std::runtime_error(fmt::format("{} is the target of unfinished task {} already", target,
                                           unfinished[check.index]->ID()));
    case TTargetCheck::Exists:
      if (!overwrite) {
        throw std::runtime_error("目标文件已存在: " + target + " (-y replaces it)");
      }
      settings.SetOverwrite(true);
      break;
    case TTargetCheck::None:
      break;
  }
}

void RunAdd(const TAddRequest& request) {
  LoadMediaLibraries();
  TQueueSession session;
  TConvertRequest convert = request.convert;
  if (!request.source.empty()) convert.files.push_back(request.source);
  if (!request.target.empty()) convert.files.push_back(request.target);
  if (convert.dvd.path.empty() && request.source.empty()) {
    throw EUsageError("a SOURCE file or --dvd is required");
  }
  const std::vector<const TAVTask*> unfinished = UnfinishedTasks(session);
  std::unique_ptr<TConversionSettings> settings =
      BuildSettings(convert, AVConfiguration(), TargetsOf(unfinished));
  CheckAddedTarget(*settings, unfinished, request.overwrite);
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
    std::string line = fmt::format("{}\t{}", task->ID(), StatusText(*task));
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

// The task list on a terminal: one line per running task, redrawn at most
// five times a second.
class TProgressView : public TMemoryTaskView {
 public:
  explicit TProgressView(bool enabled) : block_(enabled) {}
  void Clear() override {
    TMemoryTaskView::Clear();
    Erase();
  }
  void Erase() { block_.Erase(); }
  void Started(const TAVTask& task) { started_[&task] = Clock::now(); }

 protected:
  void Paint(TRowId) override {
    if (!block_.Enabled()) return;
    const auto now = Clock::now();
    if (now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    const int width = TerminalWidth(STDERR_FILENO);
    std::vector<std::string> lines;
    for (TRowId row : ChildRows(kNoRow)) {
      auto* task = dynamic_cast<TAVTask*>(RowObject(row));
      if (task == nullptr || task->Status() != stRunning) continue;
      const auto started = started_.find(task);
      const std::string name = fs::path(task->Settings().TargetFile()).filename().string();
      lines.push_back(
          ProgressText(ReadProgress(task->Converter(), name,
                                    started != started_.end() ? started->second : now, 0),
                       width));
    }
    block_.Draw(lines);
  }

 private:
  using Clock = std::chrono::steady_clock;
  TTerminalBlock block_;
  std::map<const TAVTask*, Clock::time_point> started_;
  Clock::time_point last_{};
};

struct TRunCounts {
  int converted = 0;
  int failed = 0;
  int left = 0;  // to another program
};

void StartTasks(TConvertingNode& node, TProgressView& view, TRunCounts& counts) {
  std::vector<TAVTask*> tasks;
  for (const auto& task : node.Tasks()) tasks.push_back(task.get());
  for (TAVTask* task : tasks) {
    if (task->Status() == stPaused) {
      task->Resume();
      continue;
    }
    if (task->Status() != stError) continue;
    if (task->ClaimedElsewhere()) {
      ++counts.left;
    } else if (task->Start()) {
      view.Started(*task);
    } else if (task->StartRefused()) {
      ++counts.left;
    } else {
      ++counts.failed;
      std::printf("Failed task %d: %s\n", task->ID(), task->Log().back().c_str());
    }
  }
  if (counts.left > 0) {
    std::printf("%d task(s) left to another program that converts them\n", counts.left);
    std::fflush(stdout);
  }
}

int RunQueue() {
  LoadMediaLibraries();
  TRunCounts counts;
  TProgressView view(isatty(STDERR_FILENO) != 0);
  TQueueSession session(&view);
  TConvertingNode& node = session.Model().ConvertingNode();
  node.SetOnTaskEnded([&](TAVTask& task, bool ok) {
    view.Erase();
    if (ok) {
      ++counts.converted;
      std::printf("Converted task %d: %s\n", task.ID(), task.Settings().TargetFile().c_str());
    } else {
      ++counts.failed;
      const TStrings log = task.Log();
      std::printf("Failed task %d: %s\n", task.ID(), log.empty() ? "" : log.back().c_str());
    }
    std::fflush(stdout);
  });

  TInterruptGuard guard;
  StartTasks(node, view, counts);
  bool stop_sent = false;
  session.Ui().RunUntil([&] {
    if (Interrupted() && !stop_sent) {
      stop_sent = true;
      for (const auto& task : node.Tasks()) task->Stop();
    }
    return !node.HasActiveConverter() && node.RetiredCount() == 0;
  });
  view.Erase();
  if (Interrupted()) {
    std::fprintf(stderr, "Stopped.\n");
    return kExitStopped;
  }
  std::printf("%d converted, %d failed", counts.converted, counts.failed);
  if (counts.left > 0) std::printf(", %d left to another program", counts.left);
  std::printf("\n");
  return counts.failed > 0 ? kExitFailed : 0;
}

// queue delete ----------------------------------------------------------------

TAVTask* FindTask(TNodeTree& model, int id) {
  std::vector<TNodeObject*> nodes{&model.ConvertingNode()};
  for (TConvertedNode* category : model.Categories()) nodes.push_back(category);
  for (TNodeObject* node : nodes) {
    model.Select(*node);
    for (const auto& task : node->Tasks()) {
      if (task->ID() == id) return task.get();
    }
  }
  return nullptr;
}

// Says on stderr which files asked for were kept, and why.
void PrintKept(const std::vector<TKeptFile>& kept) {
  for (const TKeptFile& file : kept) {
    switch (file.reason) {
      case TKeptFile::NotWritten:
        std::fprintf(stderr, "Kept %s: task %d did not write it\n", file.path.c_str(), file.task);
        break;
      case TKeptFile::ChangedSince:
        std::fprintf(stderr, "Kept %s: it has changed since task %d wrote it\n", file.path.c_str(),
                     file.task);
        break;
      case TKeptFile::TargetOfTask:
        std::fprintf(stderr, "Kept %s: it is the target of task %d\n", file.path.c_str(),
                     file.task);
        break;
    }
  }
}

int RunDelete(const std::vector<int>& ids, bool source, bool target) {
  TQueueSession session;
  int status = 0;
  for (const int id : ids) {
    TAVTask* task = FindTask(session.Model(), id);
    if (task == nullptr) {
      std::fprintf(stderr, "no task %d\n", id);
      status = kExitFailed;
    } else if (task->ClaimedElsewhere()) {
      std::fprintf(stderr, "task %d is being converted by another program\n", id);
      status = kExitFailed;
    } else {
      PrintKept(task->Delete(source, target));
      std::printf("Deleted task %d\n", id);
    }
  }
  return status;
}

// Runs a subcommand's work: failures are reported, not thrown at the user;
// mistakes in the command line go on to the usage message.
template <typename Work>
void Guarded(Work work) {
  int status = 0;
  try {
    status = work();
  } catch (const EUsageError&) {
    throw;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    status = kExitFailed;
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
  add->add_option("--target", add_request->target,
                  "File or folder to write to (default: the configured output folder)");
  AddConversionOptions(*add, add_request->convert);
  add->add_flag("--overwrite,-y", add_request->overwrite,
                "Let the task replace the target when it exists (refused otherwise)");
  add->get_option("--profile")->required();
  add->footer(FilterExamples());
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

  CLI::App* run = queue->add_subcommand(
      "run", "Convert every unfinished task at once (tasks another program converts are left)");
  run->callback([] { Guarded([] { return RunQueue(); }); });

  auto delete_ids = std::make_shared<std::vector<int>>();
  auto delete_source = std::make_shared<bool>(false);
  auto delete_target = std::make_shared<bool>(false);
  CLI::App* remove = queue->add_subcommand("delete", "Delete tasks");
  remove->add_option("IDS", *delete_ids, "The tasks' IDs (see `queue list`)")->required();
  remove->add_flag("--source", *delete_source,
                   "Delete the source files as well (not one that is another task's target)");
  remove->add_flag("--target", *delete_target,
                   "Delete the converted files as well (only those the task wrote, unchanged)");
  remove->callback([delete_ids, delete_source, delete_target] {
    Guarded([&] { return RunDelete(*delete_ids, *delete_source, *delete_target); });
  });
}

}  // namespace veltrano::cli
