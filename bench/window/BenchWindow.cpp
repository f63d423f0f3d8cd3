// veltrano-bench-window --profile DESCRIPTION --out FOLDER --report FILE SOURCE...
// veltrano-bench-window --replay RECORDING REPORT
//
// The window as a user has it, with conversions running: the program starts
// (configuration, task store, main window) in the home it is given, and the
// sources reach the new-conversion command as a confirmed wizard hands them
// over: one task each, all converting at once with the profile named. Until
// every task is done it measures
//   - how late the window's event loop answers (TEventLoopDelay, 20 ms timer);
//   - every 2 s, the range of the status bar ("全部完成还需") and how much of
//     the work is done (source seconds converted of all);
//   - every second, what the tasks tell the status bar's estimate (the
//     recording a replay feeds to the estimate again);
//   - when the last task is done, and the CPU time the program used (all
//     threads, and the window's own thread alone).
// The report (JSON) holds these figures; bench/run-window judges them. Run it
// on a display (bench/run-window uses Xvfb). Exit status 0 when every task
// completed.
//
// With --replay it runs the estimate of today's code over the recording in
// an earlier report and writes a report of the same form (samples every
// second instead of every 2 s), so a change of the estimate can be judged on
// runs recorded before, without converting again.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <string_view>

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
constexpr int kRecordMs = 1000;

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

// CPU seconds of the whole process, and of the calling thread alone.
struct TCpuTimes {
  double user_s = 0;
  double system_s = 0;
  double thread_s = 0;
};

TCpuTimes CpuTimes() {
  auto seconds = [](const timeval& time) { return time.tv_sec + time.tv_usec / 1e6; };
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  timespec thread{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &thread);
  return {seconds(usage.ru_utime), seconds(usage.ru_stime), thread.tv_sec + thread.tv_nsec / 1e9};
}

QJsonObject CpuJson(const TCpuTimes& from, const TCpuTimes& to) {
  return {{"user_s", to.user_s - from.user_s},
          {"system_s", to.system_s - from.system_s},
          {"window_thread_s", to.thread_s - from.thread_s}};
}

// One second of the recording: what the estimate was fed and how much of
// the work was done then.
class TRecorder {
 public:
  void Record(double t, double done, const std::vector<gui::TProgressReport>& reports) {
    QJsonArray entries;
    for (const gui::TProgressReport& report : reports) {
      const auto [known, added] = ids_.emplace(report.task, static_cast<int>(ids_.size()));
      entries.append(QJsonObject{{"task", known->second},
                                 {"run_start_us", static_cast<double>(report.run_start_us)},
                                 {"report_us", static_cast<double>(report.report_us)},
                                 {"converted_s", report.converted_s},
                                 {"remaining_s", report.remaining_s},
                                 {"paused", report.paused}});
    }
    inputs_.append(QJsonObject{{"t", t},
                               {"done", done},
                               {"now_us", static_cast<double>(gui::ProgressClockUs())},
                               {"reports", entries}});
  }
  const QJsonArray& Inputs() const { return inputs_; }

 private:
  std::map<const void*, int> ids_;
  QJsonArray inputs_;
};

QJsonObject RangeSample(double t, double done, const std::optional<gui::TFinishRange>& range) {
  QJsonObject sample{{"t", t}, {"done", done}};
  if (range) {
    sample["low"] = range->low_s;
    sample["high"] = range->high_s;
  }
  return sample;
}

bool WriteJson(const QString& path, const QJsonObject& object) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(QJsonDocument(object).toJson()) > 0;
}

// The estimate over a recorded run, sampled every second.
int Replay(const QString& recording, const QString& report) {
  QFile file(recording);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot read %s\n", qPrintable(recording));
    return 2;
  }
  const QJsonObject recorded = QJsonDocument::fromJson(file.readAll()).object();
  std::deque<int> tasks;  // what the task numbers point at
  std::map<int, const void*> identities;
  gui::TFinishEstimate estimate;
  QJsonArray samples;
  for (const QJsonValue& value : recorded["inputs"].toArray()) {
    const QJsonObject input = value.toObject();
    std::vector<gui::TProgressReport> reports;
    for (const QJsonValue& entry : input["reports"].toArray()) {
      const QJsonObject r = entry.toObject();
      const int number = r["task"].toInt();
      if (!identities.contains(number)) identities[number] = &tasks.emplace_back(number);
      reports.push_back({identities[number], static_cast<int64_t>(r["run_start_us"].toDouble()),
                         static_cast<int64_t>(r["report_us"].toDouble()),
                         r["converted_s"].toDouble(), r["remaining_s"].toDouble(),
                         r["paused"].toBool()});
    }
    estimate.Update(reports, static_cast<int64_t>(input["now_us"].toDouble()));
    samples.append(RangeSample(input["t"].toDouble(), input["done"].toDouble(), estimate.Range()));
  }
  return WriteJson(report, {{"total_s", recorded["total_s"]}, {"samples", samples}}) ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string_view(argv[1]) == "--replay") {
    return Replay(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
  }
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
  TRecorder recorder;
  TCpuTimes cpu_start;
  TCpuTimes cpu_end;

  // Every 2 s: the status bar's range and the share of the work done.
  QTimer sampler;
  sampler.setInterval(kSampleMs);
  QObject::connect(&sampler, &QTimer::timeout, [&] {
    const auto [converted, total] = work.Measure(unfiled);
    samples.append(RangeSample(clock.elapsed() / 1000.0, total > 0 ? converted / total : 0,
                               window.FinishRange()));
  });
  // Every second: what the estimate is fed.
  QTimer recording;
  recording.setInterval(kRecordMs);
  QObject::connect(&recording, &QTimer::timeout, [&] {
    const auto [converted, total] = work.Measure(unfiled);
    recorder.Record(clock.elapsed() / 1000.0, total > 0 ? converted / total : 0,
                    window.ProgressReports());
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
    cpu_end = CpuTimes();
    QApplication::quit();
  });

  QTimer::singleShot(500, [&] {
    window.SetWizardRunner(
        [&](QWidget*, TAVProfileList&, const QStringList&, const std::vector<std::string>&) {
          return SettingsFor(sources, *profile, parser.value(out_option));
        });
    delay.Start();
    cpu_start = CpuTimes();
    clock.start();
    window.StartNewConversion({});
    sampler.start();
    recording.start();
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
                           {"cpu", CpuJson(cpu_start, cpu_end)},
                           {"cpu_process", CpuJson({}, CpuTimes())},
                           {"samples", samples},
                           {"inputs", recorder.Inputs()}};
  if (!WriteJson(parser.value(report_option), report)) return 2;
  std::printf("%s total %.1f s, %d failed\n", gui::TEventLoopDelay::Text(figures).c_str(), total_s,
              failed);
  return failed == 0 ? 0 : 1;
}
