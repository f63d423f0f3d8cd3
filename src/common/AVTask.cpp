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

void RemoveFile(const std::string& path) {
  std::error_code error;  // a file that cannot be removed stays, as in the file manager
  if (IsFile(path)) fs::remove(fs::path(path), error);
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
  FConverter->SetOnStopped([this](TAVConverter&) { RememberOwnOutput(); });
  FConverter->SetOnLog(
      [this](TAVConverter&, int level, const std::string& text) { ConverterLog(level, text); });
}

TAVTask::~TAVTask() {
  EndLife();
  FDestroying = true;
  StopAndWait();
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

std::optional<TAVTask::TFileIdentity> TAVTask::IdentityOf(const std::string& path) {
  struct stat info {};
  if (path.empty() || stat(path.c_str(), &info) != 0) return std::nullopt;
  return TFileIdentity{
      static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
      static_cast<int64_t>(info.st_size),
      static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

// A stopped run leaves its output (with its trailer) under the target name.
void TAVTask::RememberOwnOutput() {
  FOwnOutput = IdentityOf(FSettings->TargetFile());
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
  std::string source;
  try {
    source = StartSource();
  } catch (const std::exception& e) {
    EndFailed(e.what());
    ShowErrorBox(e.what());
    return false;
  }
  FSourceIsFresh = false;
  FStatus = stRunning;
  FStopRequested = false;
  SetLog({});
  ShowLogIfSelected();
  FConverter->SetInputFiles({source});
  FConverter->SetOutputFiles({FSettings->TargetFile()});
  FConverter->SetConvertOptions(FSettings->ConvertOptions());
  // Only the output this task's own earlier run left may be replaced.
  const std::optional<TFileIdentity> existing = IdentityOf(FSettings->TargetFile());
  FConverter->SetOverwrite(existing.has_value() && existing == FOwnOutput);
  FConverter->Convert();
  InvalidateRow();
  return true;
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
  AppendLog(message);
  ShowLogIfSelected();
  InvalidateRow();
}

void TAVTask::ConverterComplete() {
  if (FDestroying) return;
  auto* node = dynamic_cast<TConvertingNode*>(FCategory);
  VEL_ASSERT(node != nullptr && node->TreeView() != nullptr);
  if (FStopRequested) {
    // Stopped just as the run ended on its own: the user's stop stands.
    InvalidateRow();
    return;
  }
  std::string error = FConverter->ErrorMsg();
  if (error.empty()) {
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
      ShowErrorBox(error);
    }
  }
  if (error.empty()) {
    node->TaskEnded(*this, true);
    FileConverted(*node);  // `this` may be gone from here on
  } else {
    // A failed run (the converter has shown its error box) is not a
    // completion: the task stays unfiled and can be started again.
    EndFailed(error);
    node->TaskEnded(*this, false);
  }
  // A failed last task ends the work as well as a completed one.
  if (AVConfiguration().ShutdownWhenDone() && !node->HasRunningTask()) ShutdownComputer();
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
    // Its worker is waiting for this handler: destroy it once it has ended.
    node.Retire(std::move(self));
  }
}

// Deleting and the log --------------------------------------------------------

void TAVTask::Delete(bool DeleteSource, bool DeleteTarget) {
  StopAndWait();  // a stopped run may still be writing the target
  TPersistentManager::DeleteTask(*this);
  // A DVD source is a stream name, never a file.
  if (DeleteSource && FSettings->SourceType() == TAVSourceType::stFile) {
    RemoveFile(FSettings->SourceFile());
  }
  if (DeleteTarget) RemoveFile(FSettings->TargetFile());
  if (FListView != nullptr && FNode != kNoRow && FListView->RowObject(FNode) == this) {
    FListView->DeleteRow(FNode);
  }
  FNode = kNoRow;
  if (FCategory != nullptr) {
    std::unique_ptr<TAVTask> self = FCategory->TakeTask(this);
    self.reset();  // destroys this task
  }
}

void TAVTask::ClearLog() {
  SetLog({});
  if (FLogList != nullptr) FLogList->ShowLog(this, {});
  TPersistentManager::ClearLog(*this);
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
    case 6:
      return std::to_string(converter.Progress()) + "%";
    case 7:
      return BitrateText(converter.Bitrate());
    case 8:
      return SecondsToClockText(converter.GetLeftTime());
    case 9:
      return SecondsToClockText(converter.GetUsedTime());
    default:
      return std::string();
  }
}

}  // namespace veltrano
