// veltrano-screens OUTPUT_FOLDER [NAME...]: shows every registered screen (or
// the named ones) one after the other, in Chinese and in English, and saves
// NAME.png and NAME_en.png of each into OUTPUT_FOLDER (a NAME_en argument
// takes only the English one). Run it on a real display (scripts/screenshots
// uses Xvfb): the picture is taken from the screen, so frameless popups and
// window decorations look as people see them.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "Screens.h"
#include "gui/Language.h"

namespace veltrano::screens {
namespace {

std::map<std::string, TScreenFunction>& Registry() {
  static std::map<std::string, TScreenFunction> registry;
  return registry;
}

void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool TakeScreen(const std::string& name, const TScreenFunction& show, const QDir& output) {
  QTemporaryDir home;
  qputenv("HOME", home.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
  TScreenContext ctx;
  ctx.home = home.path().toStdString();
  QWidget* widget = show(ctx);
  if (widget == nullptr) {
    std::fprintf(stderr, "%s: nothing to show\n", name.c_str());
    return false;
  }
  widget->raise();
  widget->activateWindow();
  Settle(ctx.settle_ms);
  const QRect frame = widget->frameGeometry();
  const QPixmap picture = widget->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(),
                                                       frame.height());
  const QString file = output.filePath(QString::fromStdString(name) + ".png");
  const bool saved = picture.save(file);
  std::printf("%s %s (%dx%d)\n", saved ? "saved" : "FAILED", qPrintable(file), frame.width(),
              frame.height());
  widget->close();
  Settle(50);
  while (!ctx.keep.empty()) ctx.keep.pop_back();
  return saved;
}

// The languages a screen is taken in, with the suffix of their pictures' names.
struct TScreenLanguage {
  gui::TLanguage language;
  const char* suffix;
};
constexpr TScreenLanguage kScreenLanguages[] = {{gui::TLanguage::Chinese, ""},
                                                {gui::TLanguage::English, "_en"}};

}  // namespace

bool RegisterScreen(const std::string& name, TScreenFunction show) {
  Registry()[name] = std::move(show);
  return true;
}

}  // namespace veltrano::screens

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: veltrano-screens OUTPUT_FOLDER [NAME...]\n");
    return 2;
  }
  // Qt's own settings (the file dialogs') would go to the home of the screen
  // that used them first, and come back there after it is removed.
  QTemporaryDir qt_settings(QDir::tempPath() + QStringLiteral("/veltrano-screens-XXXXXX"));
  for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
    QSettings::setPath(format, QSettings::UserScope, qt_settings.path());
  QDir output(args[1]);
  output.mkpath(".");
  const QStringList wanted = args.mid(2);
  int failures = 0;
  for (const auto& [name, show] : veltrano::screens::Registry()) {
    for (const auto& [language, suffix] : veltrano::screens::kScreenLanguages) {
      const std::string picture = name + suffix;
      if (!wanted.isEmpty() && !wanted.contains(QString::fromStdString(name)) &&
          !wanted.contains(QString::fromStdString(picture))) {
        continue;
      }
      veltrano::gui::InstallTranslations(language);
      if (!veltrano::screens::TakeScreen(picture, show, output)) ++failures;
    }
  }
  return failures == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
