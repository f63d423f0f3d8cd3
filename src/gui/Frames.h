// The three frames of the main window: the explorer (the node of unfiled
// tasks and the category tree), the task list, and the log frame.
#pragma once

#include <QListView>
#include <QStringList>
#include <QTreeView>
#include <QWidget>

#include "gui/LogViewModel.h"
#include "gui/TaskViewModel.h"

class QAction;
class QMenu;
class QTabWidget;

namespace veltrano {
class TAVTask;
class TConvertedNode;
class TNodeObject;
}  // namespace veltrano

namespace veltrano::gui {

class TFrameExplorer final : public QWidget {
  Q_OBJECT

 public:
  explicit TFrameExplorer(QWidget* parent = nullptr);

  TTaskViewModel& Model() { return model_; }
  QTreeView* vstExplorer;

  // The menu shown on a category (the category commands').
  void SetCategoryMenu(QMenu* menu) { category_menu_ = menu; }
  // The focused node as a category of converted files, or nullptr.
  TConvertedNode* ConvertedNode() const;

 signals:
  // The user made `node` the focused node.
  void NodeSelected(veltrano::TNodeObject* node);

 private:
  void CurrentChanged(const QModelIndex& current);
  void KeepSelected();
  void ShowMenu(const QPoint& position);

  TTaskViewModel model_;
  QMenu* category_menu_ = nullptr;
};

// The task list: takes files dropped from the file manager and tells of
// the Delete key.
class TTaskListView final : public QTreeView {
  Q_OBJECT

 public:
  explicit TTaskListView(QWidget* parent = nullptr);

  // The local files a drag carries (empty: the drag is refused).
  static QStringList LocalFiles(const QMimeData* data);

 signals:
  void FilesDropped(const QStringList& files);
  void DeletePressed();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

class TFrameList final : public QWidget {
  Q_OBJECT

 public:
  explicit TFrameList(QWidget* parent = nullptr);

  TTaskViewModel& Model() { return model_; }
  TTaskListView* vstTaskList;

  // The context menu of the list (the task commands').
  void SetTaskMenu(QMenu* menu) { task_menu_ = menu; }

 signals:
  // The user focused the row of `task`.
  void TaskFocused(veltrano::TAVTask* task);

 private:
  TTaskViewModel model_;
  QMenu* task_menu_ = nullptr;
};

class TFrameInfo final : public QWidget {
  Q_OBJECT

 public:
  explicit TFrameInfo(QWidget* parent = nullptr);

  // Shows the information and log of `task` and remembers it.
  void ShowTask(TAVTask& task);
  // The task last shown, or nullptr once it has been destroyed.
  TAVTask* ShownTask() const;
  void UpdateActions();

  TTaskViewModel& InfoModel() { return info_model_; }
  TLogViewModel& LogModel() { return log_model_; }
  QTabWidget* pages;
  QTreeView* vstTaskInfo;
  QListView* lstLog;
  QAction* actClearLog;

 private:
  TTaskViewModel info_model_;
  TLogViewModel log_model_;
  TAVTask* task_ = nullptr;
};

}  // namespace veltrano::gui
