// A task's own files: what its runs announce is recorded in the store before
// it can matter, and restarting and deleting act on those files only.
#include <sys/stat.h>

#include <filesystem>

#include "common/AVNodes.h"
#include "common/PersistentManager.h"
#include "converter/AVError.h"
#include "converter/SafeOutputs.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

bool IsFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Removes `path`; a file that cannot be removed stays, as in the file manager.
void RemoveFile(const std::string& path) {
  std::error_code ignored;
  fs::remove(fs::path(path), ignored);
}

}  // namespace

// On the worker: the record is written on the user-interface thread, which
// owns the store, and the run waits for it; a record that cannot be written
// fails the step it announced.
void TAVTask::ConverterOutput(const TOutputRecord& record) {
  std::string failure;
  Dispatcher().RunBlocking([&] {
    try {
      RecordOutput(record);
    } catch (const std::exception& e) {
      failure = e.what();
    }
  });
  if (!failure.empty()) {
    throw EAVError(WithReason("Could not record the output", record.target, failure));
  }
}

bool TAVTask::StoresFiles() const {
  return FID != 0 && TPersistentManager::Connected();
}

void TAVTask::RecordOutput(const TOutputRecord& record) {
  const bool stored = StoresFiles();
  switch (record.step) {
    case TOutputRecord::WorkNamed:
    case TOutputRecord::WorkCreated: {
      TWorkFile work{record.work, std::nullopt};
      if (record.step == TOutputRecord::WorkCreated) work.created = record.identity;
      if (stored) TPersistentManager::SaveWorkFile(FID, work);
      FWorkFile = work;
      break;
    }
    case TOutputRecord::Publishing:
      if (stored) TPersistentManager::SaveOwnOutput(FID, record.identity, false);
      FOwnOutput = record.identity;
      break;
    case TOutputRecord::Published:
      if (stored) TPersistentManager::ConfirmOwnOutput(FID);
      FWorkFile.reset();
      break;
    case TOutputRecord::WorkRemoved:
      if (stored) TPersistentManager::ForgetWorkFile(FID);
      FWorkFile.reset();
      break;
  }
}

std::optional<TFileIdentity> TAVTask::OwnOutput() const {
  return StoresFiles() ? TPersistentManager::OwnOutput(FID) : FOwnOutput;
}

std::optional<TWorkFile> TAVTask::WorkFile() const {
  return StoresFiles() ? TPersistentManager::WorkFile(FID) : FWorkFile;
}

TTargetOwnership TAVTask::TargetOwnership() const {
  const std::optional<TFileIdentity> found = OwnIdentityOf(FSettings->TargetFile());
  if (!found) return TTargetOwnership::Absent;
  const std::optional<TFileIdentity> own = OwnOutput();
  if (own && *found == *own) return TTargetOwnership::Own;
  if (own && found->SameFile(*own)) return TTargetOwnership::Changed;
  return TTargetOwnership::Foreign;
}

// A run that was killed leaves its work file: it goes before the next run
// (or with the task), and only when it is still the file that run created.
void TAVTask::RemoveLeftoverWork() {
  const std::optional<TWorkFile> work = WorkFile();
  if (!work) return;
  RemoveOwnWork(work->path, work->created, FSettings->TargetFile());
  if (StoresFiles()) TPersistentManager::ForgetWorkFile(FID);
  FWorkFile.reset();
}

// The run may replace what is under the target name when the user allowed it
// (the settings' Overwrite) or when it is the task's own unchanged output.
bool TAVTask::MayReplaceTarget() const {
  return FSettings->Overwrite() || TargetOwnership() == TTargetOwnership::Own;
}

std::vector<TKeptFile> TAVTask::DeleteFiles(bool DeleteSource, bool DeleteTarget) {
  RemoveLeftoverWork();
  std::vector<TKeptFile> kept;
  const std::string& target = FSettings->TargetFile();
  if (DeleteTarget) {
    switch (TargetOwnership()) {
      case TTargetOwnership::Own:
        RemoveFile(target);
        break;
      case TTargetOwnership::Changed:
        kept.push_back({target, TKeptFile::ChangedSince, FID});
        break;
      case TTargetOwnership::Foreign:
        kept.push_back({target, TKeptFile::NotWritten, FID});
        break;
      case TTargetOwnership::Absent:
        break;
    }
  }
  // A DVD source is a stream name, never a file.
  const std::string& source = FSettings->SourceFile();
  if (!DeleteSource || FSettings->SourceType() != TAVSourceType::stFile || !IsFile(source)) {
    return kept;
  }
  if (TPersistentManager::Connected()) {
    for (const auto& [id, other] : TPersistentManager::TaskTargets()) {
      if (id != FID && NamesSameFile(source, other)) {
        kept.push_back({source, TKeptFile::TargetOfTask, id});
        return kept;
      }
    }
  }
  RemoveFile(source);
  return kept;
}

}  // namespace veltrano
