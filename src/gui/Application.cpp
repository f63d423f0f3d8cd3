#include "gui/Application.h"

#include <QApplication>
#include <QMessageBox>

#include "common/AVNodes.h"
#include "common/Configuration.h"
#include "converter/MessageBoxes.h"
#include "gui/DModule.h"
#include "gui/DesktopAlert.h"
#include "gui/EngineTexts.h"
#include "gui/ErrorGuard.h"
#include "gui/FormMain.h"

namespace veltrano::gui {
namespace {

// Runs `show` on the user-interface thread, waiting for it from a worker.
template <class TShow>
auto OnUiThread(TQtDispatcher& dispatcher, TShow show) {
  using TResult = decltype(show());
  if (dispatcher.IsUiThread()) return show();
  TResult result{};
  dispatcher.RunBlocking([&] { result = show(); });
  return result;
}

bool ShowMessageBox(QMessageBox::Icon icon, const QString& caption, const std::string& text,
                    QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, caption, EngineText(text), buttons, QApplication::activeWindow());
  return box.exec() == QMessageBox::Yes;
}

}  // namespace

TVeltranoApp::THandlers::THandlers(TQtDispatcher& dispatcher) {
  SetDefaultDispatcher(&dispatcher);
  SetErrorBoxHandler([&dispatcher](const std::string& text) {
    OnUiThread(dispatcher, [&] {
      return ShowMessageBox(QMessageBox::Critical, tr("Error"), text, QMessageBox::Ok);
    });
  });
  SetAskWarningHandler([&dispatcher](const std::string& text) {
    return OnUiThread(dispatcher, [&] {
      return ShowMessageBox(QMessageBox::Question, tr("Warning"), text,
                            QMessageBox::Yes | QMessageBox::No);
    });
  });
  SetCompletionAlertHandler(
      [](const std::string& target_file) { TAVDesktopAlert::ShowCompleted(target_file); });
}

TVeltranoApp::THandlers::~THandlers() {
  SetCompletionAlertHandler({});
  SetAskWarningHandler({});
  SetErrorBoxHandler({});
  SetDefaultDispatcher(nullptr);
}

TVeltranoApp::TVeltranoApp() : handlers_(dispatcher_) {
  Guarded([] { AVConfiguration().Load(); });
  // No application display name: the windowing system would append it to
  // every title. The taskbar takes "Tellurix软件" from the desktop entry.
  data_ = std::make_unique<TdmGlobal>();
  window_ = std::make_unique<TFormMain>(*data_);
}

TVeltranoApp::~TVeltranoApp() {
  window_.reset();
  TAVDesktopAlert::CloseAll();
  Guarded([] { AVConfiguration().Save(); });
  data_.reset();
}

}  // namespace veltrano::gui
