#include "converter/SafeOutputs.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "converter/AVConverter.h"
#include "converter/AVError.h"
#include "converter/OutputChoices.h"
#include "converter/RunState.h"

namespace veltrano {
namespace {

namespace fs = std::filesystem;

bool IsAddress(const std::string& name) {
  return name.find("://") != std::string::npos;
}

// Targets written where they are: addresses, and devices or pipes such as
// /dev/null (a first pass that keeps only its statistics).
bool WrittenInPlace(const std::string& name) {
  if (IsAddress(name)) return true;
  struct stat info {};
  return stat(name.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

// The absolute path with ".", ".." and the links of its existing part resolved.
fs::path Resolved(const std::string& name) {
  std::error_code error;
  fs::path absolute = fs::absolute(name, error);
  if (error) return fs::path(name).lexically_normal();
  fs::path resolved = fs::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal() : resolved;
}

bool Inside(const fs::path& path, const fs::path& folder) {
  const fs::path relative = path.lexically_relative(folder);
  return !relative.empty() && *relative.begin() != ".." && relative != ".";
}

std::string ExistsMessage(const std::string& path) {
  return "目标文件已存在: " + path;
}

// Renames `from` to `to`; without `overwrite` never over an existing file.
void MoveWithoutLoss(const std::string& from, const std::string& to, bool overwrite) {
  if (overwrite) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
      throw EAVError(WithReason("Could not name the output", to, SystemErrorText(errno)));
    }
    return;
  }
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    // A file system without the exclusive rename: a new link fails on an
    // existing name just the same.
    if (link(from.c_str(), to.c_str()) == 0) {
      unlink(from.c_str());
      return;
    }
    error = errno;
  }
  if (error == EEXIST) throw EAVError(ExistsMessage(to));
  throw EAVError(WithReason("Could not name the output", to, SystemErrorText(error)));
}

fs::path PictureFolder(const std::string& name) {
  std::string folder = fs::path(name).filename().string();
  folder.erase(std::remove(folder.begin(), folder.end(), '%'), folder.end());
  return fs::path(name).parent_path() / (folder + ".part");
}

}  // namespace

std::string WorkName(const std::string& name, bool sequence) {
  if (WrittenInPlace(name)) return name;
  if (!sequence) return name + ".part";
  return (PictureFolder(name) / fs::path(name).filename()).string();
}

bool OutputTouchesSource(const std::string& output, const std::string& source) {
  if (output.empty() || source.empty() || IsAddress(output) || IsAddress(source)) return false;
  struct stat out {};
  struct stat in {};
  if (stat(output.c_str(), &out) == 0 && stat(source.c_str(), &in) == 0) {
    if (out.st_dev == in.st_dev && out.st_ino == in.st_ino) return true;
    return S_ISDIR(in.st_mode) && Inside(Resolved(output), Resolved(source));
  }
  return Resolved(output) == Resolved(source);
}

std::string FirstTargetFile(const std::string& name, bool sequence) {
  if (!sequence) return name;
  std::vector<char> first(name.size() + 32);
  if (av_get_frame_filename2(first.data(), static_cast<int>(first.size()), name.c_str(), 1, 0) <
      0) {
    return name;
  }
  return first.data();
}

void PublishOutput(const std::string& name, bool sequence, bool overwrite) {
  if (WrittenInPlace(name)) return;
  if (!sequence) {
    MoveWithoutLoss(name + ".part", name, overwrite);
    return;
  }
  const fs::path folder = PictureFolder(name);
  std::error_code error;
  std::vector<fs::path> pictures;
  for (const auto& entry : fs::directory_iterator(folder, error)) pictures.push_back(entry.path());
  std::sort(pictures.begin(), pictures.end());
  for (const fs::path& picture : pictures) {
    MoveWithoutLoss(picture.string(), (folder.parent_path() / picture.filename()).string(),
                    overwrite);
  }
  fs::remove(folder, error);
}

void RemoveWorkFiles(const std::string& name, bool sequence) {
  if (WrittenInPlace(name)) return;
  std::error_code ignored;
  if (sequence) {
    fs::remove_all(PictureFolder(name), ignored);
  } else {
    fs::remove(name + ".part", ignored);
  }
}

// The converter's side --------------------------------------------------------

// Before anything is opened: no output may be one of the inputs (for a DVD
// title, a file of its disc), and no output may exist unless the job allows
// replacing it.
void TAVConverter::CheckOutputTargets() const {
  std::vector<std::string> sources;
  for (const std::string& input : FInputFiles) {
    sources.push_back(IsStreamName(input) ? RegisteredStreamSource(input) : input);
  }
  const AVOutputFormat* format = run_->output_format;  // as output setup will choose it
  for (const std::string& output : FOutputFiles) {
    for (const std::string& source : sources) {
      if (OutputTouchesSource(output, source)) throw EAVError("输出文件与源文件相同: " + output);
    }
    if (format == nullptr) format = OutputFormatFor(output, nullptr);
    if (FOverwrite || WrittenInPlace(output)) continue;
    const bool sequence = IsPictureSequence(output, format);
    const std::string first = FirstTargetFile(output, sequence);
    std::error_code error;
    if (fs::exists(first, error)) throw EAVError(ExistsMessage(first));
  }
}

// Closes every output's byte stream; then gives each output its name when the
// run completed (or was stopped after its header was written) and removes
// its work file otherwise. A failure to finish the files fails the run.
void TAVConverter::CloseOutputs(bool failed) {
  std::string problem;
  for (TOutputFile& file : run_->output_files) {
    if (!file.ctx || file.ctx->pb == nullptr || (file.ctx->oformat->flags & AVFMT_NOFILE)) continue;
    int error = file.ctx->pb->error;
    const int closed = avio_closep(&file.ctx->pb);
    if (error >= 0) error = closed;
    if (error < 0 && problem.empty()) {
      problem = WithReason("Could not write the end of output file", file.name, AvErrorText(error));
    }
  }
  const bool stopped = FState == csStopped;
  for (TOutputFile& file : run_->output_files) {
    const bool keep = !failed && problem.empty() && (!stopped || file.header_written);
    if (!keep) {
      RemoveWorkFiles(file.name, file.sequence);
      continue;
    }
    try {
      PublishOutput(file.name, file.sequence, FOverwrite);
    } catch (const EAVError& e) {
      problem = e.what();
      RemoveWorkFiles(file.name, file.sequence);
    }
  }
  if (!problem.empty()) throw EAVError(problem);
}

}  // namespace veltrano
