#include "gui/CategoryCommands.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

#include "common/AVNodes.h"
#include "converter/MessageBoxes.h"
#include "gui/CategoryDlg.h"
#include "gui/ErrorGuard.h"
#include "gui/Icons.h"
#include "platform/Shell.h"

namespace veltrano::gui {
namespace {

QAction* NewAction(QObject* parent, TIcon icon, const QString& text) {
  return new QAction(Icon(icon), text, parent);
}

// Why a file that deleting tasks was asked to remove is still there.
QString KeptText(const TKeptFile& file) {
  const QString path = QString::fromStdString(file.path);
  switch (file.reason) {
    case TKeptFile::NotWritten:
      return TCategoryCommands::tr("%1: 不是这个任务写的文件").arg(path);
    case TKeptFile::ChangedSince:
      return TCategoryCommands::tr("%1: 任务写完之后被改过").arg(path);
    case TKeptFile::TargetOfTask:
      return TCategoryCommands::tr("%1: 是另一个任务的目标文件").arg(path);
  }
  return path;
}

}  // namespace

TCategoryCommands::TCategoryCommands(QWidget* window, TNodeTree& model, ITaskView& explorer,
                                     ITaskView& list)
    : QObject(window), window_(window), model_(model), explorer_(explorer), list_(list) {
  actOpenFolder = NewAction(this, TIcon::Category, tr("打开文件夹"));
  actNewCategory = NewAction(this, TIcon::NewCategory, tr("新建分类"));
  actDelCategory = NewAction(this, TIcon::Delete, tr("删除"));
  actCategoryProp = NewAction(this, TIcon::Properties, tr("属性"));
  actDelTask = NewAction(this, TIcon::Delete, tr("删除任务"));
  actOpenSource = NewAction(this, TIcon::OpenFile, tr("打开原始文件"));
  actOpenConverted = NewAction(this, TIcon::Start, tr("打开已转换完的文件"));
  actExploreFile = NewAction(this, TIcon::ExploreFile, tr("打开目录"));
  // Every command reaches the store or the desktop: a failure (a store that
  // is read-only, locked or full) is shown, and the program goes on.
  const auto guard = [this](QAction* action, void (TCategoryCommands::*command)()) {
    connect(action, &QAction::triggered, this, [this, command] {
      Guarded([this, command] { (this->*command)(); });
      UpdateActions();
    });
  };
  guard(actOpenFolder, &TCategoryCommands::OpenFolder);
  guard(actNewCategory, &TCategoryCommands::NewCategory);
  guard(actDelCategory, &TCategoryCommands::DeleteCategory);
  guard(actCategoryProp, &TCategoryCommands::CategoryProperties);
  guard(actDelTask, &TCategoryCommands::DeleteTasks);
  guard(actOpenSource, &TCategoryCommands::OpenSource);
  guard(actOpenConverted, &TCategoryCommands::OpenConverted);
  guard(actExploreFile, &TCategoryCommands::ExploreConverted);
  CreateMenus();
  UpdateActions();
}

void TCategoryCommands::CreateMenus() {
  pmConverted = new QMenu(window_);
  pmConverted->addAction(actOpenFolder);
  pmConverted->addSeparator();
  pmConverted->addAction(actNewCategory);
  pmConverted->addAction(actDelCategory);
  pmConverted->addSeparator();
  pmConverted->addAction(actCategoryProp);
  pmTask = new QMenu(window_);
  pmTask->addAction(actDelTask);
  pmTask->addSeparator();
  pmTask->addAction(actOpenSource);
  pmTask->addAction(actOpenConverted);
  pmTask->addAction(actExploreFile);
  // A menu is about to show: its items must reflect this very moment.
  connect(pmConverted, &QMenu::aboutToShow, this, &TCategoryCommands::UpdateActions);
  connect(pmTask, &QMenu::aboutToShow, this, &TCategoryCommands::UpdateActions);
}

TConvertedNode* TCategoryCommands::GetConvertedNode() const {
  return dynamic_cast<TConvertedNode*>(GetCurrNodeObject(explorer_));
}

void TCategoryCommands::UpdateActions() {
  const TConvertedNode* category = GetConvertedNode();
  actDelCategory->setEnabled(category != nullptr && !category->IsRoot());
  const size_t selected = list_.SelectedRows().size();
  const TAVTask* current = CurrentTask(list_);
  actDelTask->setEnabled(selected > 0);
  actOpenSource->setEnabled(selected == 1 && current != nullptr && current->CanOpenSource());
  const bool converted = selected == 1 && current != nullptr && current->ConvertedIsValid();
  actOpenConverted->setEnabled(converted);
  actExploreFile->setEnabled(converted);
}

// Categories ------------------------------------------------------------------
// The category menu shows only on a category, so these always find one; a
// command that does not is ignored.

void TCategoryCommands::OpenFolder() {
  if (const TConvertedNode* category = GetConvertedNode()) ExploreFolder(category->Folder(), true);
}

void TCategoryCommands::NewCategory() {
  TConvertedNode* parent = GetConvertedNode();
  if (parent == nullptr) return;
  std::string name;
  std::string folder;
  if (!EditCategory(window_, name, folder, true)) return;
  model_.NewCategory(*parent, name, folder);
}

void TCategoryCommands::CategoryProperties() {
  TConvertedNode* category = GetConvertedNode();
  if (category == nullptr) return;
  std::string name = category->Category();
  std::string folder = category->Folder();
  if (!EditCategory(window_, name, folder, false)) return;
  model_.UpdateCategory(*category, name, folder);
}

void TCategoryCommands::DeleteCategory() {
  TConvertedNode* category = GetConvertedNode();
  if (category == nullptr || category->IsRoot()) return;
  if (!AskWarning(tr("Do you want to delete the selected category?").toStdString())) return;
  model_.DeleteCategory(*category);
  UpdateActions();
}

// Tasks -----------------------------------------------------------------------

void TCategoryCommands::DeletePressed() {
  UpdateActions();
  if (actDelTask->isEnabled()) DeleteTasks();
}

void TCategoryCommands::DeleteTasks() {
  if (list_.SelectedRows().empty()) return;
  bool delete_source = false;
  bool delete_target = false;
  if (!ConfirmDelete(window_, delete_source, delete_target)) return;
  // The selection is read after the dialog: a task may have completed and
  // left the list while it was open.
  const std::vector<TKeptFile> kept =
      model_.DeleteTasks(SelectedTasks(list_), delete_source, delete_target);
  UpdateActions();
  if (kept.empty()) return;
  QStringList lines;
  for (const TKeptFile& file : kept) lines << KeptText(file);
  QMessageBox box(QMessageBox::Information, tr("删除任务"),
                  tr("下列文件没有删除:") + QLatin1Char('\n') + lines.join(QLatin1Char('\n')),
                  QMessageBox::Ok, window_);
  box.setObjectName(QStringLiteral("boxKeptFiles"));
  box.exec();
}

void TCategoryCommands::OpenSource() {
  if (const TAVTask* task = CurrentTask(list_)) OpenDocument(task->Settings().SourceFile());
}

void TCategoryCommands::OpenConverted() {
  if (const TAVTask* task = CurrentTask(list_)) OpenDocument(task->Settings().TargetFile());
}

void TCategoryCommands::ExploreConverted() {
  if (const TAVTask* task = CurrentTask(list_)) ExploreFile(task->Settings().TargetFile(), true);
}

}  // namespace veltrano::gui
