// The window program's hand-over from worker threads to the Qt event loop.
//
// Calls are kept in the queue of the core's event-loop dispatcher and drained
// by a queued call on the dispatcher's thread, so that ProcessPending (a UI
// thread waiting for a worker) runs exactly the handed-over calls and no
// user input.
#pragma once

#include <QObject>

#include "converter/Dispatcher.h"

namespace veltrano::gui {

class TQtDispatcher final : public QObject, public TEventLoopDispatcher {
  Q_OBJECT

 public:
  // The thread that creates the dispatcher is its UI thread.
  explicit TQtDispatcher(QObject* parent = nullptr) : QObject(parent) {}

  void Post(std::function<void()> fn) override;
};

}  // namespace veltrano::gui
