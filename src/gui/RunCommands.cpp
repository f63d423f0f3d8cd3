#include "gui/RunCommands.h"

#include <QAction>

#include <algorithm>

#include "common/AVNodes.h"
#include "common/Configuration.h"
#include "gui/ErrorGuard.h"
#include "gui/Icons.h"

namespace veltrano::gui {
namespace {

// An action with its menu caption, toolbar caption and hint.
QAction* NewAction(QObject* parent, TIcon icon, const QString& menu_text,
                   const QString& toolbar_text, const QString& hint) {
  auto* action = new QAction(Icon(icon), menu_text, parent);
  action->setIconText(toolbar_text);
  action->setToolTip(hint);
  action->setStatusTip(hint);
  return action;
}

bool IsActive(const TAVTask* task) {
  return task->Status() == stRunning || task->Status() == stPaused;
}

}  // namespace

TRunCommands::TRunCommands(QObject* parent, ITaskView& list, std::function<void()> new_conversion)
    : QObject(parent), list_(list) {
  actNewConversion =
      NewAction(this, TIcon::NewConversion, tr("添加任务"), tr("添加任务"), tr("New Conversion"));
  actNewConversion->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  actStartTask = NewAction(this, TIcon::Start, tr("开始转换"), tr("开始转"), tr("Start Task"));
  actPauseTask = NewAction(this, TIcon::Pause, tr("暂停"), tr("暂停"), tr("Pause Task"));
  actStopTask = NewAction(this, TIcon::Stop, tr("停止"), tr("停止"), tr("Stop Task"));
  actShutdown = NewAction(this, TIcon::Shutdown, tr("完成后关机"), tr("完成后关机"),
                          tr("Shutdown PC When Done"));
  actShutdown->setCheckable(true);
  actShutdown->setChecked(AVConfiguration().ShutdownWhenDone());

  connect(actNewConversion, &QAction::triggered, this,
          [run = std::move(new_conversion)] { run(); });
  // A failure of the core (the store refusing a claim, say) is shown and the
  // program goes on.
  const auto guard = [this](QAction* action, void (TRunCommands::*command)()) {
    connect(action, &QAction::triggered, this,
            [this, command] { Guarded([this, command] { (this->*command)(); }); });
  };
  guard(actStartTask, &TRunCommands::StartTask);
  guard(actPauseTask, &TRunCommands::PauseTask);
  guard(actStopTask, &TRunCommands::StopTask);
  guard(actShutdown, &TRunCommands::ToggleShutdown);
  UpdateActions();
}

void TRunCommands::UpdateActions() {
  const TAVTask* current = CurrentTask(list_);
  actStartTask->setEnabled(current != nullptr && !current->HeldElsewhere() &&
                           (current->Status() == stPaused || current->Status() == stError));
  actPauseTask->setEnabled(current != nullptr && current->Status() == stRunning);
  const std::vector<TAVTask*> selected = SelectedTasks(list_);
  actStopTask->setEnabled(std::any_of(selected.begin(), selected.end(), IsActive));
}

void TRunCommands::StartTask() {
  TAVTask* task = CurrentTask(list_);
  if (task == nullptr) return;
  if (task->Status() == stPaused) {
    task->Resume();
  } else if (task->Status() == stError) {
    task->Start();
  }
  UpdateActions();
}

void TRunCommands::PauseTask() {
  TAVTask* task = CurrentTask(list_);
  if (task != nullptr && task->Status() == stRunning) task->Pause();
  UpdateActions();
}

void TRunCommands::StopTask() {
  for (TAVTask* task : SelectedTasks(list_)) {
    if (IsActive(task)) task->Stop();
  }
  UpdateActions();
}

void TRunCommands::ToggleShutdown() {
  TAVConfiguration& configuration = AVConfiguration();
  configuration.SetShutdownWhenDone(!configuration.ShutdownWhenDone());
  actShutdown->setChecked(configuration.ShutdownWhenDone());
}

}  // namespace veltrano::gui
