#include "GuiTestSupport.h"

namespace veltrano::gui::test {

bool SpinUntil(const std::function<bool()>& done, int timeout_ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < timeout_ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

TModalAction::TModalAction(std::function<QWidget*()> find, std::function<void(QWidget*)> act) {
  timer_.setInterval(10);
  QObject::connect(&timer_, &QTimer::timeout, [this, find, act] {
    QWidget* widget = find();
    if (widget == nullptr || !widget->isVisible()) return;
    timer_.stop();
    done_ = true;
    act(widget);
  });
  timer_.start();
}

void Spin(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace veltrano::gui::test
