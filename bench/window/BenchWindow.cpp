// veltrano-bench-window --profile DESCRIPTION --out FOLDER --report FILE SOURCE...
//
// The window as a user has it, with conversions running: the program starts
// (configuration, task store, main window) in the home it is given, and the
// sources reach the new-conversion command as a confirmed wizard hands them
// over: one task each, all converting at once with the profile named. Until
// every task is done it measures
//   - how late the window's event loop answers (TEventLoopDelay, 20 ms timer);
//   - every 2 s, the range of the status bar ("全部完成还需") and how much of
//     the work is done (source seconds converted of all);
//   - when the last task is done.
// The report (JSON) holds these figures; bench/run judges them. Run it on a
// display (bench/run uses Xvfb). Exit status 0 when every task completed.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>
#include <limits>
#include <map>
#include <memory>

#include "common/AVNodes.h"
#include "common/Configuration.h"
#include "common/ProfileOptions.h"
#include "common/ProfileStore.h"
#include "gui/Application.h"
#include "gui/DModule.h"
#include "gui/EventLoopDelay.h"
#include "gui/FormMain.h"

namespace {

using namespace veltrano;

constexpr int kSampleMs = 2000;
constexpr int kWatchMs = 100;

std::vector<std::unique_ptr<TConversionSettings>> SettingsFor(const QStringList& sources,
                                                              const TAVProfile& profile,
                                                              const QString& out) {
  std::vector<std::unique_ptr<TConversionSettings>> created;
  int number = 0;
  for (const QString& source : sources) {
    TAVConvertOptions options;
    options.SetRecordingTime(std::numeric_limits<int64_t>::max());
    PrepareProfileOptions(options, profile, AVConfiguration());
    auto settings = std::make_unique<TConversionSettings>();
    settings->SetSourceFile(source.toStdString());
    settings->SetTargetFile(QStringLiteral("%1/task%2%3")
                                .arg(out)
                                .arg(++number)
                                .arg(QString::fromStdString(profile.Extension()))
                                .toStdString());
    settings->SetProfile(profile.Description());
    settings->SetCategoryId(1);
    settings->SetConvertOptions(options);
    created.push_back(std::move(settings));
  }
  return created;
}

// Source seconds converted and to convert, over every task handed over: a
// completed task leaves the list of unfinished ones and counts as all done
// (its length as last seen).
class TWork {
 public:
  std::pair<double, double> Measure(const TConvertingNode& unfiled) {
    std::map<const void*, double> converted;
    for (const auto& task : unfiled.Tasks()) {
      converted[task.get()] = task->Converter().ConvertedDuration();
      length_[task.get()] = task->Converter().Duration();
    }
    double done = 0;
    double total = 0;
    for (const auto& [task, length] : length_) {
      const auto running = converted.find(task);
      done += running != converted.end() ? running->second : length;
      total += length;
    }
    return {done, total};
  }

 private:
  std::map<const void*, double> length_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  const QCommandLineOption profile_option(QStringLiteral("profile"), QString(),
                                          QStringLiteral("DESCRIPTION"));
  const QCommandLineOption out_option(QStringLiteral("out"), QString(), QStringLiteral("FOLDER"));
  const QCommandLineOption report_option(QStringLiteral("report"), QString(),
                                         QStringLiteral("FILE"));
  parser.addOptions({profile_option, out_option, report_option});
  parser.process(app);
  const QStringList sources = parser.positionalArguments();
  if (sources.isEmpty() || !parser.isSet(profile_option) || !parser.isSet(out_option) ||
      !parser.isSet(report_option)) {
    std::fprintf(stderr, "usage: veltrano-bench-window --profile D --out F --report R SOURCE...\n");
    return 2;
  }

  gui::TVeltranoApp veltrano;
  gui::TFormMain& window = veltrano.MainWindow();
  const TAVProfile* profile =
      veltrano.Data().Profiles().FindProfile(parser.value(profile_option).toStdString());
  if (profile == nullptr) {
    std::fprintf(stderr, "no profile %s\n", qPrintable(parser.value(profile_option)));
    return 2;
  }
  window.resize(930, 628);
  window.show();

  gui::TEventLoopDelay delay;
  QJsonArray samples;
  QElapsedTimer clock;
  TConvertingNode& unfiled = window.Model().ConvertingNode();
  double total_s = -1;
  TWork work;

  // Every 2 s: the status bar's range and the share of the work done.
  QTimer sampler;
  sampler.setInterval(kSampleMs);
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    const auto [converted, total] = work.Measure(unfiled);
    QJsonObject sample{{"t", clock.elapsed() / 1000.0},
                       {"done", total > 0 ? converted / total : 0}};
    if (const std::optional<gui::TFinishRange> range = window.FinishRange()) {
      sample["low"] = range->low_s;
      sample["high"] = range->high_s;
    }
    samples.append(sample);
  });
  // The end: no task left converting.
  QTimer watcher;
  watcher.setInterval(kWatchMs);
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    if (unfiled.HasActiveConverter() || unfiled.RetiredCount() > 0) return;
    if (std::any_of(unfiled.Tasks().begin(), unfiled.Tasks().end(),
                    [](const auto& task) { return task->Status() == stRunning; })) {
      return;
    }
    total_s = clock.elapsed() / 1000.0;
    QApplication::quit();
  });

  QTimer::singleShot(500, [&] {
    window.SetWizardRunner(
        [&](QWidget*, TAVProfileList&, const QStringList&, const std::vector<std::string>&) {
          return SettingsFor(sources, *profile, parser.value(out_option));
        });
    delay.Start();
    clock.start();
    window.StartNewConversion({});
    sampler.start();
    watcher.start();
  });
  QApplication::exec();
  delay.Stop();

  const gui::TDelayFigures figures = delay.Figures();
  const int failed = static_cast<int>(unfiled.Tasks().size());  // completed tasks leave the list
  const QJsonObject report{{"tasks", static_cast<int>(sources.size())},
                           {"failed", failed},
                           {"total_s", total_s},
                           {"delay", QJsonObject{{"samples", static_cast<double>(figures.samples)},
                                                 {"median_ms", figures.median_ms},
                                                 {"p95_ms", figures.p95_ms},
                                                 {"max_ms", figures.max_ms}}},
                           {"samples", samples}};
  QFile file(parser.value(report_option));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 2;
  file.write(QJsonDocument(report).toJson());
  std::printf("%s total %.1f s, %d failed\n", gui::TEventLoopDelay::Text(figures).c_str(), total_s,
              failed);
  return failed == 0 ? 0 : 1;
}
