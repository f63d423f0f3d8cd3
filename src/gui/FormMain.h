// The main window: toolbar, menu, the explorer with the category tree on the
// left, the task list and under it the log on the right, and a status bar
// that tells how many tasks run and how long until they are all done.
//
// The window owns the task model (TNodeTree) over its views; destroying the
// window stops every conversion and waits for its worker.
#pragma once

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/ConversionSettings.h"
#include "gui/FinishEstimate.h"

class QAction;
class QLabel;
class QSplitter;
class QTimer;
class QToolBar;

namespace veltrano {
class TAVProfileList;
class TNodeTree;
}  // namespace veltrano

namespace veltrano::gui {

class TCategoryCommands;
class TdmGlobal;
class TFrameExplorer;
class TFrameInfo;
class TFrameList;
class TRunCommands;

class TFormMain final : public QMainWindow {
  Q_OBJECT

 public:
  // The new-conversion entry: the settings of the tasks to create (none when
  // cancelled) for the files handed in.
  using TWizardRunner = std::function<std::vector<std::unique_ptr<TConversionSettings>>(
      QWidget* parent, TAVProfileList& profiles, const QStringList& sources,
      const std::vector<std::string>& reserved_targets)>;

  // Loads the explorer and selects the node of unfiled tasks (which lists
  // the unfinished tasks of the store, all stopped).
  explicit TFormMain(TdmGlobal& data, QWidget* parent = nullptr);
  // Stops every conversion and waits for its worker.
  ~TFormMain() override;

  // Runs the new-conversion wizard with `sources` preset and starts a task
  // for each settings object it returns.
  void StartNewConversion(const QStringList& sources);
  // Files from outside (the program's arguments, a second start): brings the
  // window forward and starts a new conversion with them as soon as no
  // dialog is open. No files: only brings the window forward.
  void OpenFiles(const QStringList& files);
  // Replaces the wizard (tests, and the program's recording hook).
  void SetWizardRunner(TWizardRunner runner) { wizard_ = std::move(runner); }

  // Recomputes the enabled states of every command (also on a short timer).
  void UpdateActions();
  // Refreshes the status bar (also once a second).
  void UpdateStatus();
  // Asks the store which stopped tasks other programs (a `veltrano-cli queue
  // run`) convert now, so their rows show it and they cannot be started here
  // (also once a second).
  void RefreshClaims();

  TNodeTree& Model() const { return *model_; }
  TFrameExplorer& FrameExplorer() const { return *frame_explorer_; }
  TFrameList& FrameList() const { return *frame_list_; }
  TFrameInfo& FrameInfo() const { return *frame_info_; }
  TRunCommands& RunCommands() const { return *run_; }
  TCategoryCommands& CategoryCommands() const { return *categories_; }
  QToolBar& Toolbar() const { return *tlbMain; }
  QString RunningText() const;
  QString FinishText() const;
  // What the running and paused tasks tell the status bar's estimate now.
  std::vector<TProgressReport> ProgressReports() const;
  // The range the status bar shows ("全部完成还需"), as of its last refresh.
  std::optional<TFinishRange> FinishRange() const { return estimate_.Range(); }

  QAction* actOptions;
  QAction* actAbout;
  QAction* actHome;
  QAction* actBugreport;
  QAction* actDonate;
  QAction* actExit;
  QAction* actLiveUpdate;
  QAction* actPlayer;

 signals:
  // The window was closed: the program ends.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolbar();
  void CreateFrames();
  void CreateStatusBar();
  void ConnectViews();
  void ShowAbout();
  void RunPendingFiles();

  TdmGlobal& data_;
  TFrameExplorer* frame_explorer_ = nullptr;
  TFrameList* frame_list_ = nullptr;
  TFrameInfo* frame_info_ = nullptr;
  QSplitter* splitter_main_ = nullptr;
  QSplitter* splitter_tasks_ = nullptr;
  QToolBar* tlbMain = nullptr;
  QLabel* lblRunning = nullptr;
  QLabel* lblFinish = nullptr;
  QTimer* action_timer_ = nullptr;
  QTimer* status_timer_ = nullptr;
  TRunCommands* run_ = nullptr;
  TCategoryCommands* categories_ = nullptr;
  TWizardRunner wizard_;
  QStringList pending_files_;
  bool has_pending_files_ = false;
  TFinishEstimate estimate_;
  std::unique_ptr<TNodeTree> model_;
};

}  // namespace veltrano::gui
