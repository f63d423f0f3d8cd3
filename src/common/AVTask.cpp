// The conversion tasks: running a task's converter, its log, its completion
// (filing, alert, shutdown when done), deletion and the column texts.
#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <thread>

#include <sys/stat.h>

#include "common/AVNodes.h"
#include "common/Configuration.h"
#include "common/PersistentManager.h"
#include "common/SizeEstimate.h"
#include "converter/AVError.h"
#include "converter/AVLib.h"
#include "converter/DvdStream.h"
#include "converter/MessageBoxes.h"
#include "platform/Shell.h"
#include "platform/Shutdown.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

// Trims blanks and control characters at both ends.
std::string TrimLine(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

std::string FileNamePart(const std::string& path) {
  return fs::path(path).filename().string();
}

bool IsFile(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_regular_file(fs::path(path), error);
}

}  // namespace

TAVTask::TAVTask(std::unique_ptr<TConversionSettings> ASettings, ITaskView* AListView,
                 IDispatcher* dispatcher)
    : TNodeObject(dispatcher),
      FConverter(std::make_unique<TAVConverter>(&Dispatcher())),
      FSettings(std::move(ASettings)) {
  VEL_ASSERT(FSettings != nullptr);
  FListView = AListView;
  FConverter->SetOnProgress([this](TAVConverter&) { ConverterProgress(); });
  FConverter->SetOnComplete([this](TAVConverter&) { ConverterComplete(); });
  FConverter->SetOnLog(
      [this](TAVConverter&, int level, const std::string& text) { ConverterLog(level, text); });
  FConverter->SetOnStopped([this](TAVConverter&) { ConverterStopped(); });
  FConverter->SetOnOutput(
      [this](TAVConverter&, const TOutputRecord& record) { ConverterOutput(record); });
}

TAVTask::~TAVTask() {
  EndLife();
  FDestroying = true;
  StopAndWait();
  ReleaseClaim();
  if (FLogList != nullptr) FLogList->ForgetOwner(this);
  if (FListView != nullptr && FNode != kNoRow && FListView->RowObject(FNode) == this) {
    FListView->DeleteRow(FNode);
  }
  FConverter.reset();
}

TStrings TAVTask::Log() const {
  std::lock_guard lock(FLogMutex);
  return FLog;
}

void TAVTask::SetLog(const TStrings& value) {
  std::lock_guard lock(FLogMutex);
  FLog = value;
}

int TAVTask::GetImageIndex() const {
  VEL_ASSERT(FStatus <= stFinished);
  if (FStatus == stError && FHeldElsewhere) return static_cast<int>(stRunning);
  if (FStatus == stError && FFailed) return kFailedImageIndex;
  return static_cast<int>(FStatus);
}

void TAVTask::LoadTaskInfo(ITaskView* AList, ILogView* ALogList) {
  VEL_ASSERT(AList != nullptr && ALogList != nullptr);
  TNodeObject::LoadTaskInfo(AList, ALogList);
  AList->ClearColumns();
  AList->AddColumn("Category", 100);
  AList->AddColumn("Property", 150);
  AList->AddColumn("Value", 150);
  ALogList->ShowLog(this, Log());
}

bool TAVTask::OwnRowSelected() const {
  return FListView != nullptr && FNode != kNoRow && FListView->RowObject(FNode) == this &&
         FListView->IsSelected(FNode);
}

void TAVTask::InvalidateRow() {
  if (FListView != nullptr && FNode != kNoRow && FListView->RowObject(FNode) == this) {
    FListView->InvalidateRow(FNode);
  }
}

void TAVTask::ShowLogIfSelected() {
  if (FLogList != nullptr && OwnRowSelected()) FLogList->ShowLog(this, Log());
}

bool TAVTask::CanOpenSource() const {
  return FSettings->SourceType() == TAVSourceType::stFile && IsFile(FSettings->SourceFile());
}

bool TAVTask::ConvertedIsValid() const {
  // Only a completed run is a converted file; a stopped run's output is not.
  return FIsConverted && FStatus == stFinished && IsFile(FSettings->TargetFile());
}

// Running ---------------------------------------------------------------------

void TAVTask::StopAndWait() {
  FConverter->Stop();
  FConverter->WaitFor();
}

std::string TAVTask::StartSource() {
  if (FSettings->SourceType() != TAVSourceType::stDvd || FSourceIsFresh) {
    return FSettings->SourceFile();
  }
  // The title stream named in the settings was consumed by an earlier run (or
  // belonged to an earlier process): open a new one from the DVD fields.
  const std::string name =
      OpenDvdTitleStream(FSettings->DvdDriver(), FSettings->DvdTitle(), FSettings->DvdChapter(),
                         FSettings->DvdThrough(), FSettings->DvdAngle());
  FSettings->SetSourceFile(name);
  return name;
}

bool TAVTask::Start() {
  if (FIsConverted) return false;
  StopAndWait();  // a stopped run may still be closing its output
  try {
    FStartRefused = !TakeClaim();
  } catch (const std::exception& e) {
    // The store could not be asked (busy beyond its timeout, gone): a task
    // that may be another program's does not start.
    FStartRefused = false;
    ReleaseClaim();
    EndFailed(e.what());
    ShowErrorBox(e.what());
    return false;
  }
  if (FStartRefused) {
    RefreshClaim();
    return false;
  }
  std::string source;
  bool overwrite = false;
  try {
    source = StartSource();
    RemoveLeftoverWork();  // of a run that was killed
    overwrite = MayReplaceTarget();
  } catch (const std::exception& e) {
    ReleaseClaim();
    EndFailed(e.what());
    ShowErrorBox(e.what());
    return false;
  }
  FSourceIsFresh = false;
  FStatus = stRunning;
  FStopRequested = false;
  if (FFailed && FID != 0) {
    // The failure this run replaces goes from the store too; a store that
    // refuses now only keeps the old message until the run ends.
    try {
      TPersistentManager::ClearFailure(*this);
    } catch (const std::exception&) {
    }
  }
  FFailed = false;
  SetLog({});
  ShowLogIfSelected();
  FConverter->SetInputFiles({source});
  FConverter->SetOutputFiles({FSettings->TargetFile()});
  FConverter->SetConvertOptions(FSettings->ConvertOptions());
  FConverter->SetOverwrite(overwrite);
  FConverter->Convert();
  InvalidateRow();
  return true;
}

// Claims ----------------------------------------------------------------------

bool TAVTask::TakeClaim() {
  // A task not stored yet is claimed as it is stored (NewConversion).
  if (FID == 0 || !TPersistentManager::Connected()) return true;
  const TTaskClaim claim = TPersistentManager::ClaimTask(*this);
  FClaimed = claim == TTaskClaim::Claimed;
  if (!FClaimed) {
    AppendLog(claim == TTaskClaim::HeldElsewhere ? "此任务正由另一个程序转换"
                                                 : "此任务已由另一个程序转换");
    ShowLogIfSelected();
    InvalidateRow();
  }
  return FClaimed;
}

void TAVTask::ReleaseClaim() {
  if (!FClaimed) return;
  FClaimed = false;
  if (!TPersistentManager::Connected()) return;
  try {
    TPersistentManager::ReleaseTask(*this);
  } catch (const std::exception&) {
    // The store is busy or gone: the claim ends with this process anyway.
  }
}

void TAVTask::ReleaseClaimWhenIdle() {
  if (!FClaimed || FReleasePosted) return;
  FReleasePosted = true;
  Dispatcher().Post([life = LifeToken(), this] {
    if (life.expired()) return;
    FReleasePosted = false;
    // Started again meanwhile: the claim is the new run's.
    if (FStatus == stRunning || FStatus == stPaused) return;
    if (!FConverter->IsRunning()) {
      ReleaseClaim();
      return;
    }
    // The stopped run is still closing its output: look again shortly.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ReleaseClaimWhenIdle();
  });
}

bool TAVTask::ClaimedElsewhere() const {
  return FID != 0 && TPersistentManager::Connected() &&
         TPersistentManager::ClaimState(FID) == TTaskClaimState::Elsewhere;
}

void TAVTask::RefreshClaim() {
  const bool held = FStatus == stError && !FIsConverted && ClaimedElsewhere();
  if (held == FHeldElsewhere) return;
  FHeldElsewhere = held;
  InvalidateRow();
}

void TAVTask::ConverterStopped() {
  // The claim goes once the worker has ended.
  if (!FDestroying) ReleaseClaimWhenIdle();
}

void TAVTask::Pause() {
  if (FStatus != stRunning) return;
  FStatus = stPaused;
  FConverter->Pause();
  InvalidateRow();
}

void TAVTask::Resume() {
  if (FStatus != stPaused) return;
  FStatus = stRunning;
  FConverter->Resume();
  InvalidateRow();
}

void TAVTask::Stop() {
  if (FStatus != stRunning && FStatus != stPaused) return;
  FStatus = stError;
  FStopRequested = true;
  FConverter->Stop();
  InvalidateRow();
}

// Converter events ------------------------------------------------------------

void TAVTask::ConverterProgress() {
  if (FDestroying) return;
  VEL_ASSERT(FCategory != nullptr);
  if (FCategory->IsShown()) InvalidateRow();
}

void TAVTask::AppendLog(const std::string& line) {
  {
    std::lock_guard lock(FLogMutex);
    while (FLog.size() >= kMaxLogLines) FLog.erase(FLog.begin());
    FLog.push_back(line);
  }
}

void TAVTask::ConverterLog(int, const std::string& Msg) {
  if (FDestroying) return;
  AppendLog(TrimLine(Msg));
  // On the worker: the view is told on the user-interface thread, once for
  // any number of lines that arrive meanwhile.
  if (FLogShowPosted.exchange(true)) return;
  Dispatcher().Post([life = LifeToken(), this] {
    if (life.expired()) return;
    FLogShowPosted = false;
    ShowLogIfSelected();
  });
}

void TAVTask::EndFailed(const std::string& message) {
  FStatus = stError;
  FFailed = true;
  AppendLog(message);
  if (FID != 0 && TPersistentManager::Connected()) {
    // Kept for the next start of the program; a store that refuses costs
    // only that (the message is shown now).
    try {
      TPersistentManager::SaveFailure(*this);
    } catch (const std::exception&) {
    }
  }
  ShowLogIfSelected();
  InvalidateRow();
}

void TAVTask::ConverterComplete() {
  if (FDestroying) return;
  auto* node = dynamic_cast<TConvertingNode*>(FCategory);
  VEL_ASSERT(node != nullptr && node->TreeView() != nullptr);
  if (FStopRequested) {
    // Stopped just as the run ended on its own: the user's stop stands.
    ReleaseClaim();
    InvalidateRow();
    return;
  }
  std::string error = FConverter->ErrorMsg();
  bool store_failed = false;
  if (error.empty()) {
    LogSizeAgainstEstimate();
    FStatus = stFinished;
    if (node->IsShown()) InvalidateRow();
    // The size is otherwise taken when the row is first painted; a task that
    // was never on screen must not be stored with 0.
    if (FSettings->SourceFileSize() == 0)
      FSettings->SetSourceFileSize(FConverter->SourceFileSize());
    try {
      TPersistentManager::FinishDbTask(*this);
    } catch (const std::exception& e) {
      error = e.what();  // not stored as converted: it must not be filed either
      store_failed = true;
    }
  }
  ReleaseClaim();
  if (error.empty()) {
    node->TaskEnded(*this, true);
    FileConverted(*node);  // `this` may be gone from here on
  } else {
    // A failed run is not a completion: the task stays unfiled and can be
    // started again. The converter shows its error box after this handler,
    // so the row says stopped while the box is up.
    EndFailed(error);
    node->TaskEnded(*this, false);
  }
  // A failed last task ends the work as well as a completed one.
  if (AVConfiguration().ShutdownWhenDone() && !node->HasRunningTask()) ShutdownComputer();
  if (store_failed) ShowErrorBox(error);
}

void TAVTask::LogSizeAgainstEstimate() {
  if (FSettings->EstimatedSizeHigh() <= 0) return;
  std::error_code error;
  const auto real = std::filesystem::file_size(FSettings->TargetFile(), error);
  if (error) return;
  const TSizeEstimate estimate{FSettings->EstimatedSizeLow(), FSettings->EstimatedSizeHigh(), true};
  AppendLog(EstimateAgainstRealText(estimate, static_cast<int64_t>(real)));
}

void TAVTask::FileConverted(TConvertingNode& node) {
  std::unique_ptr<TAVTask> self = node.TakeTask(this);
  VEL_ASSERT(self != nullptr);
  if (AVConfiguration().ShowAlert()) ShowCompletionAlert(FSettings->TargetFile());
  if (FListView != nullptr && FNode != kNoRow && FListView->RowObject(FNode) == this) {
    FListView->DeleteRow(FNode);
  }
  FNode = kNoRow;
  auto* shown = dynamic_cast<TConvertedNode*>(GetCurrNodeObject(*node.TreeView()));
  if (!node.IsShown() && shown != nullptr && shown->CategoryId() == FCategoryId &&
      shown->ListView() != nullptr) {
    // Its category is on screen: it joins that list at once.
    FIsConverted = true;
    FCategory = shown;
    FListView = shown->ListView();
    FNode = FListView->AddChild(kNoRow, this);
    shown->AddTask(std::move(self));
  } else {
    // Its worker may still be on its way out: destroy it once it has ended.
    node.Retire(std::move(self));
  }
}

// Deleting and the log --------------------------------------------------------

std::vector<TKeptFile> TAVTask::Delete(bool DeleteSource, bool DeleteTarget) {
  StopAndWait();  // a stopped run may still be writing the target
  // The files first: the store's records tell which are the task's own.
  std::vector<TKeptFile> kept = DeleteFiles(DeleteSource, DeleteTarget);
  TPersistentManager::DeleteTask(*this);  // its claim goes with it
  FClaimed = false;
  if (FListView != nullptr && FNode != kNoRow && FListView->RowObject(FNode) == this) {
    FListView->DeleteRow(FNode);
  }
  FNode = kNoRow;
  if (FCategory != nullptr) {
    std::unique_ptr<TAVTask> self = FCategory->TakeTask(this);
    self.reset();  // destroys this task
  }
  return kept;
}

void TAVTask::ClearLog() {
  // The store first: a store that refuses leaves the log as it was.
  TPersistentManager::ClearLog(*this);
  SetLog({});
  if (FLogList != nullptr) FLogList->ShowLog(this, {});
}

// Column texts ----------------------------------------------------------------

std::string TConvertingTask::GetCaption(int ColumnIndex) {
  const TConversionSettings& settings = Settings();
  const TAVConverter& converter = Converter();
  switch (ColumnIndex) {
    case 0:
      if (settings.SourceType() == TAVSourceType::stDvd) {
        return fmt::format("dvd[{}:title{}]", settings.DvdVolume(), settings.DvdTitle());
      }
      return FileNamePart(settings.SourceFile());
    case 1:
      if (!IsConverted() && settings.SourceFileSize() == 0) {
        Settings().SetSourceFileSize(converter.SourceFileSize());
      }
      return KilobyteText(settings.SourceFileSize());
    case 2:
      return FileNamePart(settings.TargetFile());
    case 3:
      return KilobyteText(IsConverted() ? GetFileSize(settings.TargetFile())
                                        : converter.TargetFileSize());
    case 4:
      return settings.Profile();
    case 5: {
      const double seconds = IsConverted() ? settings.Duration() : converter.Duration();
      return SecondsToClockText(static_cast<int64_t>(std::nearbyint(seconds)));
    }
    default:
      break;
  }
  if (IsConverted()) return ColumnIndex == 6 ? DateTimeText(Date()) : std::string();
  switch (ColumnIndex) {
    case kProgressColumn:
      if (Failed() && Status() == stError) return kFailedText;
      return std::to_string(converter.Progress()) + "%";
    case 7:
      return BitrateText(converter.Bitrate());
    case 8: {
      // The engine's value for "not known yet" would read as a real 100 hours.
      const int64_t left = converter.GetLeftTime();
      return left == kUnknownLeftTime ? "--:--:--" : SecondsToClockText(left);
    }
    case 9:
      return SecondsToClockText(converter.GetUsedTime());
    default:
      return std::string();
  }
}

}  // namespace veltrano
