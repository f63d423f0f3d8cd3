// The objects behind the main window's views: the explorer's nodes and the
// conversion tasks.
//
// The explorer shows one node of unfiled tasks (TConvertingNode, "任务列表")
// and a tree of categories of converted files (TConvertedNode). Each node
// owns its tasks; selecting a node fills the task list with its tasks and
// columns. A task (TConvertingTask) owns its settings, its converter and its
// log (at most 51 lines). It drives the converter and files itself into the
// task store (common/PersistentManager.h) when the conversion completes.
// TNodeTree owns the explorer's nodes and mirrors them into the explorer view.
//
// Threads: everything here runs on the user-interface thread, apart from the
// log lines that the converter raises on its worker: they go into the task's
// log under a lock and the log view is told through the dispatcher. Progress
// and the end of a run reach the task on the user-interface thread as queued
// events; the worker never waits for them. A task is never destroyed while
// its converter's worker runs: the task stops it and waits (dispatching
// meanwhile); a task that completes is handed to its node and destroyed once
// its worker has ended.
//
// A failed run (ErrorMsg set) is not a completion: the task becomes stError,
// keeps the message in its log and stays unfiled, so it can be started again.
//
// A task owns only the files it wrote: its work file while it converts and
// its output once published, both recorded in the store by identity before
// they can matter (converter/OutputRecord.h). A restart replaces only its
// own output (or any file, with the settings' Overwrite), and deleting a
// task removes only what it owns (see TAVTask::Delete).
//
// One owner per task: a stored task claims itself in the store when it
// starts converting and releases the claim when its run has ended
// (completed, failed, or stopped and closed) and when it is destroyed; a
// task that another program converts does not start (see
// TPersistentManager::ClaimTask).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/ConversionSettings.h"
#include "common/TaskView.h"
#include "converter/AVConverter.h"
#include "converter/Dispatcher.h"
#include "converter/FileIdentity.h"
#include "converter/OutputRecord.h"

namespace veltrano {

class TAVTask;
class TConvertingTask;

// The status of a task; the task list's image index equals the ordinal.
enum TAVTaskStatus : uint8_t { stRunning = 0, stPaused = 1, stError = 2, stFinished = 3 };

using TDateTime = std::chrono::system_clock::time_point;
using TTaskList = std::vector<std::unique_ptr<TAVTask>>;

// The log keeps at most this many lines.
inline constexpr size_t kMaxLogLines = 51;

// A file that deleting a task with its files left in place, and why.
struct TKeptFile {
  enum TReason {
    NotWritten,    // the target holds a file the task did not write
    ChangedSince,  // the task's own output has changed since it was written
    TargetOfTask   // the source is the target of another task (`task`)
  };
  std::string path;
  TReason reason = NotWritten;
  int32_t task = 0;
};

// Whose the file under a task's target name is.
enum class TTargetOwnership { Absent, Own, Changed, Foreign };

// The image of a task that is stopped because its last run failed; the other
// images are the status ordinals.
inline constexpr int kFailedImageIndex = 4;
// The "完成度" text of such a task, in that column of the unfiled list.
inline constexpr const char* kFailedText = "失败";
inline constexpr int kProgressColumn = 6;
// The caption of a category's date column.
inline constexpr const char* kDateColumnCaption = "日期";

class TNodeObject {
 public:
  // `dispatcher` reaches the user-interface thread (nullptr: the default).
  explicit TNodeObject(IDispatcher* dispatcher = nullptr);
  virtual ~TNodeObject();
  TNodeObject(const TNodeObject&) = delete;
  TNodeObject& operator=(const TNodeObject&) = delete;

  // The task list this node filled last, the information and log views of
  // its last LoadTaskInfo, the explorer holding it and its row there (for a
  // task: its row in ListView).
  ITaskView* ListView() const { return FListView; }
  void SetListView(ITaskView* value) { FListView = value; }
  ITaskView* InfoView() const { return FInfoView; }
  ILogView* LogList() const { return FLogList; }
  ITaskView* TreeView() const { return FTreeView; }
  void SetTreeView(ITaskView* value) { FTreeView = value; }
  TRowId Node() const { return FNode; }
  void SetNode(TRowId value) { FNode = value; }
  IDispatcher& Dispatcher() const { return *FDispatcher; }

  // The tasks of this node, owned by it.
  const TTaskList& Tasks() const { return FTasks; }
  TAVTask& AddTask(std::unique_ptr<TAVTask> task);
  // Takes `task` out of Tasks; empty when it is not there.
  std::unique_ptr<TAVTask> TakeTask(const TAVTask* task);
  // Destroys the tasks, the last first.
  void ClearTasks();

  // The node object of this node's parent row in TreeView (fatal without a
  // row or a tree); nullptr at the top level.
  TNodeObject* Parent() const;
  // True when this node's row is selected in the explorer.
  bool IsShown() const;

  virtual void Edit() {}
  virtual std::string GetInformation() const { return std::string(); }
  virtual std::string GetCaption(int ColumnIndex) = 0;
  virtual int GetImageIndex() const { return -1; }
  // Remembers `AList` as ListView (the node kinds fill it).
  virtual void LoadTaskList(ITaskView* AList);
  // Remembers the information and log views.
  virtual void LoadTaskInfo(ITaskView* AList, ILogView* ALogList);

 protected:
  // Removes every row of `AList`; the objects shown there lose their row.
  static void EmptyList(ITaskView& AList);
  // Empties `AList`, sets its columns
  // and adds a row for every task.
  void FillTaskList(ITaskView& AList, const std::vector<std::pair<std::string, int>>& columns);
  // A token that expires when this object starts being destroyed: calls
  // posted to the dispatcher check it before touching the object.
  std::weak_ptr<void> LifeToken() const { return FLifeToken; }
  void EndLife() { FLife.reset(); }

  ITaskView* FListView = nullptr;
  ITaskView* FInfoView = nullptr;
  ITaskView* FTreeView = nullptr;
  ILogView* FLogList = nullptr;
  TRowId FNode = kNoRow;
  TTaskList FTasks;

 private:
  IDispatcher* FDispatcher;
  std::shared_ptr<int> FLife;
  std::weak_ptr<void> FLifeToken;
};

// The node of the tasks not yet filed: new, running, paused and stopped ones.
class TConvertingNode : public TNodeObject {
 public:
  // Told when a run of one of this node's tasks has ended, before the task is
  // filed: `completed` false for a failure.
  using TTaskEndedEvent = std::function<void(TAVTask& task, bool completed)>;

  using TNodeObject::TNodeObject;
  ~TConvertingNode() override;

  std::string GetCaption(int ColumnIndex) override;
  int GetImageIndex() const override { return 0; }
  // Reads the unfinished tasks from the store the first time, then shows the
  // tasks in memory.
  void LoadTaskList(ITaskView* AList) override;
  bool Loaded() const { return FLoaded; }

  // Creates a task for `ASettings` (from the wizard: its source name is
  // fresh), shows it when this node is shown, starts it and stores it.
  TConvertingTask& NewConversion(std::unique_ptr<TConversionSettings> ASettings);

  // True when a task of this node has status stRunning.
  bool HasRunningTask() const;
  // RefreshClaim of every task: which stopped tasks other programs convert.
  void RefreshClaims();
  // True while a converter of this node (a completed one included) still runs.
  bool HasActiveConverter() const;

  // Keeps a task that has left the list until its converter's worker has
  // ended, then destroys it.
  void Retire(std::unique_ptr<TAVTask> task);
  size_t RetiredCount() const { return FRetired.size(); }

  void SetOnTaskEnded(TTaskEndedEvent handler) { FOnTaskEnded = std::move(handler); }
  void TaskEnded(TAVTask& task, bool completed) {
    if (FOnTaskEnded) FOnTaskEnded(task, completed);
  }

 private:
  void ReapRetired();

  bool FLoaded = false;
  bool FReapPosted = false;
  TTaskList FRetired;
  TTaskEndedEvent FOnTaskEnded;
};

// One category of converted files.
class TConvertedNode : public TNodeObject {
 public:
  using TNodeObject::TNodeObject;

  const std::string& Folder() const { return FFolder; }
  void SetFolder(const std::string& value) { FFolder = value; }
  int32_t CategoryId() const { return FCategoryId; }
  void SetCategoryId(int32_t value) { FCategoryId = value; }
  const std::string& Category() const { return FCategory; }
  void SetCategory(const std::string& value) { FCategory = value; }
  bool IsRoot() const { return FCategoryId == 1; }

  std::string GetCaption(int /*ColumnIndex*/) override { return FCategory; }
  int GetImageIndex() const override { return 1; }
  // Reads this category's converted tasks from the store, newest first.
  void LoadTaskList(ITaskView* AList) override;

  // Deletes this category and every category below it in the explorer from
  // the store, parents first (the rows stay: the caller removes them).
  void DeleteChildrens();
  void DeleteChild(TRowId row);

 private:
  std::string FFolder;
  int32_t FCategoryId = 0;
  std::string FCategory;
};

// One conversion task.
class TAVTask : public TNodeObject {
 public:
  TAVTask(std::unique_ptr<TConversionSettings> ASettings, ITaskView* AListView,
          IDispatcher* dispatcher = nullptr);
  // Stops a running conversion and waits for its worker first.
  ~TAVTask() override;

  TAVConverter& Converter() const { return *FConverter; }
  TConversionSettings& Settings() const { return *FSettings; }
  TDateTime Date() const { return FDate; }
  void SetDate(TDateTime value) { FDate = value; }
  TAVTaskStatus Status() const { return FStatus; }
  void SetStatus(TAVTaskStatus value) { FStatus = value; }
  int32_t ID() const { return FID; }
  void SetID(int32_t value) { FID = value; }
  int32_t CategoryId() const { return FCategoryId; }
  void SetCategoryId(int32_t value) { FCategoryId = value; }
  bool IsConverted() const { return FIsConverted; }
  void SetIsConverted(bool value) { FIsConverted = value; }
  // The last run (or start) failed: the task is stopped (stError), its row
  // shows the failed image and "失败", and its log ends with the message.
  // Starting it again clears this.
  bool Failed() const { return FFailed; }
  void SetFailed(bool value) { FFailed = value; }
  // A copy of the log lines, oldest first.
  TStrings Log() const;
  void SetLog(const TStrings& value);
  TNodeObject* Category() const { return FCategory; }
  void SetCategory(TNodeObject* value) { FCategory = value; }
  // The source name names a title stream that nobody has opened yet (a DVD
  // task fresh from the wizard); otherwise a DVD task opens a new one on start.
  void SetSourceIsFresh(bool value) { FSourceIsFresh = value; }

  // Deletes the task with its work file and, when asked, its target (only
  // the output it wrote, unchanged) and its source (unless another task has
  // it as its target); then the stored row; removes the row and destroys
  // the task (through its node). Returns the files asked for and kept.
  std::vector<TKeptFile> Delete(bool DeleteSource, bool DeleteTarget);
  // Whose the file under the target name is: the task's own output (by the
  // identity recorded when it was published), its own output changed since,
  // or another file.
  TTargetOwnership TargetOwnership() const;
  int GetImageIndex() const override;
  // Sets the information columns and shows the log in `ALogList`.
  void LoadTaskInfo(ITaskView* AList, ILogView* ALogList) override;

  // Converts the source into the target from the beginning with a fresh log.
  // A converted task is never started again; a DVD task whose title stream
  // cannot be opened stays stopped, and so does a task that another program
  // converts or has converted meanwhile (StartRefused). Returns whether the
  // conversion started.
  virtual bool Start();
  virtual void Pause();   // stRunning -> stPaused
  virtual void Resume();  // stPaused -> stRunning
  virtual void Stop();    // stRunning or stPaused -> stError

  std::string GetTargetProfileText() const { return FSettings->Profile(); }
  // Empties the log, the log view and the stored log.
  void ClearLog();
  // The source is an existing file.
  bool CanOpenSource() const;
  // The task is converted and its target file exists.
  bool ConvertedIsValid() const;
  // The task's row in ListView is selected.
  bool OwnRowSelected() const;
  // Asks the list to repaint the task's row.
  void InvalidateRow();
  // Stops the conversion (asking again until the worker takes it) and waits
  // for the worker to end, dispatching meanwhile.
  void StopAndWait();

  // True while another live program holds this stored task's claim, i.e.
  // converts it now: the window disables starting it. False for a task that
  // is not stored or while the store is not connected.
  bool ClaimedElsewhere() const;
  // True when the last Start did not start because another program
  // converts the task or has converted it meanwhile.
  bool StartRefused() const { return FStartRefused; }
  // What the last RefreshClaim found: the task is stopped here and another
  // program converts it now. Its row then shows the running icon and it
  // cannot be started or deleted here.
  bool HeldElsewhere() const { return FHeldElsewhere; }
  // Asks the store again; repaints the row when the answer changed.
  void RefreshClaim();

 protected:
  void ConverterProgress();
  void ConverterComplete();
  void ConverterLog(int Level, const std::string& Msg);
  void ConverterStopped();
  void ConverterOutput(const TOutputRecord& record);

 private:
  friend class TConvertingNode;  // claims a new task as it stores it

  void AppendLog(const std::string& line);
  void ShowLogIfSelected();
  void EndFailed(const std::string& message);
  // "大小: 预计 …, 实际 …" when the task was made with an estimate.
  void LogSizeAgainstEstimate();
  void FileConverted(TConvertingNode& node);
  std::string StartSource();
  bool TakeClaim();
  void ReleaseClaim();
  void ReleaseClaimWhenIdle();
  // The task's files (TaskFiles.cpp).
  void RecordOutput(const TOutputRecord& record);
  bool StoresFiles() const;
  std::optional<TFileIdentity> OwnOutput() const;
  std::optional<TWorkFile> WorkFile() const;
  void RemoveLeftoverWork();
  bool MayReplaceTarget() const;
  std::vector<TKeptFile> DeleteFiles(bool DeleteSource, bool DeleteTarget);

  std::unique_ptr<TAVConverter> FConverter;
  std::unique_ptr<TConversionSettings> FSettings;
  TDateTime FDate{};
  TAVTaskStatus FStatus = stRunning;
  int32_t FID = 0;
  int32_t FCategoryId = 0;
  bool FIsConverted = false;
  bool FFailed = false;
  mutable std::mutex FLogMutex;
  TStrings FLog;
  TNodeObject* FCategory = nullptr;
  bool FSourceIsFresh = false;
  bool FStopRequested = false;
  bool FClaimed = false;
  bool FStartRefused = false;
  bool FHeldElsewhere = false;
  bool FReleasePosted = false;
  // The task's files while it is not stored yet (a stored task keeps them
  // in the store only, which other programs converting it update).
  std::optional<TFileIdentity> FOwnOutput;
  std::optional<TWorkFile> FWorkFile;
  std::atomic<bool> FDestroying{false};
  std::atomic<bool> FLogShowPosted{false};
};

// The class of every task the system creates, unfinished or converted.
class TConvertingTask : public TAVTask {
 public:
  using TAVTask::TAVTask;
  // The text of column `ColumnIndex` of the unfiled list (IsConverted false)
  // or of a category's list (IsConverted true).
  std::string GetCaption(int ColumnIndex) override;
};

// The explorer: owns the node objects and mirrors them into the tree view.
// Destroying it stops every conversion and waits for the workers first.
class TNodeTree {
 public:
  TNodeTree(ITaskView& tree, ITaskView& list, IDispatcher* dispatcher = nullptr);
  ~TNodeTree();
  TNodeTree(const TNodeTree&) = delete;
  TNodeTree& operator=(const TNodeTree&) = delete;

  // Adds the unfiled node, reads the category tree from the store depth
  // first, and selects the unfiled node (which lists the unfinished tasks).
  void Load();

  TConvertingNode& ConvertingNode() const { return *FConverting; }
  // The categories in explorer order (depth first).
  std::vector<TConvertedNode*> Categories() const;
  TConvertedNode* FindCategory(int32_t id) const;
  ITaskView& TreeView() const { return FTree; }
  ITaskView& ListView() const { return FList; }

  // Selects the row of `node` and fills the task list from it.
  void Select(TNodeObject& node);

  // The category commands: a new category as the last child of `parent`,
  // stored; new name and folder (the folder is created); deleting a
  // category with every category below it and their converted tasks, after
  // which the parent is shown. Deleting the root is a fatal check failure.
  TConvertedNode& NewCategory(TConvertedNode& parent, const std::string& name,
                              const std::string& folder);
  void UpdateCategory(TConvertedNode& node, const std::string& name, const std::string& folder);
  void DeleteCategory(TConvertedNode& node);

  // The delete command on tasks: stopped and converted tasks are deleted
  // (with their files when asked); running and paused ones are stopped; a
  // task that another program converts is left alone.
  // Returns the files asked for and kept (see TAVTask::Delete).
  std::vector<TKeptFile> DeleteTasks(const std::vector<TAVTask*>& tasks, bool DeleteSource,
                                     bool DeleteTarget);

 private:
  TNodeObject& AddNode(std::unique_ptr<TNodeObject> node, TRowId parent);
  void RemoveSubtree(TRowId row);

  ITaskView& FTree;
  ITaskView& FList;
  IDispatcher* FDispatcher;
  std::vector<std::unique_ptr<TNodeObject>> FNodes;
  TConvertingNode* FConverting = nullptr;
};

// Operations on a view (no instance needed).
TNodeObject* GetNodeObject(const ITaskView& AView, TRowId ANode);
TNodeObject* GetCurrNodeObject(const ITaskView& AView);
// Adds a row carrying `ANode` as the last child of `ParentNode`, stores the
// row in `ANode` and returns it.
TRowId AddNodeToView(ITaskView& AView, TNodeObject& ANode, TRowId ParentNode);
// Runs Edit of the focused object; a failure is shown as "ERROR:" + message.
void EditData(const ITaskView& AView);
std::string GetCaption(const ITaskView& AView, TRowId ANode, int ColumnIndex);
int GetImageIndex(const ITaskView& AView, TRowId ANode);
// The task of the focused row, and the tasks of the selected rows from the
// last entry of the selection to the first.
TAVTask* CurrentTask(const ITaskView& AList);
std::vector<TAVTask*> SelectedTasks(const ITaskView& AList);

// The completion notification: the program installs what shows it (the GUI
// its desktop alert); nothing is shown by default.
using TCompletionAlertHandler = std::function<void(const std::string& target_file)>;
TCompletionAlertHandler SetCompletionAlertHandler(TCompletionAlertHandler handler);
void ShowCompletionAlert(const std::string& target_file);

// Column texts.
// "###,###.0#": thousands separators, one or two decimals (0 gives ".0").
std::string BitrateText(double kbits);
// "%dKB" of `bytes` / 1024.
std::string KilobyteText(int64_t bytes);
// Local date and time "yyyy-mm-dd hh:mm:ss", without the time at midnight.
std::string DateTimeText(TDateTime value);

}  // namespace veltrano
