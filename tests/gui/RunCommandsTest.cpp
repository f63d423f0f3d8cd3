// The run commands on real conversions, drops, file hand-overs and the
// status bar.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QUrl>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "GuiFixture.h"
#include "common/Configuration.h"
#include "gui/Frames.h"
#include "gui/RunCommands.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

using RunCommandsTest = GuiTest;

struct TEnabled {
  bool start;
  bool pause;
  bool stop;
  bool operator==(const TEnabled&) const = default;
};

void PrintTo(const TEnabled& e, std::ostream* os) {
  *os << "start " << e.start << ", pause " << e.pause << ", stop " << e.stop;
}

TEnabled Enabled(gui::TFormMain& window) {
  window.UpdateActions();
  const gui::TRunCommands& run = window.RunCommands();
  return {run.actStartTask->isEnabled(), run.actPauseTask->isEnabled(),
          run.actStopTask->isEnabled()};
}

TEST_F(RunCommandsTest, StartPauseResumeAndStopFollowTheFocusedTask) {
  StartApp();
  TAVTask& task = NewTask(SlowSettings("paused.mp4"));
  ASSERT_EQ(wizard_calls.size(), 1u);
  EXPECT_TRUE(wizard_calls[0].isEmpty());  // the command presets no source
  ASSERT_EQ(ListedTasks(), (std::vector<TAVTask*>{&task}));
  EXPECT_EQ(task.Status(), stRunning);
  // No row focused or selected: nothing to start, pause or stop.
  EXPECT_EQ(Enabled(Window()), (TEnabled{false, false, false}));

  SelectTasks({&task});
  EXPECT_EQ(Enabled(Window()), (TEnabled{false, true, true}));
  ASSERT_TRUE(WaitForProgress(task));
  Window().RunCommands().actPauseTask->trigger();
  EXPECT_EQ(task.Status(), stPaused);
  EXPECT_EQ(Enabled(Window()), (TEnabled{true, false, true}));
  EXPECT_EQ(GetImageIndex(List(), task.Node()), static_cast<int>(stPaused));

  // "开始转换" on a paused task resumes the same run.
  const int64_t run_start = task.Converter().StartTime();
  Window().RunCommands().actStartTask->trigger();
  EXPECT_EQ(task.Status(), stRunning);
  EXPECT_EQ(task.Converter().StartTime(), run_start);
  EXPECT_EQ(Enabled(Window()), (TEnabled{false, true, true}));

  Window().RunCommands().actStopTask->trigger();
  EXPECT_EQ(task.Status(), stError);
  EXPECT_EQ(Enabled(Window()), (TEnabled{true, false, false}));
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(ListedTasks(), (std::vector<TAVTask*>{&task}));  // a stopped task stays
  EXPECT_TRUE(ProbeMedia(folder / "paused.mp4").opened);
}

TEST_F(RunCommandsTest, StopStopsOnlyTheRunningOnesOfTheSelection) {
  StartApp();
  TAVTask& stopped = NewTask(SlowSettings("stopped.mp4"));
  stopped.Stop();
  ASSERT_TRUE(WaitForIdle());
  TAVTask& running = NewTask(SlowSettings("running.mp4"));
  SelectTasks({&stopped, &running});
  // The focused task is stopped: it can be started, not paused; the
  // selection holds a running one, which can be stopped.
  EXPECT_EQ(Enabled(Window()), (TEnabled{true, false, true}));
  Window().RunCommands().actStopTask->trigger();
  EXPECT_EQ(running.Status(), stError);
  EXPECT_EQ(stopped.Status(), stError);
  EXPECT_FALSE(stopped.Converter().IsRunning());
  ASSERT_TRUE(WaitForIdle());

  // Starting the stopped task again converts from the beginning.
  SelectTasks({&stopped});
  Window().RunCommands().actStartTask->trigger();
  EXPECT_EQ(stopped.Status(), stRunning);
  EXPECT_TRUE(stopped.Converter().IsRunning());
}

// `veltrano-cli queue run` in a child process that shares the window's
// av.cfg; its output goes nowhere.
pid_t StartQueueRun() {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execl(VELTRANO_CLI, VELTRANO_CLI, "queue", "run", static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

TEST_F(RunCommandsTest, ATaskThatAQueueRunConvertsShowsRunningAndIsLeftToIt) {
  StartApp();
  TAVTask& task = NewTask(SlowSettings("shared.mp4"));
  task.Stop();
  ASSERT_TRUE(WaitForIdle());
  SelectTasks({&task});
  ASSERT_TRUE(Enabled(Window()).start);

  // The other program is held still as soon as it has claimed the task.
  const pid_t other = StartQueueRun();
  const std::string claimed =
      "select count(*) from task_claims where Pid=" + std::to_string(other);
  ASSERT_TRUE(WaitUntil([&] { return Sql(claimed) == "1\n"; }, std::chrono::seconds(30)));
  kill(other, SIGSTOP);
  Window().RefreshClaims();
  EXPECT_TRUE(task.HeldElsewhere());
  EXPECT_EQ(GetImageIndex(List(), task.Node()), static_cast<int>(stRunning));
  EXPECT_FALSE(Enabled(Window()).start);
  // Deleting it here leaves the row and the stored task to the other program.
  Window().Model().DeleteTasks({&task}, false, true);
  EXPECT_EQ(ListedTasks(), (std::vector<TAVTask*>{&task}));
  EXPECT_EQ(Sql("select count(*) from conversions where Converting=1"), "1\n");

  // Once that program has gone, the task is this window's to start again.
  kill(other, SIGKILL);
  waitpid(other, nullptr, 0);
  Window().RefreshClaims();
  EXPECT_FALSE(task.HeldElsewhere());
  EXPECT_EQ(GetImageIndex(List(), task.Node()), static_cast<int>(stError));
  ASSERT_TRUE(Enabled(Window()).start);
  Window().RunCommands().actStartTask->trigger();
  EXPECT_EQ(task.Status(), stRunning);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Sql("select Converting from conversions"), "0\n");
  EXPECT_GT(ProbeMedia(folder / "shared.mp4").Stream("video").packets, 20);
}

TEST_F(RunCommandsTest, TheStatusBarCountsRunningTasksAndGivesARangeOnceKnown) {
  StartApp();
  Window().UpdateStatus();
  EXPECT_EQ(Window().RunningText().toStdString(), "正在转换: 0 个任务");
  EXPECT_EQ(Window().FinishText().toStdString(), "全部完成还需: --");
  TAVTask& task = NewTask(SlowSettings("timed.mp4"));
  Window().UpdateStatus();
  EXPECT_EQ(Window().RunningText().toStdString(), "正在转换: 1 个任务");
  EXPECT_EQ(Window().FinishText().toStdString(), "全部完成还需: --");
  // Reports of the running task over the first speed's stretch give the range.
  ASSERT_TRUE(WaitUntil([&] {
    Window().UpdateStatus();
    return Window().FinishText().indexOf(QStringLiteral(" – ")) != -1 || task.Status() != stRunning;
  }));
  ASSERT_EQ(task.Status(), stRunning);
  EXPECT_NE(Window().FinishText().indexOf(QStringLiteral(" – ")), -1)
      << Window().FinishText().toStdString();
  task.Pause();
  Window().UpdateStatus();
  EXPECT_EQ(Window().RunningText().toStdString(), "正在转换: 0 个任务");
  EXPECT_EQ(Window().FinishText().toStdString(), "全部完成还需: --");
}

// A run that fails looks failed in the window before its box shows: its
// row says "失败" with its own picture and the status bar no longer counts
// it; after a restart it is still failed, with the message in its log.
TEST_F(RunCommandsTest, AFailedTaskLooksFailedBeforeItsBoxAndAfterARestart) {
  StartApp();
  const fs::path broken = folder / "broken.mp4";
  std::ofstream(broken) << "no media here";
  // The text the window's list shows in the row's progress column.
  auto progress_text = [this](const TAVTask& task) {
    const gui::TTaskViewModel& rows = Window().FrameList().Model();
    return rows.data(rows.IndexOf(task.Node(), kProgressColumn)).toString();
  };
  TAVTask* failed = nullptr;
  std::string box_text;
  QString row_at_box;
  QString running_at_box;
  const auto box = OnNextModal([&](QWidget* modal) {
    auto* message = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(message, nullptr);
    box_text = message->text().toStdString();
    row_at_box = progress_text(*failed);
    Window().UpdateStatus();
    running_at_box = Window().RunningText();
    message->button(QMessageBox::Ok)->click();
  });
  wizard_result.push_back(Settings(broken, "never.mp4"));
  Window().RunCommands().actNewConversion->trigger();
  ASSERT_EQ(Unfiled().Tasks().size(), 1u);
  failed = Unfiled().Tasks().back().get();
  ASSERT_TRUE(WaitUntil([&] { return *box; }));
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(row_at_box.toStdString(), "失败");
  EXPECT_EQ(running_at_box.toStdString(), "正在转换: 0 个任务");
  EXPECT_NE(box_text.find("broken.mp4"), std::string::npos) << box_text;
  EXPECT_EQ(GetImageIndex(List(), failed->Node()), kFailedImageIndex);
  const TStrings log = failed->Log();
  ASSERT_FALSE(log.empty());

  CloseApp();
  StartApp();
  ASSERT_EQ(Unfiled().Tasks().size(), 1u);
  const TAVTask& restored = *Unfiled().Tasks().back();
  EXPECT_TRUE(restored.Failed());
  EXPECT_EQ(restored.Log(), log);
  EXPECT_EQ(progress_text(restored).toStdString(), "失败");
  EXPECT_EQ(GetImageIndex(List(), restored.Node()), kFailedImageIndex);
}

TEST_F(RunCommandsTest, TheLogFrameShowsTheFocusedTaskUntilClearLogEmptiesIt) {
  StartApp();
  gui::TFrameInfo& info = Window().FrameInfo();
  EXPECT_FALSE(info.pages->isTabVisible(0));  // "Task Info" stays hidden
  EXPECT_EQ(info.pages->currentWidget(), info.lstLog);
  TAVTask& task = NewTask(SlowSettings("logged.mp4"));
  info.UpdateActions();
  EXPECT_FALSE(info.actClearLog->isEnabled());  // an empty log list

  SelectTasks({&task});
  // The run logs the option no encoder takes.
  ASSERT_TRUE(WaitUntil([&] {
    return info.LogModel()
        .Lines()
        .join(QLatin1Char('\n'))
        .contains(QStringLiteral("veltranomarker"));
  }));
  EXPECT_TRUE(info.actClearLog->isEnabled());
  task.Stop();
  ASSERT_TRUE(WaitForIdle());

  // Another node listed: the frame still shows the task it showed.
  TConvertedNode& root = *Window().Model().FindCategory(1);
  Window().FrameExplorer().Model().Selection().setCurrentIndex(
      Window().FrameExplorer().Model().IndexOf(root.Node()), QItemSelectionModel::ClearAndSelect);
  EXPECT_GT(info.LogModel().LineCount(), 0);
  info.actClearLog->trigger();
  EXPECT_EQ(info.LogModel().LineCount(), 0);
  EXPECT_FALSE(info.actClearLog->isEnabled());
  EXPECT_TRUE(task.Log().empty());
}

// A drag of `files` entering the task list; returns whether it was taken.
bool DragEnters(QWidget& viewport, const QList<QUrl>& urls, Qt::DropAction* action = nullptr) {
  QMimeData data;
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data,
                        Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&viewport, &enter);
  if (action != nullptr) *action = enter.dropAction();
  return enter.isAccepted();
}

TEST_F(RunCommandsTest, DroppedFilesAllReachTheNewConversionAndOtherDragsAreRefused) {
  StartApp();
  QWidget& viewport = *Window().FrameList().vstTaskList->viewport();
  const QUrl one = QUrl::fromLocalFile(QString::fromStdString((folder / "a b.mp4").string()));
  const QUrl two = QUrl::fromLocalFile(QString::fromStdString((folder / "二.mkv").string()));
  Qt::DropAction action = Qt::IgnoreAction;
  EXPECT_TRUE(DragEnters(viewport, {one}, &action));
  EXPECT_EQ(action, Qt::LinkAction);
  EXPECT_TRUE(DragEnters(viewport, {one, two}));
  EXPECT_FALSE(DragEnters(viewport, {QUrl(QStringLiteral("https://tellurix.example/a.mp4"))}));
  EXPECT_FALSE(DragEnters(viewport, {}));

  QMimeData data;
  data.setUrls({one, QUrl(QStringLiteral("https://tellurix.example/x.mp4")), two});
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton,
                  Qt::NoModifier);
  QApplication::sendEvent(&viewport, &drop);
  EXPECT_TRUE(drop.isAccepted());
  ASSERT_TRUE(WaitUntil([this] { return !wizard_calls.empty(); }, std::chrono::seconds(5)));
  ASSERT_EQ(wizard_calls.size(), 1u);
  EXPECT_EQ(wizard_calls[0], (QStringList{one.toLocalFile(), two.toLocalFile()}));
}

TEST_F(RunCommandsTest, HandedOverFilesWaitForAnOpenDialogAndGetTheTargetsInUse) {
  StartApp();
  TAVTask& task = NewTask(SlowSettings("busy.mp4"));
  wizard_calls.clear();
  wizard_reserved.clear();
  QDialog dialog(&Window());
  const auto closed = OnNextModal([&](QWidget* modal) {
    // While a dialog is open the files wait.
    Window().OpenFiles({QStringLiteral("/media/a.mp4")});
    QTest::qWait(300);
    EXPECT_TRUE(wizard_calls.empty());
    modal->close();
  });
  dialog.exec();
  ASSERT_TRUE(*closed);
  ASSERT_TRUE(WaitUntil([&] { return !wizard_calls.empty(); }, std::chrono::seconds(5)));
  EXPECT_EQ(wizard_calls[0], QStringList{QStringLiteral("/media/a.mp4")});
  // The wizard learns the targets of the unfiled tasks, which it must not propose.
  EXPECT_EQ(wizard_reserved[0], std::vector<std::string>{task.Settings().TargetFile()});
}

TEST_F(RunCommandsTest, ShutdownWhenDoneStartsFromTheConfigurationAndToggles) {
  AVConfiguration().SetShutdownWhenDone(true);
  StartApp();
  QAction* shutdown = Window().RunCommands().actShutdown;
  EXPECT_TRUE(shutdown->isChecked());
  shutdown->trigger();
  EXPECT_FALSE(shutdown->isChecked());
  EXPECT_FALSE(AVConfiguration().ShutdownWhenDone());
  shutdown->trigger();
  EXPECT_TRUE(shutdown->isChecked());
  EXPECT_TRUE(AVConfiguration().ShutdownWhenDone());
  // Saved with the configuration at exit.
  CloseApp();
  AVConfiguration().SetShutdownWhenDone(false);
  AVConfiguration().Load();
  EXPECT_TRUE(AVConfiguration().ShutdownWhenDone());
}

}  // namespace
}  // namespace veltrano::test
