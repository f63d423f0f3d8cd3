// Helpers for driving real windows in the window tests: waiting while the
// event loop runs, finding named controls, and acting on a modal dialog as
// soon as it opens (a modal exec() only returns once something closes it).
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace veltrano::gui::test {

// Runs the event loop until `done` or `timeout_ms`; returns `done()`.
bool SpinUntil(const std::function<bool()>& done, int timeout_ms = 5000);

// Runs the event loop for `ms` milliseconds.
void Spin(int ms);

// The child of `parent` named `name`; fails the test when there is none.
template <class T>
T* Child(const QObject* parent, const char* name) {
  T* child = parent->findChild<T*>(QLatin1String(name));
  EXPECT_NE(child, nullptr) << "no child " << name;
  return child;
}

// Acts once on the first modal widget that `find` accepts, as soon as it is
// active (polling the event loop every 10 ms). Destroying the object stops
// the polling, so an action that never ran cannot leak into later tests.
class TModalAction {
 public:
  TModalAction(std::function<QWidget*()> find, std::function<void(QWidget*)> act);
  bool Done() const { return done_; }

 private:
  QTimer timer_;
  bool done_ = false;
};

// Calls `action` with the first modal widget of type T that becomes active.
template <class T>
std::unique_ptr<TModalAction> WhenModalOpens(std::function<void(T*)> action) {
  return std::make_unique<TModalAction>(
      [] { return dynamic_cast<T*>(QApplication::activeModalWidget()); },
      [action](QWidget* widget) { action(static_cast<T*>(widget)); });
}

}  // namespace veltrano::gui::test
