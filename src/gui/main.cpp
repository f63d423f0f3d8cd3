// veltrano [--lang en|zh] [FILE...]: the desktop program. One window per
// user: a second start hands its files to the running window and ends.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <memory>
#include <string_view>

#include "gui/Application.h"
#include "gui/EventLoopDelay.h"
#include "gui/FormMain.h"
#include "gui/Icons.h"
#include "gui/Language.h"
#include "gui/QuitSignals.h"
#include "gui/SingleInstance.h"
#include "platform/AppFolders.h"

namespace {

using veltrano::gui::TFormMain;

QStringList FileArguments(const QCoreApplication& app) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QApplication::translate("main", "Tellurix软件: 视频转换"));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(QCommandLineOption(
      QStringLiteral("lang"), QApplication::translate("main", "本次运行的界面语言: en 或 zh"),
      QStringLiteral("LANGUAGE")));
  parser.addPositionalArgument(QStringLiteral("FILE"),
                               QApplication::translate("main", "要转换的文件"),
                               QStringLiteral("[FILE...]"));
  parser.process(app);
  QStringList files;
  for (const QString& file : parser.positionalArguments()) {
    files.push_back(QDir::current().absoluteFilePath(file));
  }
  return files;
}

// Whether the arguments ask only for the help or the version, which are
// printed without a window system (in a terminal without a display, for
// manual page generators), so that no display needs to be opened.
bool AsksOnlyForText(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--") break;
    if (argument == "-h" || argument == "--help" || argument == "-?" || argument == "--help-all" ||
        argument == "-v" || argument == "--version") {
      return true;
    }
  }
  return false;
}

void SetIdentity() {
  QCoreApplication::setOrganizationName(QStringLiteral("Tellurix"));
  QCoreApplication::setApplicationName(QStringLiteral("Veltrano"));
  QCoreApplication::setApplicationVersion(QStringLiteral(VELTRANO_VERSION));
}

bool InstallLanguage() {
  if (veltrano::gui::InstallStartLanguage(QCoreApplication::arguments())) return true;
  std::fprintf(stderr, "veltrano: --lang takes en or zh\n");
  return false;
}

// Prints the help or the version asked for (in the language of the run)
// and ends the program, with a core application instead of the window's.
int PrintText(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  SetIdentity();
  if (!InstallLanguage()) return 1;
  FileArguments(app);  // ends the program after printing
  return 0;
}

// The hook that tests of the whole program use instead of the wizard: the
// files that reach the new-conversion entry are appended to the file named
// by VELTRANO_TEST_SOURCES_LOG, one per line, and nothing is created.
void UseRecordingWizardWhenAsked(TFormMain& window) {
  const QString log = qEnvironmentVariable("VELTRANO_TEST_SOURCES_LOG");
  if (log.isEmpty()) return;
  window.SetWizardRunner([log](QWidget*, veltrano::TAVProfileList&, const QStringList& sources,
                               const std::vector<std::string>&) {
    QFile file(log);
    if (file.open(QIODevice::Append | QIODevice::Text)) {
      for (const QString& source : sources) file.write((source + QLatin1Char('\n')).toUtf8());
    }
    return std::vector<std::unique_ptr<veltrano::TConversionSettings>>();
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (AsksOnlyForText(argc, argv)) return PrintText(argc, argv);
  QApplication app(argc, argv);
  SetIdentity();
  QApplication::setDesktopFileName(QStringLiteral("veltrano"));
  QApplication::setWindowIcon(veltrano::gui::Icon(veltrano::gui::TIcon::Application));
  if (!InstallLanguage()) return 1;
  const QStringList files = FileArguments(app);

  veltrano::gui::TSingleInstance instance(QString::fromStdString(veltrano::GetAppDataFolder()));
  switch (instance.Claim(files)) {
    case veltrano::gui::TSingleInstance::TRole::kHandedOver:
      return 0;
    case veltrano::gui::TSingleInstance::TRole::kFailed:
      std::fprintf(stderr, "veltrano: another instance holds %s but does not answer\n",
                   qPrintable(instance.LockFileName()));
      return 1;
    case veltrano::gui::TSingleInstance::TRole::kPrimary:
      break;
  }

  std::unique_ptr<veltrano::gui::TVeltranoApp> veltrano_app;
  try {
    veltrano_app = std::make_unique<veltrano::gui::TVeltranoApp>();
  } catch (const std::exception& e) {
    // The store could not be opened: nothing can be shown without it.
    QMessageBox::critical(nullptr, QApplication::translate("main", "Error"),
                          QString::fromStdString(e.what()));
    return 1;
  }
  TFormMain& window = veltrano_app->MainWindow();
  UseRecordingWizardWhenAsked(window);
  veltrano::gui::MeasureEventLoopDelayWhenAsked(window);
  QObject::connect(&instance, &veltrano::gui::TSingleInstance::FilesReceived, &window,
                   &TFormMain::OpenFiles);
  veltrano::gui::TQuitSignals quit_signals([&window] { window.close(); });
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(&window, &TFormMain::Closed, &app, &QApplication::quit);
  window.showMaximized();
  if (!files.isEmpty())
    QTimer::singleShot(0, &window, [&window, files] { window.OpenFiles(files); });
  const int result = QApplication::exec();
  veltrano_app.reset();
  return result;
}
