// veltrano: the desktop program.
#include <QApplication>

#include "gui/QtDispatcher.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  veltrano::gui::TQtDispatcher dispatcher;
  veltrano::SetDefaultDispatcher(&dispatcher);
  const int result = QApplication::exec();
  veltrano::SetDefaultDispatcher(nullptr);
  return result;
}
