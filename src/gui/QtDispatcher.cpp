#include "gui/QtDispatcher.h"

namespace veltrano::gui {

void TQtDispatcher::Post(std::function<void()> fn) {
  TEventLoopDispatcher::Post(std::move(fn));
  QMetaObject::invokeMethod(this, [this] { RunQueued(); }, Qt::QueuedConnection);
}

}  // namespace veltrano::gui
