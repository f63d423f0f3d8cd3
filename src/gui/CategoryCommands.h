// The commands on categories of converted files (the category menu of the
// explorer) and on tasks (the task list's menu and its Delete key).
#pragma once

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace veltrano {
class ITaskView;
class TConvertedNode;
class TNodeTree;
}  // namespace veltrano

namespace veltrano::gui {

class TCategoryCommands final : public QObject {
  Q_OBJECT

 public:
  // `window` parents the dialogs; `explorer` and `list` are the views of
  // `model`.
  TCategoryCommands(QWidget* window, TNodeTree& model, ITaskView& explorer, ITaskView& list);

  void UpdateActions();
  // The explorer's focused node as a category, or nullptr.
  TConvertedNode* GetConvertedNode() const;
  // The Delete key of the task list: deletes the selected tasks, if any.
  void DeletePressed();

  QAction* actOpenFolder;
  QAction* actNewCategory;
  QAction* actDelCategory;
  QAction* actCategoryProp;
  QAction* actDelTask;
  QAction* actOpenSource;
  QAction* actOpenConverted;
  QAction* actExploreFile;
  QMenu* pmConverted;
  QMenu* pmTask;

 private:
  void CreateMenus();
  void OpenFolder();
  void NewCategory();
  void DeleteCategory();
  void CategoryProperties();
  void DeleteTasks();
  void OpenSource();
  void OpenConverted();
  void ExploreConverted();

  QWidget* window_;
  TNodeTree& model_;
  ITaskView& explorer_;
  ITaskView& list_;
};

}  // namespace veltrano::gui
