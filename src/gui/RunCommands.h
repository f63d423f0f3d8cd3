// The run commands of the main window: new conversion, start (or resume),
// pause and stop on the task list, and shutdown when done. Their enabled
// states follow the focused and selected rows (UpdateActions).
#pragma once

#include <QObject>

#include <functional>

class QAction;

namespace veltrano {
class ITaskView;
}

namespace veltrano::gui {

class TRunCommands final : public QObject {
  Q_OBJECT

 public:
  // `list` is the task list; `new_conversion` runs the new-conversion entry
  // with no source preset.
  TRunCommands(QObject* parent, ITaskView& list, std::function<void()> new_conversion);

  void UpdateActions();

  QAction* actNewConversion;
  QAction* actStartTask;
  QAction* actPauseTask;
  QAction* actStopTask;
  QAction* actShutdown;

 private:
  void StartTask();
  void PauseTask();
  void StopTask();
  void ToggleShutdown();

  ITaskView& list_;
};

}  // namespace veltrano::gui
