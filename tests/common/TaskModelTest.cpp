// The task and node model driven headless through in-memory views, with real
// conversions of one-second clips and a real store.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <thread>

#include "TaskFixture.h"
#include "common/Configuration.h"
#include "common/PersistentManager.h"
#include "converter/ConvertThread.h"
#include "converter/DvdStream.h"
#include "converter/MessageBoxes.h"
#include "converter/StreamProtocol.h"
#include "platform/ServiceDoubles.h"
#include "support/DvdFixture.h"
#include "support/MediaFixture.h"

namespace veltrano::test {
namespace {

using TaskModel = TaskFixture;

int Count(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

fs::path CopyOfClip(const fs::path& folder, const std::string& name) {
  const fs::path copy = folder / name;
  fs::copy_file(TaskClip(), copy, fs::copy_options::overwrite_existing);
  return copy;
}

TEST_F(TaskModel, ANewTaskRunsAndIsFiledUnderTheRootWithItsSettingsDateAndLog) {
  ASSERT_TRUE(Unfiled().IsShown());
  ASSERT_EQ(list.Columns().size(), 10u);
  TStrings log_at_end;
  Unfiled().SetOnTaskEnded([&](TAVTask& task, bool ok) {
    EXPECT_TRUE(ok);
    log_at_end = task.Log();
  });
  const auto before = std::chrono::system_clock::now() - std::chrono::milliseconds(1);
  TAVTask& task = Unfiled().NewConversion(Settings(TaskClip(), folder / "a.mp4"));
  EXPECT_EQ(task.Status(), stRunning);
  EXPECT_EQ(ShownTasks(), std::vector<TAVTask*>{&task});
  const int id = task.ID();
  EXPECT_GT(id, 0);
  EXPECT_EQ(Sql("select Converting, CategoryId is null, ConvertedDate is null, Log is null "
                "from conversions"),
            "1|1|1|1\n");

  ASSERT_TRUE(WaitForIdle());
  const auto after = std::chrono::system_clock::now();
  EXPECT_TRUE(Unfiled().Tasks().empty());
  EXPECT_TRUE(list.ChildRows(kNoRow).empty());
  EXPECT_EQ(alerts, std::vector<std::string>{(folder / "a.mp4").string()});
  const TMediaInfo media = ProbeMedia(folder / "a.mp4");
  EXPECT_EQ(media.Stream("video").width, 320);
  EXPECT_EQ(Sql("select Converting, CategoryId from conversions"), "0|1\n");
  EXPECT_TRUE(std::regex_match(Sql("select ConvertedDate from conversions"),
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\n)")));
  const std::string xml = Sql("select ConvertSettings from conversions");
  EXPECT_NE(xml.find("<TargetFile>" + (folder / "a.mp4").string() + "</TargetFile>"),
            std::string::npos);
  EXPECT_NE(xml.find("<Duration>"), std::string::npos);

  // A second task later: the category lists the newest first.
  Unfiled().NewConversion(Settings(TaskClip(), folder / "b.mp4"));
  ASSERT_TRUE(WaitForIdle());
  model->Select(Root());
  ASSERT_EQ(list.Columns().size(), 7u);
  const std::vector<TAVTask*> shown = ShownTasks();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0]->Settings().TargetFile(), (folder / "b.mp4").string());
  TAVTask& filed = *shown[1];
  EXPECT_EQ(filed.ID(), id);
  EXPECT_TRUE(filed.IsConverted());
  EXPECT_EQ(filed.Status(), stFinished);
  EXPECT_TRUE(filed.ConvertedIsValid());
  EXPECT_EQ(filed.CategoryId(), 1);
  EXPECT_GE(filed.Date(), before);
  EXPECT_LE(filed.Date(), after);
  EXPECT_NEAR(filed.Settings().Duration(), 1.0, 0.1);
  EXPECT_EQ(filed.Settings().SourceFileSize(), static_cast<int64_t>(fs::file_size(TaskClip())));
  EXPECT_EQ(filed.Log(), log_at_end);
  EXPECT_EQ(Count(JoinLogLines(filed.Log()), "veltranomarker"), 1);

  const std::vector<std::string> texts = list.RowTexts(filed.Node());
  EXPECT_EQ(texts[0], TaskClip().filename().string());
  EXPECT_EQ(texts[1], KilobyteText(fs::file_size(TaskClip())));
  EXPECT_EQ(texts[2], "a.mp4");
  EXPECT_EQ(texts[3], KilobyteText(fs::file_size(folder / "a.mp4")));
  EXPECT_EQ(texts[4], "Zune MPEG4 Video(320x240)");
  EXPECT_EQ(texts[5], "0:0:1");
  EXPECT_EQ(texts[6], DateTimeText(filed.Date()));
  EXPECT_EQ(GetImageIndex(list, filed.Node()), 3);
  EXPECT_TRUE(messages->Errors().empty());
}

TEST_F(TaskModel, StoppedTasksComeBackStoppedAfterARestartAndConvertAgainWithAFreshLog) {
  TAVTask& task = Unfiled().NewConversion(Settings(TaskClip(), folder / "c.mp4"));
  task.Stop();  // while the run is still opening its files
  EXPECT_EQ(task.Status(), stError);
  ASSERT_TRUE(WaitForIdle());
  ASSERT_EQ(Unfiled().Tasks().size(), 1u);
  EXPECT_EQ(task.Status(), stError);
  EXPECT_FALSE(task.ConvertedIsValid());
  EXPECT_TRUE(alerts.empty());
  EXPECT_EQ(Sql("select Converting from conversions"), "1\n");

  Reopen();
  ASSERT_EQ(Unfiled().Tasks().size(), 1u);
  TAVTask& restored = *Unfiled().Tasks()[0];
  EXPECT_EQ(restored.Status(), stError);
  EXPECT_EQ(restored.CategoryId(), 0);
  EXPECT_TRUE(restored.Log().empty());
  const std::vector<std::string> texts = list.RowTexts(restored.Node());
  EXPECT_EQ(texts[6], "0%");
  EXPECT_EQ(texts[7], ".0");
  EXPECT_EQ(texts[8], "--:--:--");  // the unknown remaining time
  EXPECT_EQ(texts[9], "0:0:0");
  EXPECT_EQ(GetImageIndex(list, restored.Node()), 2);

  // Started again while its first run is still closing the output: the
  // restart waits for it and converts the one source into the one target.
  ASSERT_TRUE(restored.Start());
  ASSERT_TRUE(WaitUntil([&] { return restored.Converter().State() == csRunning; }));
  restored.Stop();
  ASSERT_TRUE(restored.Start());
  EXPECT_EQ(restored.Converter().InputFiles(), TStrings{TaskClip().string()});
  EXPECT_EQ(restored.Converter().OutputFiles(), TStrings{(folder / "c.mp4").string()});
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(Unfiled().Tasks().empty());
  // Restored tasks carry no category: the store files them under the root.
  EXPECT_EQ(Sql("select Converting, CategoryId from conversions"), "0|1\n");
  EXPECT_EQ(Count(Sql("select Log from conversions"), "veltranomarker"), 1);
  EXPECT_GT(ProbeMedia(folder / "c.mp4").Stream("video").packets, 20);
}

TEST_F(TaskModel, DeletingRemovesTheRowAndTheStoredTaskAndTheFilesOnlyWhenAsked) {
  const fs::path keep_source = CopyOfClip(folder, "keep.mp4");
  const fs::path drop_source = CopyOfClip(folder, "drop.mp4");
  Unfiled().NewConversion(Settings(keep_source, folder / "keep-out.mp4"));
  Unfiled().NewConversion(Settings(drop_source, folder / "drop-out.mp4"));
  ASSERT_TRUE(WaitForIdle());
  model->Select(Root());
  ASSERT_EQ(ShownTasks().size(), 2u);
  for (TAVTask* task : ShownTasks()) EXPECT_TRUE(task->CanOpenSource());

  TAVTask* keep = ShownTasks()[0]->Settings().SourceFile() == keep_source.string()
                      ? ShownTasks()[0]
                      : ShownTasks()[1];
  keep->Delete(false, false);
  ASSERT_EQ(ShownTasks().size(), 1u);
  EXPECT_EQ(Sql("select count(*) from conversions"), "1\n");
  EXPECT_TRUE(fs::exists(keep_source));
  EXPECT_TRUE(fs::exists(folder / "keep-out.mp4"));

  ShownTasks()[0]->Delete(true, true);
  EXPECT_TRUE(list.ChildRows(kNoRow).empty());
  EXPECT_EQ(Sql("select count(*) from conversions"), "0\n");
  EXPECT_FALSE(fs::exists(drop_source));
  EXPECT_FALSE(fs::exists(folder / "drop-out.mp4"));

  // The delete command stops a running task first; deleting it again while
  // its stopped run may still be closing the output waits for that run.
  model->Select(Unfiled());
  TAVTask& running = Unfiled().NewConversion(Settings(TaskClip(), folder / "late.mp4"));
  ASSERT_TRUE(WaitUntil([&] { return running.Converter().State() == csRunning; }));
  list.SelectRow(running.Node());
  model->DeleteTasks(SelectedTasks(list), false, true);
  EXPECT_EQ(running.Status(), stError);
  ASSERT_EQ(Unfiled().Tasks().size(), 1u);
  model->DeleteTasks(SelectedTasks(list), false, true);
  EXPECT_TRUE(Unfiled().Tasks().empty());
  EXPECT_FALSE(fs::exists(folder / "late.mp4"));
  EXPECT_EQ(Sql("select count(*) from conversions"), "0\n");
  EXPECT_TRUE(fs::exists(TaskClip()));
}

TEST_F(TaskModel, CategoriesAreCreatedRenamedAndDeletedWithTheirSubCategoriesAndTasks) {
  EXPECT_EQ(Sql("select ID, Category, Path, Parent from categories"),
            "1|已转换|" + folder.string() + "|-1\n");
  TConvertedNode& sub = model->NewCategory(Root(), "Sub", (folder / "sub").string());
  TConvertedNode& deep = model->NewCategory(sub, "Deep", (folder / "deep").string());
  EXPECT_EQ(sub.CategoryId(), 2);
  EXPECT_EQ(deep.CategoryId(), 3);
  EXPECT_EQ(deep.Parent(), &sub);
  EXPECT_FALSE(fs::exists(folder / "sub"));
  EXPECT_EQ(Sql("select ID, Parent from categories order by ID"), "1|-1\n2|1\n3|2\n");

  const fs::path renamed = folder / "renamed" / "inner";
  model->UpdateCategory(sub, "Renamed", renamed.string());
  EXPECT_TRUE(fs::is_directory(renamed));
  EXPECT_EQ(Sql("select Category, Path, Parent from categories where ID=2"),
            "Renamed|" + renamed.string() + "|1\n");

  Unfiled().NewConversion(Settings(TaskClip(), folder / "deep.mp4", deep.CategoryId()));
  Unfiled().NewConversion(Settings(TaskClip(), folder / "sub.mp4", sub.CategoryId()));
  Unfiled().NewConversion(Settings(TaskClip(), folder / "root.mp4"));
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Sql("select CategoryId from conversions order by ID"), "3\n2\n1\n");

  Reopen();
  std::vector<std::string> names;
  for (TConvertedNode* category : model->Categories()) names.push_back(category->Category());
  EXPECT_EQ(names, (std::vector<std::string>{"已转换", "Renamed", "Deep"}));

  TConvertedNode& again = *model->FindCategory(2);
  model->Select(again);
  ASSERT_EQ(ShownTasks().size(), 1u);
  model->DeleteCategory(again);
  EXPECT_EQ(Sql("select ID from categories"), "1\n");
  EXPECT_EQ(Sql("select CategoryId from conversions"), "1\n");
  EXPECT_EQ(model->Categories().size(), 1u);
  EXPECT_EQ(tree.FocusedRow(), Root().Node());
  ASSERT_EQ(ShownTasks().size(), 1u);
  EXPECT_EQ(ShownTasks()[0]->Settings().TargetFile(), (folder / "root.mp4").string());
  EXPECT_TRUE(fs::is_directory(renamed));  // files on disk stay
  EXPECT_TRUE(fs::exists(folder / "deep.mp4"));
}

TEST_F(TaskModel, ACompletionJoinsItsCategoryOnlyWhenThatCategoryIsShown) {
  TConvertedNode& a = model->NewCategory(Root(), "A", (folder / "a").string());
  TConvertedNode& b = model->NewCategory(Root(), "B", (folder / "b").string());
  model->Select(b);
  Unfiled().NewConversion(Settings(TaskClip(), folder / "1.mp4", a.CategoryId()));
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(list.ChildRows(kNoRow).empty());
  EXPECT_TRUE(b.Tasks().empty());
  EXPECT_TRUE(a.Tasks().empty());

  model->Select(a);
  ASSERT_EQ(ShownTasks().size(), 1u);
  TAVTask& second = Unfiled().NewConversion(Settings(TaskClip(), folder / "2.mp4", a.CategoryId()));
  ASSERT_TRUE(WaitForIdle());
  ASSERT_EQ(ShownTasks().size(), 2u);
  EXPECT_EQ(ShownTasks()[1], &second);
  EXPECT_EQ(second.Category(), &a);
  EXPECT_TRUE(second.IsConverted());
  EXPECT_TRUE(second.ConvertedIsValid());
  EXPECT_EQ(list.RowTexts(second.Node())[6], DateTimeText(second.Date()));
  EXPECT_EQ(
      Sql("select count(*) from conversions where CategoryId=" + std::to_string(a.CategoryId())),
      "2\n");

  // A category deleted while its task converts: the task goes to the root.
  TConvertedNode& c = model->NewCategory(Root(), "C", (folder / "c").string());
  TAVTask& third = Unfiled().NewConversion(Settings(TaskClip(), folder / "3.mp4", c.CategoryId()));
  const int third_id = third.ID();
  model->DeleteCategory(c);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Sql("select CategoryId from conversions where ID=" + std::to_string(third_id)), "1\n");
}

TEST_F(TaskModel, ShutdownWhenDoneWaitsForTheLastRunningTaskButNotForPausedOrStoppedOnes) {
  TDBusRecorder dbus(true);
  AVConfiguration().SetShutdownWhenDone(true);
  TAVTask& slow = Unfiled().NewConversion(SlowSettings(folder / "slow.mp4"));
  TAVTask& paused = Unfiled().NewConversion(SlowSettings(folder / "paused.mp4"));
  paused.Pause();
  TAVTask& stopped = Unfiled().NewConversion(Settings(TaskClip(), folder / "stopped.mp4"));
  stopped.Stop();
  TAVTask& quick = Unfiled().NewConversion(Settings(TaskClip(), folder / "quick.mp4"));
  const TAVTask* quick_ptr = &quick;
  const TAVTask* slow_ptr = &slow;
  std::vector<std::pair<const TAVTask*, TAVTaskStatus>> ended;
  Unfiled().SetOnTaskEnded([&](TAVTask& task, bool ok) {
    EXPECT_TRUE(ok);
    ended.emplace_back(&task, slow.Status());
  });

  ASSERT_TRUE(WaitUntil([&] { return !ended.empty(); }));
  ASSERT_EQ(ended[0].first, quick_ptr);
  ASSERT_EQ(ended[0].second, stRunning) << "the slow task ended first; nothing to check";
  ui.ProcessPending(std::chrono::milliseconds(0));
  EXPECT_TRUE(dbus.Calls().empty());

  ASSERT_TRUE(WaitUntil([&] { return ended.size() == 2; }));
  EXPECT_EQ(ended[1].first, slow_ptr);
  ASSERT_EQ(dbus.Calls().size(), 1u);
  EXPECT_EQ(dbus.Calls()[0].method, "PowerOff");
  EXPECT_EQ(paused.Status(), stPaused);
  EXPECT_EQ(paused.Converter().State(), csPaused);
  EXPECT_EQ(stopped.Status(), stError);
  EXPECT_EQ(Unfiled().Tasks().size(), 2u);
  paused.Stop();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(dbus.Calls().size(), 1u);  // stopping is no completion
}

TEST_F(TaskModel, AFailedConversionStaysUnfiledAsStoppedWithItsMessageAndCanRunAgain) {
  TDBusRecorder dbus(true);
  AVConfiguration().SetShutdownWhenDone(true);
  // The target's folder cannot be made: a file stands in its place.
  const fs::path blocker = folder / "blocker";
  std::ofstream(blocker) << "not a folder";
  const fs::path target = blocker / "out.mp4";
  TAVTask& task = Unfiled().NewConversion(Settings(TaskClip(), target));
  list.SelectRow(task.Node());
  task.LoadTaskInfo(&info, &log);
  // The box comes once the task has taken the failure in: its row no longer
  // says running, and its log holds the message.
  std::vector<std::string> boxes;
  std::vector<TAVTaskStatus> status_at_box;
  std::vector<std::string> last_line_at_box;
  const TErrorBoxHandler previous = SetErrorBoxHandler([&](const std::string& text) {
    boxes.push_back(text);
    status_at_box.push_back(task.Status());
    last_line_at_box.push_back(task.Log().empty() ? std::string() : task.Log().back());
  });
  ASSERT_TRUE(WaitForIdle());
  SetErrorBoxHandler(previous);

  ASSERT_EQ(Unfiled().Tasks().size(), 1u);
  EXPECT_EQ(task.Status(), stError);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(status_at_box, std::vector<TAVTaskStatus>{stError});
  EXPECT_EQ(last_line_at_box, boxes);
  ASSERT_FALSE(task.Log().empty());
  EXPECT_EQ(task.Log().back(), boxes[0]);
  EXPECT_EQ(log.Lines(), task.Log());
  EXPECT_TRUE(alerts.empty());
  EXPECT_EQ(Sql("select Converting, ConvertedDate is null, CategoryId is null from conversions"),
            "1|1|1\n");
  // The failed task was the last one running: the work is done.
  EXPECT_EQ(dbus.Calls().size(), 1u);
  // It looks failed, not stopped: its own image and "失败".
  EXPECT_TRUE(task.Failed());
  EXPECT_EQ(GetImageIndex(list, task.Node()), kFailedImageIndex);
  EXPECT_EQ(GetCaption(list, task.Node(), kProgressColumn), kFailedText);

  // After a restart it still does, with its message in its log.
  const TStrings failed_log = task.Log();
  Reopen();
  ASSERT_EQ(Unfiled().Tasks().size(), 1u);
  TAVTask& restored = *Unfiled().Tasks()[0];
  EXPECT_TRUE(restored.Failed());
  EXPECT_EQ(restored.Status(), stError);
  EXPECT_EQ(restored.Log(), failed_log);
  EXPECT_EQ(GetImageIndex(list, restored.Node()), kFailedImageIndex);

  fs::remove(blocker);
  fs::create_directories(blocker);
  ASSERT_TRUE(restored.Start());
  EXPECT_FALSE(restored.Failed());
  EXPECT_EQ(GetImageIndex(list, restored.Node()), static_cast<int>(stRunning));
  EXPECT_EQ(Sql("select count(*) from task_failures"), "0\n");
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(Unfiled().Tasks().empty());
  EXPECT_EQ(Sql("select Converting, CategoryId from conversions"), "0|1\n");
  EXPECT_EQ(alerts.size(), 1u);
  EXPECT_EQ(dbus.Calls().size(), 2u);
}

// A task the user stopped is not a failed one.
TEST_F(TaskModel, OnlyAFailureMarksATaskFailed) {
  TAVTask& stopped = Unfiled().NewConversion(SlowSettings(folder / "stopped.mp4"));
  stopped.Stop();
  ASSERT_TRUE(WaitForIdle());
  EXPECT_FALSE(stopped.Failed());
  EXPECT_EQ(GetImageIndex(list, stopped.Node()), static_cast<int>(stError));
  EXPECT_NE(GetCaption(list, stopped.Node(), kProgressColumn), kFailedText);
  EXPECT_EQ(Sql("select count(*) from task_failures"), "0\n");
}

TEST_F(TaskModel, ClosingTheExplorerStopsEveryConversionAndWaitsForItsWorker) {
  Unfiled().NewConversion(SlowSettings(folder / "running.mp4"));
  TAVTask& paused = Unfiled().NewConversion(SlowSettings(folder / "paused.mp4"));
  ASSERT_TRUE(WaitUntil([&] { return paused.Converter().State() == csRunning; }));
  paused.Pause();
  const auto start = std::chrono::steady_clock::now();
  model.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(RegisteredConvertThreadCount(), 0);
  EXPECT_TRUE(list.ChildRows(kNoRow).empty());
  EXPECT_TRUE(tree.ChildRows(kNoRow).empty());
  // Both stay unfinished and come back stopped.
  EXPECT_EQ(Sql("select Converting from conversions"), "1\n1\n");
  OpenModel();
  ASSERT_EQ(Unfiled().Tasks().size(), 2u);
  for (const auto& task : Unfiled().Tasks()) EXPECT_EQ(task->Status(), stError);
}

// A task whose log events the test raises itself.
class TLogTask : public TConvertingTask {
 public:
  using TAVTask::ConverterLog;
  using TConvertingTask::TConvertingTask;
};

TEST_F(TaskModel, TheLogKeepsFiftyOneLinesAndReachesTheViewOnlyWhileTheTaskLives) {
  auto owned = std::make_unique<TLogTask>(Settings(TaskClip(), folder / "x.mp4"), &list, &ui);
  TLogTask& task = *owned;
  task.SetCategory(&Unfiled());
  task.SetStatus(stError);
  Unfiled().AddTask(std::move(owned));
  TPersistentManager::NewDbTask(task);
  model->Select(Unfiled());
  list.SelectRow(task.Node());
  task.LoadTaskInfo(&info, &log);
  EXPECT_EQ(info.Columns(), (std::vector<std::pair<std::string, int>>{
                                {"Category", 100}, {"Property", 150}, {"Value", 150}}));

  TStrings sixty;
  for (int i = 0; i < 60; ++i) sixty.push_back("line " + std::to_string(i));
  task.SetLog(sixty);
  std::thread([&] { task.ConverterLog(24, "  new line\r\n"); }).join();
  TStrings lines = task.Log();
  ASSERT_EQ(lines.size(), 51u);
  EXPECT_EQ(lines.front(), "line 10");
  EXPECT_EQ(lines.back(), "new line");
  EXPECT_TRUE(log.Lines().empty());  // told on the UI thread, not from the worker
  ui.ProcessPending(std::chrono::milliseconds(0));
  EXPECT_EQ(log.Lines(), lines);

  // Lines from a worker while the UI thread reads the log.
  std::atomic<bool> writing{true};
  std::thread worker([&] {
    for (int i = 0; i < 2000; ++i) task.ConverterLog(24, "worker " + std::to_string(i));
    writing = false;
  });
  size_t most = 0;
  while (writing) most = std::max(most, task.Log().size());
  worker.join();
  EXPECT_LE(most, 51u);
  EXPECT_EQ(task.Log().back(), "worker 1999");

  task.ClearLog();
  EXPECT_TRUE(task.Log().empty());
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_EQ(Sql("select Log is null from conversions"), "1\n");

  // Destroyed with a view update still queued: the views forget it.
  std::thread([&] { task.ConverterLog(24, "late"); }).join();
  log.ShowLog(&task, task.Log());
  const TRowId row = task.Node();
  Unfiled().TakeTask(&task).reset();
  EXPECT_EQ(log.Owner(), nullptr);
  EXPECT_EQ(list.RowObject(row), nullptr);
  ui.ProcessPending(std::chrono::milliseconds(0));
  EXPECT_TRUE(log.Lines().empty());
}

TEST_F(TaskModel, ARestartedDvdTaskOpensAFreshTitleStream) {
  const TDvdDisc& disc = SharedDvd();
  auto settings = Settings(TaskClip(), folder / "dvd.mp4");
  settings->SetSourceType(TAVSourceType::stDvd);
  settings->SetSourceFile("stream:999999");  // consumed by a run of another process
  settings->SetDvdDriver(disc.folder.string());
  settings->SetDvdTitle(2);
  settings->SetDvdChapter(1);
  settings->SetDvdThrough(2);
  settings->SetDvdAngle(1);
  settings->SetDvdVolume("MOVIE");
  auto owned = std::make_unique<TConvertingTask>(std::move(settings), &list, &ui);
  TConvertingTask& task = *owned;
  task.SetCategory(&Unfiled());
  task.SetStatus(stError);
  Unfiled().AddTask(std::move(owned));
  TPersistentManager::NewDbTask(task);
  EXPECT_EQ(task.GetCaption(0), "dvd[MOVIE:title2]");
  EXPECT_FALSE(task.CanOpenSource());

  TStrings run_log;
  Unfiled().SetOnTaskEnded([&](TAVTask& ended, bool) { run_log = ended.Log(); });
  const int streams = RegisteredStreamCount();
  ASSERT_TRUE(task.Start());
  EXPECT_NE(task.Settings().SourceFile(), "stream:999999");
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(messages->Errors().empty());
  EXPECT_EQ(RegisteredStreamCount(), streams);
  const TMediaInfo media = ProbeMedia(folder / "dvd.mp4");
  EXPECT_NEAR(media.Stream("video").duration, disc.titles[1].seconds, 0.2) << JoinLogLines(run_log);

  // A disc that is gone: the restart is refused and the task stays stopped.
  auto gone = Settings(TaskClip(), folder / "gone.mp4");
  gone->SetSourceType(TAVSourceType::stDvd);
  gone->SetDvdDriver((folder / "no-disc").string());
  gone->SetDvdTitle(1);
  auto& refused = static_cast<TConvertingTask&>(
      Unfiled().AddTask(std::make_unique<TConvertingTask>(std::move(gone), &list, &ui)));
  refused.SetCategory(&Unfiled());
  refused.SetStatus(stError);
  EXPECT_FALSE(refused.Start());
  EXPECT_EQ(refused.Status(), stError);
  EXPECT_FALSE(refused.Converter().IsRunning());
  ASSERT_EQ(messages->Errors().size(), 1u);
  EXPECT_EQ(refused.Log().back(), messages->Errors()[0]);
}

TEST(TaskTexts, BitRateSizeTimeAndCaptionTexts) {
  EXPECT_EQ(BitrateText(0), ".0");
  EXPECT_EQ(BitrateText(0.05), ".05");
  EXPECT_EQ(BitrateText(12.3), "12.3");
  EXPECT_EQ(BitrateText(1234.5), "1,234.5");
  EXPECT_EQ(BitrateText(1234567.891), "1,234,567.89");
  EXPECT_EQ(BitrateText(999.999), "1,000.0");
  EXPECT_EQ(KilobyteText(2047), "1KB");
  EXPECT_EQ(KilobyteText(5LL << 40), "5368709120KB");

  TEventLoopDispatcher ui;
  auto settings = std::make_unique<TConversionSettings>();
  settings->SetSourceFile("/videos/holiday clip.avi");
  settings->SetTargetFile("/out/holiday clip.3gp");
  settings->SetProfile("3GP");
  TConvertingTask task(std::move(settings), nullptr, &ui);
  EXPECT_EQ(task.GetCaption(0), "holiday clip.avi");
  EXPECT_EQ(task.GetCaption(2), "holiday clip.3gp");
  EXPECT_EQ(task.GetCaption(4), "3GP");
  EXPECT_EQ(task.GetCaption(10), "");
  task.SetIsConverted(true);
  EXPECT_EQ(task.GetCaption(3), "0KB");  // the target file is not there
  EXPECT_EQ(task.GetCaption(7), "");
  EXPECT_FALSE(task.ConvertedIsValid());
}

}  // namespace
}  // namespace veltrano::test
