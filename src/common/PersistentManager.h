// The task store: every task and every category of converted files in the
// SQLite database av.cfg of the application-data folder.
//
// Tables (created with the root category, ID 1 and Parent -1, when the file
// is missing):
//   conversions(ID, Converting, ConvertSettings, ConvertedDate, CategoryId, Log)
//     one row per task; Converting 1 until the task is converted; the settings
//     as the XML text of SettingsToXml; ConvertedDate as UTC text
//     "yyyy-mm-dd hh:mm:ss.zzz" (sorts chronologically); Log the lines, each
//     followed by CR LF.
//   categories(ID, Category, Path, Parent)
//     one row per category; Parent -1 at the top.
//   task_claims(TaskId, Pid, ProcessStart, Boot, Host, ClaimedDate)
//     who converts an unfinished task now (see the claims below).
//   task_outputs(TaskId, Device, Inode, Size, ModifiedNs, Published)
//     the output a task wrote, by identity (see the files of a task below).
//   task_work_files(TaskId, Path, Device, Inode)
//     the work file of a task's run, until it is published or removed.
//   task_failures(TaskId)
//     the unfinished tasks whose last run failed.
//
// All SQL of the program is here. Statements are fixed texts with integer
// keys appended in decimal and every other value bound as a positional "?"
// parameter; their parameter count is checked before binding. The store
// belongs to the user-interface thread: it is connected there and used from
// there only (a fatal check failure otherwise). The journal is a write-ahead
// log, so a program killed in the middle of a conversion leaves the file
// intact; a busy timeout lets a second program (the command line beside the
// GUI) wait for a write instead of failing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "converter/FileIdentity.h"
#include "converter/OutputRecord.h"

namespace veltrano {

class TAVTask;
class TConvertingNode;
class TConvertedNode;
class TNodeObject;
class IDispatcher;

// What a claim attempt found.
enum class TTaskClaim {
  Claimed,        // the task is this process's to convert now
  HeldElsewhere,  // another live process converts it
  NotUnfinished   // it is converted or deleted meanwhile (by another process)
};

// A stored task's claim as the task lists show it.
enum class TTaskClaimState {
  NeverClaimed,  // not started since it was stored (by a program that claims)
  Released,      // started before, now nobody's
  Ours,          // held by this process
  Elsewhere      // held by another live process
};

class TPersistentManager {
 public:
  TPersistentManager() = delete;

  // The database file in `folder` (which ends with "/").
  static std::string DatabaseFile(const std::string& folder);
  // Opens av.cfg in `folder` (the application-data folder when empty) on
  // this thread, creating the folder, the file, its tables and the root
  // category (named `root_name`, folder `root_folder`) when missing. A
  // connection open before is closed first. Errors of the database layer
  // (SQLite::Exception, a std::runtime_error) are raised.
  static void Connect(const std::string& folder = std::string(),
                      const std::string& root_name = "已转换",
                      const std::string& root_folder = std::string());
  static void Disconnect();
  static bool Connected();
  // How long a statement waits for another program's write lock before it
  // fails (5 s unless set; tests of a locked store shorten it). Applies to
  // the connection now open and to later ones.
  static void SetBusyTimeout(int milliseconds);

  // Inserts a new unfinished task and sets its ID; with `claim`, the task is
  // claimed for this process in the same transaction (a task that starts
  // converting before it is stored).
  static void NewDbTask(TAVTask& ATask, bool claim = false);
  // Marks the task converted with its final settings, the current date (also
  // set as the task's Date), its category (1 when that category no longer
  // exists) and its log.
  static void FinishDbTask(TAVTask& ATask);
  static void DeleteTask(const TAVTask& ATask);
  static void ClearLog(const TAVTask& ATask);
  static std::string GetConvertSettings(const TAVTask& ATask);

  // Reads every unfinished task into the node, each as stopped (stError).
  static void LoadConvertingTask(TConvertingNode& ConvertingNode);
  // Appends the categories whose parent is `ID` to `AList`, in the order
  // SQLite returns them; they use `dispatcher` (nullptr: the default).
  static void LoadConvertedNodes(int32_t ID, std::vector<std::unique_ptr<TConvertedNode>>& AList,
                                 IDispatcher* dispatcher = nullptr);
  // Replaces the node's tasks by its converted tasks, newest first.
  static void LoadConvertedTask(TConvertedNode& ConvertedNode);

  // Inserts the category under its parent in the explorer and sets its id.
  static void NewCategory(TConvertedNode& ANode);
  static void UpdateCategory(const TConvertedNode& ANode);
  // Deletes the category and its converted tasks (never the root).
  static void DeleteCategory(const TConvertedNode& ANode);

  // Task claims: one owner per unfinished task among all the programs that
  // share av.cfg (the window, any number of `veltrano-cli queue run`). A
  // task is claimed when it starts converting and released when its run
  // ends (completed, stopped or failed) or its program ends; the claim of a
  // process that no longer exists counts as released, so a killed program
  // leaves nothing stuck. Claims live in a table of their own, created when
  // missing, so older av.cfg files open unchanged and older programs, which
  // never read that table, go on working; a claim row is kept after its
  // release (Pid NULL) to tell a stopped task from one never started.
  //
  // Claims the task (by its ID) for this process unless another live
  // process holds it or it is no longer unfinished; one transaction, so two
  // programs can never both claim it. Claiming a task this process holds
  // already succeeds.
  static TTaskClaim ClaimTask(const TAVTask& ATask);
  // Releases this process's claim of the task; nothing when it holds none.
  static void ReleaseTask(const TAVTask& ATask);
  static TTaskClaimState ClaimState(int32_t task_id);

  // The files of a task (tables task_outputs and task_work_files, kept like
  // the claims: created when missing, rows deleted with their task). The
  // output is recorded by its identity before the rename that publishes it
  // (`published` false) and marked published after; a restart may replace
  // the file that has this identity, and deleting the task removes it.
  static void SaveOwnOutput(int32_t task_id, const TFileIdentity& output, bool published = true);
  static std::optional<TFileIdentity> OwnOutput(int32_t task_id);
  // The output is under its name: marks it published and forgets the work
  // file, in one transaction.
  static void ConfirmOwnOutput(int32_t task_id);
  // The work file of the task's current (or killed) run.
  static void SaveWorkFile(int32_t task_id, const TWorkFile& work);
  static std::optional<TWorkFile> WorkFile(int32_t task_id);
  static void ForgetWorkFile(int32_t task_id);

  // The target of every stored task, unfinished or converted, by task ID.
  static std::vector<std::pair<int32_t, std::string>> TaskTargets();

  // A failed run of an unfinished task: its log (the failure's message last)
  // and the mark that it failed are stored, so the task shows as failed
  // with its message after a restart (table task_failures, kept like the
  // claims). Starting the task again forgets both (ClearFailure).
  static void SaveFailure(const TAVTask& ATask);
  static void ClearFailure(const TAVTask& ATask);
};

// The log lines as stored (each followed by CR LF), and back.
std::string JoinLogLines(const std::vector<std::string>& lines);
std::vector<std::string> SplitLogText(const std::string& text);

}  // namespace veltrano
