// The program as a whole: start-up and exit.
//
// Start-up, in this order: the user-interface dispatcher and the message
// boxes are installed; the configuration is created and loaded (Config.Xml
// is written on the first run); the data module connects the task store
// (av.cfg is created when missing) and reads the built-in and user profiles;
// then the main window is created, which reads the category tree and lists
// the unfinished tasks as stopped.
//
// Exit, in this order: the main window is destroyed, which stops every
// running conversion and joins its worker (each output gets its trailer and
// each task stays stored as unfinished); the completion alerts close; the
// configuration is saved; the store is closed. Nothing is half-written.
#pragma once

#include <QCoreApplication>

#include <memory>

#include "gui/QtDispatcher.h"

namespace veltrano::gui {

class TdmGlobal;
class TFormMain;

class TVeltranoApp {
  Q_DECLARE_TR_FUNCTIONS(TVeltranoApp)

 public:
  // Runs the start-up on the thread of the QApplication. A configuration
  // that cannot be read is reported and its readable values kept; a store
  // that cannot be opened raises the database layer's error.
  TVeltranoApp();
  // Runs the exit sequence.
  ~TVeltranoApp();
  TVeltranoApp(const TVeltranoApp&) = delete;
  TVeltranoApp& operator=(const TVeltranoApp&) = delete;

  TFormMain& MainWindow() const { return *window_; }
  TdmGlobal& Data() const { return *data_; }

 private:
  // Installs the dispatcher and the message box and alert handlers for the
  // lifetime of the program, and restores the previous ones afterwards.
  class THandlers {
   public:
    explicit THandlers(TQtDispatcher& dispatcher);
    ~THandlers();
    THandlers(const THandlers&) = delete;
    THandlers& operator=(const THandlers&) = delete;
  };

  TQtDispatcher dispatcher_;
  THandlers handlers_;
  std::unique_ptr<TdmGlobal> data_;
  std::unique_ptr<TFormMain> window_;
};

}  // namespace veltrano::gui
